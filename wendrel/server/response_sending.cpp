// Sending a Response: the flush (stream or body, headers once per request), file sending with
// conditional GET, and the built-in 404 and redirect pages.
//
// Every body or file byte is counted against the Content-Length the headers announced. When
// more goes out (a second flush, a file after a flush) or less (a file that shrank while it
// was sent), the client cannot find the end of this response by its length, so the connection
// is not kept for another request.

#include "wendrel/server/response.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/com/stream.h"
#include "wendrel/common/http_date.h"
#include "wendrel/asp/request.h"
#include "wendrel/server/connection.h"
#include "wendrel/http/error_pages.h"
#include "wendrel/server/file_containment.h"
#include "wendrel/server/response_host.h"
#include "wendrel/server/socket_errors.h"

namespace {

constexpr char kOpenFailureFormat[] = "Error opening file %s; error=0x%X";

constexpr int32_t kNotModifiedCode = 304;
constexpr int32_t kNotFoundCode = 404;
constexpr int32_t kRedirectCode = 302;

// A piece refused with "would block" is offered again this often, this far apart.
constexpr int kMaxWouldBlockRetries = 200;
constexpr std::chrono::milliseconds kWouldBlockPause{5};

// The last segment of a path.
std::string_view FileNameOf(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// "Error opening file <path>; error=0x<errno>".
std::string OpenFailureLine(std::string_view path, int error) {
  const std::string path_text(path);
  const auto code = static_cast<unsigned>(error);
  int length = std::snprintf(nullptr, 0, kOpenFailureFormat, path_text.c_str(), code);
  if (length <= 0) return {};
  std::string line(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(line.data(), line.size(), kOpenFailureFormat, path_text.c_str(), code);
  line.pop_back();
  return line;
}

// An open file descriptor, closed at the end of its scope.
class OpenFile {
 public:
  explicit OpenFile(int descriptor) : descriptor_(descriptor) {}
  ~OpenFile() {
    if (descriptor_ >= 0) close(descriptor_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int get() const { return descriptor_; }

 private:
  int descriptor_;
};

struct FileFacts {
  int64_t size = 0;
  int64_t last_write = 0;  // file time (100-ns units since 1601)
};

// Opens a regular file for reading: the descriptor, or -1 with `error` (errno). A FIFO or a
// device is refused without waiting on it; a folder is refused as EISDIR.
int OpenRegularFile(const std::string& path, const FileRoot* inside_root, FileFacts& facts,
                    int& error) {
  constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
  int descriptor = inside_root != nullptr ? inside_root->OpenBeneath(path, kFlags)
                                          : open(path.c_str(), kFlags);
  if (descriptor < 0) {
    error = errno;
    return -1;
  }
  struct stat status{};
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    error = S_ISDIR(status.st_mode) ? EISDIR : (errno != 0 ? errno : EINVAL);
    close(descriptor);
    return -1;
  }
  facts.size = status.st_size;
  facts.last_write = FileTimeFromTime(status.st_mtim.tv_sec) + status.st_mtim.tv_nsec / 100;
  return descriptor;
}

// The If-Modified-Since time names the file's last write: within just under a second, as the
// header carries whole seconds.
bool IsSameMoment(int64_t if_modified_since, int64_t last_write) {
  if (if_modified_since == 0) return false;
  int64_t difference = if_modified_since - last_write;
  if (difference < 0) difference = -difference;
  return difference <= Response::kModifiedSinceTolerance;
}

}  // namespace

Result<void> Response::Finish() { return FlushWith(Compression::Allowed, 0); }

Result<void> Response::FinishAtOnce() {
  code_ = 200;
  stream_.Reset();
  body_.Clear();
  return Finish();
}

// The page names what the client asked for, the URL path; the file system path is the
// server's own business and goes only to its log.
void Response::NotFound(std::string_view path) {
  stream_.Reset();
  std::string_view shown = request_ != nullptr ? std::string_view(request_->RequestPage())
                                               : FileNameOf(path);
  (void)body_.Assign(BuiltInPageBody(BuiltInPage::NotFound, shown));  // fits unless memory fails
  code_ = kNotFoundCode;
  content_type_ = "text/html";
  last_modified_ = 0;
}

Result<void> Response::RedirectTo(std::string_view new_page) {
  code_ = kRedirectCode;
  location_ = new_page;
  content_type_ = "text/html";
  stream_.Reset();
  TRY(body_.Assign(BuiltInPageBody(BuiltInPage::ObjectMoved, new_page)));
  expires_minutes_ = kNoExpiry;
  expires_absolute_ = 0.0;
  last_modified_ = 0;
  keep_connection_ = false;
  Result<void> flushed = Finish();
  headers_only_ = true;
  return flushed;
}

Result<FileSendOutcome> Response::SendFile(std::string_view path,
                                           std::optional<int64_t> if_modified_since,
                                           int64_t offset, int64_t length,
                                           std::optional<std::string_view> content_type,
                                           const FileRoot* inside_root) {
  FileFacts facts;
  int error = 0;
  OpenFile file(OpenRegularFile(std::string(path), inside_root, facts, error));
  if (file.get() < 0) {
    if (host_ != nullptr) host_->WriteEventLog(OpenFailureLine(path, error));
    NotFound(path);
    return FileSendOutcome::NotFound;
  }
  if (if_modified_since) {
    last_modified_ = facts.last_write;
    if (IsSameMoment(*if_modified_since, facts.last_write)) {
      code_ = kNotModifiedCode;
      content_type_.clear();
      last_modified_ = 0;
      return FileSendOutcome::NotModified;
    }
  }
  // From the offset to the end of the file, at most `length` bytes when that is given.
  const int64_t start = std::clamp<int64_t>(offset, 0, facts.size);
  int64_t file_length = facts.size - start;
  if (length > 0) file_length = std::min(file_length, length);
  if (start > 0 && lseek(file.get(), start, SEEK_SET) < 0) return Error::FromHresult(E_FAIL);
  if (content_type) content_type_ = *content_type;
  // A small file goes out in the same write as the headers; a file that cannot be read that
  // way is transmitted as any other.
  if (!headers_only_ && !headers_sent_ && file_length <= kInlineFileBytes &&
      ReadFileIntoBody(file.get(), file_length)) {
    TRY(FlushWith(Compression::Off, 0));
    return FileSendOutcome::Sent;
  }
  TRY(FlushWith(Compression::Off, file_length));
  if (!headers_only_) TRY(TransmitFile(file.get(), file_length));
  return FileSendOutcome::Sent;
}

bool Response::ReadFileIntoBody(int file, int64_t length) {
  size_t pending = body_.size();
  if (!body_.Reserve(static_cast<size_t>(length)).ok()) return false;
  std::string bytes(static_cast<size_t>(length), '\0');
  size_t read_so_far = 0;
  while (read_so_far < bytes.size()) {
    ssize_t got = read(file, bytes.data() + read_so_far, bytes.size() - read_so_far);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      (void)body_.Assign(body_.view().substr(0, pending));
      return false;
    }
    if (got == 0) break;  // the file shrank: what was read is the content
    read_so_far += static_cast<size_t>(got);
  }
  bytes.resize(read_so_far);
  return body_.Append(bytes).ok();
}

// --- Flush -----------------------------------------------------------------------------------

Result<void> Response::FlushWith(Compression compression, int64_t following_bytes) {
  if (send_failed_) return Error::FromHresult(E_FAIL);
  TRY(TakeStreamIntoBody());
  if (!headers_sent_) {
    std::string headers = ComposeHeaders(compression, following_bytes);
    headers_sent_ = true;  // never sent twice, even after a failure part-way
    content_sent_ = 0;
    // A body of moderate size leaves in the same write as the headers: one send, one packet
    // for a small answer.
    if (!headers_only_ && !body_.empty() && body_.size() <= kHeadersWithBodyBytes) {
      NoteContentBytes(static_cast<int64_t>(body_.size()));
      headers.append(body_.view());
      body_.Clear();
    }
    // Headers before a file are sent as "more follows", so they share a segment with it.
    bool file_follows = following_bytes > 0 && body_.empty() && !headers_only_;
    TRY(SendPieces(headers, file_follows ? Pacing::MoreFollows : Pacing::Complete));
  }
  if (!headers_only_) TRY(SendContent(body_.view()));
  body_.Clear();
  return {};
}

// The stream's whole content replaces the body; the stream is released.
Result<void> Response::TakeStreamIntoBody() {
  if (!stream_) return {};
  ComPtr<IStream> stream = std::move(stream_);
  STATSTG statistics{};
  if (FAILED(stream->Stat(&statistics, 0))) return Error::FromHresult(E_FAIL);
  if (statistics.cbSize > ResponseBody::kMaxBytes) return ErrorNumber::OutOfMemory;
  std::string bytes(static_cast<size_t>(statistics.cbSize), '\0');
  ULONG read = 0;
  if (FAILED(stream->Seek(0, STREAM_SEEK_SET, nullptr)) ||
      FAILED(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read))) {
    return Error::FromHresult(E_FAIL);
  }
  bytes.resize(read);
  return body_.Assign(bytes);
}

Result<void> Response::SendContent(std::string_view bytes) {
  if (bytes.empty()) return {};
  NoteContentBytes(static_cast<int64_t>(bytes.size()));
  return SendPieces(bytes);
}

void Response::NoteContentBytes(int64_t count) {
  content_sent_ += count;
  if (content_sent_ > announced_length_) keep_connection_ = false;
}

Result<void> Response::SendPieces(std::string_view bytes, Pacing pacing) {
  for (size_t offset = 0; offset < bytes.size(); offset += kSendPieceBytes) {
    TRY(SendPiece(bytes.substr(offset, kSendPieceBytes), pacing));
  }
  return {};
}

// One piece, offered again while the connection answers "would block".
Result<void> Response::SendPiece(std::string_view piece, Pacing pacing) {
  if (connection_ == nullptr) return SendFailure();
  int retries = 0;
  while (!piece.empty()) {
    int64_t sent = pacing == Pacing::MoreFollows ? connection_->SendAhead(piece)
                                                 : connection_->Send(piece);
    if (sent > 0) {
      bytes_sent_ += sent;
      piece.remove_prefix(std::min<size_t>(static_cast<size_t>(sent), piece.size()));
      continue;
    }
    bool would_block = sent < 0 && connection_->LastError() == socket_errors::kWsaWouldBlock;
    if (!would_block || ++retries > kMaxWouldBlockRetries) return SendFailure();
    std::this_thread::sleep_for(kWouldBlockPause);
  }
  return {};
}

Result<void> Response::TransmitFile(int file, int64_t length) {
  if (length <= 0) return {};
  NoteContentBytes(length);
  if (connection_ == nullptr) return SendFailure();
  int64_t sent = connection_->SendFile(file, length);
  if (sent < 0) return SendFailure();
  bytes_sent_ += sent;
  // A file that shrank meanwhile leaves the response short of its Content-Length.
  if (sent < length) keep_connection_ = false;
  return {};
}

// After a failed send the connection is of no further use for this client: nothing more is
// sent for this request and the connection is not kept.
Error Response::SendFailure() {
  send_failed_ = true;
  headers_sent_ = true;
  keep_connection_ = false;
  body_.Clear();
  return Error::FromHresult(E_FAIL);
}
