#pragma once
// Response: everything that goes back to the client for one request: status, headers, cookies
// and a body kept in memory until a flush. Pages (the intrinsic Response), the host (during
// PageRequested) and the static-file path all fill it; a flush composes the status line and
// the headers once per request and sends headers and body over the bound connection. One
// Response belongs to each worker slot and is reset for every request. Used by one thread at a
// time (the worker, or the host while the worker waits): no lock.
//
// Header values pass HeaderSafeText when they are composed, so no value a page or a client
// supplies can end a header line; URLs and paths put into the built-in pages are HTML-escaped.

#include <cstdint>
#include <ctime>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com/dispatch_object.h"
#include "platform/system/code_page.h"
#include "wendrel/http/status_codes.h"

class Collection;
class Connection;
class FileRoot;
class IStream;
class Request;
class ResponseHost;

/// What sending a file came to.
enum class FileSendOutcome {
  Sent,         // headers (when still due) and the file went out
  NotModified,  // the If-Modified-Since time matched: the response became a 304
  NotFound,     // the file could not be opened: the response became the 404 page
};

/// The body buffer of a response. Growth rule for n more bytes that do not fit (length + n
/// reaches the capacity): 4096 when nothing was allocated, length + n + 10 when length + n is
/// at least 4096 (but at least twice the capacity once that is 64 KiB or more), else twice the
/// capacity; then doubled until length + n is below it. Never more than kMaxBytes: past that,
/// OutOfMemory (7) and the buffer is unchanged.
class ResponseBody {
 public:
  static constexpr size_t kFirstCapacity = 4096;
  static constexpr size_t kLinearMargin = 10;
  static constexpr size_t kMaxBytes = size_t{1} << 30;
  /// From this capacity on the body grows at least twofold (see Reserve).
  static constexpr size_t kGeometricFrom = 65536;

  /// Makes room for `more` bytes beyond the current length by the growth rule.
  Result<void> Reserve(size_t more);
  Result<void> Append(std::string_view bytes);
  /// Appends text converted to the code page, straight into the buffer.
  Result<void> AppendText(std::u16string_view text, uint32_t code_page);
  Result<void> Assign(std::string_view bytes);
  /// Length 0, capacity kept.
  void Clear() { length_ = 0; }
  /// Length 0; a capacity above `capacity` is given back down to it.
  void ClearAndShrink(size_t capacity);

  std::string_view view() const { return {data_.get(), length_}; }
  size_t size() const { return length_; }
  bool empty() const { return length_ == 0; }
  size_t capacity() const { return capacity_; }

 private:
  struct FreeBytes {
    void operator()(char* bytes) const { std::free(bytes); }
  };
  Result<void> Resize(size_t capacity);

  std::unique_ptr<char, FreeBytes> data_;
  size_t capacity_ = 0;
  size_t length_ = 0;
};

class Response : public DispatchObject<Response> {
 public:
  /// Expires value meaning "no expiry".
  static constexpr int32_t kNoExpiry = 2147483647;
  /// AddHeader keeps this many pairs; later ones are ignored.
  static constexpr size_t kMaxAddedHeaders = 32;
  /// Headers and body go out in pieces of at most this size.
  static constexpr size_t kSendPieceBytes = 14000;
  /// The status line, line end included, is cut to this length.
  static constexpr size_t kMaxStatusLineLength = 127;
  /// Bodies up to this length are never compressed.
  static constexpr size_t kMaxUncompressedBodyBytes = 64;
  /// An If-Modified-Since time this close to the file's last write (100-ns units, just under
  /// one second) counts as the same moment.
  static constexpr int64_t kModifiedSinceTolerance = 0x986F6F;
  /// Body capacity kept across requests.
  static constexpr size_t kKeptBodyCapacity = 4096;
  /// Files up to this size are read and sent with the headers in one write; larger ones go
  /// through the connection's file transmission.
  static constexpr int64_t kInlineFileBytes = 16384;
  /// A body up to this size leaves in the same write as the headers.
  static constexpr size_t kHeadersWithBodyBytes = 65536;

  /// `host` may be null (nothing logged, no MIME types, the local computer name); it must
  /// outlive the response.
  explicit Response(ResponseHost* host);
  ~Response() override;

  static std::span<const DispatchMember<Response>> Members();
  std::u16string_view TypeName() override { return u"IResponse"; }

  // --- The connection loop and the dispatcher ---------------------------------------------

  /// Borrows the connection and the request of the coming requests (either may be null: no
  /// sending, no compression or entity tag). Both must outlive their use.
  void Bind(Connection* connection, Request* request);
  /// Every field back to its value for a new request; `protocol` starts the status line
  /// ("HTTP/1.1" when empty). Page text and the running-script mark are dropped; the keep
  /// connection decision, the code page and the Buffer flag stay.
  void ResetForRequest(std::string_view protocol);
  void SetKeepConnection(bool keep) { keep_connection_ = keep; }
  /// Whether the connection may serve another request: false once the response asked for a
  /// close, a send failed or more went out than the Content-Length announced.
  bool KeepConnection() const { return keep_connection_; }
  /// A HEAD request: headers as for GET, no body.
  void SetHeadersOnly(bool headers_only) { headers_only_ = headers_only; }
  void SetGzipAllowed(bool allowed) { gzip_allowed_ = allowed; }
  bool CancelDefaultProcessing() const { return cancel_default_processing_; }
  int32_t StatusCode() const { return code_; }
  void SetStatusCode(int32_t code) { code_ = code; }
  /// Replaces the body with `bytes` (no code-page conversion).
  Result<void> SetBody(std::string_view bytes) { return body_.Assign(bytes); }
  bool HeadersSent() const { return headers_sent_; }
  /// Bytes handed to the connection for this request, headers included.
  int64_t BytesSent() const { return bytes_sent_; }
  std::string_view BodyBytes() const { return body_.view(); }
  size_t BodyCapacity() const { return body_.capacity(); }

  /// The end-of-request flush: the stream or body, and the headers when not yet sent.
  /// E_FAIL when a send fails (the connection is then not kept).
  Result<void> Finish();
  /// A TRACE request: an empty 200 response, sent now.
  Result<void> FinishAtOnce();
  /// Sends the file at `path` from `offset` (when above 0), at most `length` bytes (when above
  /// 0). With `if_modified_since` the file's last-write time is read (and announced as
  /// Last-Modified); a time within kModifiedSinceTolerance of it makes the response a 304 and
  /// nothing is sent. `content_type`, when given, replaces the response's (empty removes the
  /// Content-Type line). Headers still due go out with the Content-Length of the pending body
  /// plus the file, uncompressed; the pending body goes before the file; nothing of either for
  /// HEAD. A file that cannot be opened gives an event-log line and the 404 page, and so does
  /// a file that does not lie inside `inside_root` (when given; opened beneath it).
  /// E_FAIL when a send fails.
  Result<FileSendOutcome> SendFile(std::string_view path, std::optional<int64_t> if_modified_since,
                                   int64_t offset, int64_t length,
                                   std::optional<std::string_view> content_type,
                                   const FileRoot* inside_root = nullptr);
  /// The response becomes the 404 page naming `path` (HTML-escaped).
  void NotFound(std::string_view path);
  /// Code 302 to `new_page` with the "Object moved" page (the URL HTML-escaped in it), no
  /// expiry, no Last-Modified, the connection closed afterwards; sent at once, and nothing
  /// written later goes out. E_FAIL when a send fails.
  Result<void> RedirectTo(std::string_view new_page);

  // --- The ASP runtime --------------------------------------------------------------------

  /// The current page's source text, for WritePart; null when no page runs.
  void SetPageText(std::shared_ptr<const std::string> text) { page_text_ = std::move(text); }
  /// The code page Write converts text with (0 = the ANSI code page, 65001 = UTF-8).
  void SetCodePage(uint32_t code_page) { code_page_ = code_page; }
  /// While a script runs, End and Redirect stop it (SCRIPT_E_STOP_WITHOUT_ERROR) and
  /// WriteMemBytes is refused (a script cannot name host memory).
  void SetScriptRunning(bool running) { script_running_ = running; }
  /// The page text WritePart reads now (a page run by Server.Execute sets its own, then the
  /// caller's is given back).
  std::shared_ptr<const std::string> PageText() const { return page_text_; }
  uint32_t CodePage() const { return code_page_; }
  /// End or Redirect ended the response: nothing more goes out for this request.
  bool Ended() const { return ended_; }
  /// The session cookie this response carries, whatever the page does with Clear and Cookies:
  /// "ASPSESSIONID=<id>; path=/; HttpOnly", with "; Secure" on an encrypted connection.
  void SetSessionCookie(std::string_view id, bool secure);
  /// Appends bytes to the body as they are (error pages of the ASP runtime).
  Result<void> AppendBytes(std::string_view bytes) { return AppendBody(bytes); }
  /// Response.End without a script to stop: sends what there is, announces the close, and
  /// nothing written later goes out.
  Result<void> EndResponse();

  // --- Dispatch members -------------------------------------------------------------------

  Result<Variant> Write(const DispatchArguments& arguments);
  Result<Variant> WriteEx(const DispatchArguments& arguments);
  Result<Variant> WritePart(const DispatchArguments& arguments);
  Result<Variant> BinaryWrite(const DispatchArguments& arguments);
  Result<Variant> WriteMemBytes(const DispatchArguments& arguments);
  Result<Variant> WriteFile(const DispatchArguments& arguments);
  Result<Variant> WriteFileEx(const DispatchArguments& arguments);
  Result<Variant> WriteImageFile(const DispatchArguments& arguments);
  Result<Variant> Redirect(const DispatchArguments& arguments);
  Result<Variant> Flush(const DispatchArguments& arguments);
  Result<Variant> Clear(const DispatchArguments& arguments);
  Result<Variant> End(const DispatchArguments& arguments);
  Result<Variant> ReserveSpace(const DispatchArguments& arguments);
  Result<Variant> GetStream(const DispatchArguments& arguments);
  Result<Variant> AddHeader(const DispatchArguments& arguments);
  Result<Variant> AddCookie(const DispatchArguments& arguments);
  Result<Variant> GetCookies(const DispatchArguments& arguments);
  Result<Variant> AppendToLog(const DispatchArguments& arguments);
  Result<Variant> GetCode(const DispatchArguments& arguments);
  Result<Variant> PutCode(const DispatchArguments& arguments);
  Result<Variant> GetStatus(const DispatchArguments& arguments);
  Result<Variant> PutStatus(const DispatchArguments& arguments);
  Result<Variant> GetContentType(const DispatchArguments& arguments);
  Result<Variant> PutContentType(const DispatchArguments& arguments);
  Result<Variant> GetCharset(const DispatchArguments& arguments);
  Result<Variant> PutCharset(const DispatchArguments& arguments);
  Result<Variant> GetCacheControl(const DispatchArguments& arguments);
  Result<Variant> PutCacheControl(const DispatchArguments& arguments);
  Result<Variant> GetExpires(const DispatchArguments& arguments);
  Result<Variant> PutExpires(const DispatchArguments& arguments);
  Result<Variant> GetKeepConnection(const DispatchArguments& arguments);
  Result<Variant> PutKeepConnection(const DispatchArguments& arguments);
  Result<Variant> GetCancelDefaultProcessing(const DispatchArguments& arguments);
  Result<Variant> PutCancelDefaultProcessing(const DispatchArguments& arguments);
  Result<Variant> GetBuffer(const DispatchArguments& arguments);
  Result<Variant> PutBuffer(const DispatchArguments& arguments);
  Result<Variant> GetExpiresAbsolute(const DispatchArguments& arguments);
  Result<Variant> PutExpiresAbsolute(const DispatchArguments& arguments);
  Result<Variant> GetAuthorizationRealm(const DispatchArguments& arguments);
  Result<Variant> PutAuthorizationRealm(const DispatchArguments& arguments);

 private:
  enum class Compression { Allowed, Off };

  // The response fields Clear and a new request reset: not the binding, the protocol, the
  // keep-connection decision, the HEAD mark or what was already sent.
  void ResetContent();
  // Appends bytes to the body; OutOfMemory past ResponseBody::kMaxBytes.
  Result<void> AppendBody(std::string_view bytes);
  // Stops the running script when there is one.
  Result<Variant> StopScriptIfRunning();
  Collection& CookieCollection();
  std::string Realm();

  // Sending (response.cpp).
  Result<void> FlushWith(Compression compression, int64_t following_bytes);
  Result<void> TakeStreamIntoBody();
  // Body or file bytes: counted against the announced Content-Length.
  Result<void> SendContent(std::string_view bytes);
  enum class Pacing { Complete, MoreFollows };
  Result<void> SendPieces(std::string_view bytes, Pacing pacing = Pacing::Complete);
  Result<void> SendPiece(std::string_view piece, Pacing pacing);
  Result<void> TransmitFile(int file, int64_t length);
  // Reads a small file into the body after what is pending; false when it cannot be read.
  bool ReadFileIntoBody(int file, int64_t length);
  void NoteContentBytes(int64_t count);
  Error SendFailure();

  // Header composition (response_headers.cpp). `following_bytes` are sent after the body
  // (a file) and counted in Content-Length.
  std::string ComposeHeaders(Compression compression, int64_t following_bytes);
  std::string StatusLine() const;
  void ApplyUnauthorized(std::string& headers);
  void AppendLastModified(std::string& headers) const;
  void AppendExpiry(std::string& headers, std::time_t now) const;
  void AppendCookieLines(std::string& headers);
  bool CompressionAccepted() const;
  void CompressBody(std::string& headers);
  bool HasAddedHeader(std::string_view name) const;

  ResponseHost* host_;
  Connection* connection_ = nullptr;
  Request* request_ = nullptr;

  std::string protocol_ = "HTTP/1.1";
  int32_t code_ = 200;
  std::string content_type_ = "text/html";
  std::string charset_;
  std::string cache_control_ = "private";
  int32_t expires_minutes_ = kNoExpiry;
  double expires_absolute_ = 0.0;  // an OLE date in local time; 0 = none
  std::string location_;
  std::string realm_;
  bool keep_connection_ = true;
  bool cancel_default_processing_ = false;
  bool buffer_ = true;
  bool headers_only_ = false;
  bool gzip_allowed_ = true;
  bool script_running_ = false;
  bool ended_ = false;
  uint32_t code_page_ = CP_ACP;
  int64_t last_modified_ = 0;  // file time of a sent file; 0 = none
  std::vector<std::pair<std::string, std::string>> added_headers_;
  ComPtr<Collection> cookies_;
  std::string session_cookie_line_;  // empty when the page has no session
  ComPtr<IStream> stream_;
  ResponseBody body_;
  std::shared_ptr<const std::string> page_text_;

  // What went out for the current request.
  bool headers_sent_ = false;
  bool send_failed_ = false;
  int64_t announced_length_ = 0;  // the Content-Length sent
  int64_t content_sent_ = 0;      // body and file bytes sent after the headers
  int64_t bytes_sent_ = 0;
};
