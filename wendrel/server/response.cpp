#include "wendrel/server/response.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/safearray.h"
#include "platform/com/stream.h"
#include "platform/scripting/active_script.h"
#include "wendrel/asp/collection.h"
#include "wendrel/asp/http_cookie.h"
#include "wendrel/common/narrow_text.h"
#include "wendrel/server/connection.h"
#include "wendrel/server/response_host.h"

namespace {

// Refusals a page sees, with their numbers.
constexpr int32_t kNotADateError = 1003;
constexpr std::u16string_view kNotADateText = u"Object can not be evaluated to date";
constexpr int32_t kCannotWriteError = 1004;
constexpr std::u16string_view kCannotWriteText = u"Can not write this data";

constexpr size_t kStreamReadBlock = 4096;

Error CannotWrite() { return Error::Script(kCannotWriteError, std::u16string(kCannotWriteText)); }

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The bytes of an array of bytes (VT_UI1 or VT_I1 elements); nothing for other arrays.
std::optional<std::string> ByteArrayBytes(const VARIANT& value) {
  VARTYPE element = value.vt & VT_TYPEMASK;
  if ((value.vt & VT_ARRAY) == 0 || (element != VT_UI1 && element != VT_I1)) return std::nullopt;
  if (value.parray == nullptr) return std::string();
  uint64_t count = SafeArrayElementCount(value.parray);
  if (count == 0) return std::string();
  return std::string(static_cast<const char*>(value.parray->pvData), count);
}

// Each element of an array of variants as one byte (0 to 255); nothing when one is no byte.
std::optional<std::string> VariantArrayBytes(const VARIANT& value) {
  if (value.vt != (VT_ARRAY | VT_VARIANT) || value.parray == nullptr) return std::nullopt;
  uint64_t count = SafeArrayElementCount(value.parray);
  const auto* elements = static_cast<const VARIANT*>(value.parray->pvData);
  std::string bytes;
  bytes.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    Result<uint8_t> byte = ToByte(elements[i]);
    if (!byte.ok()) return std::nullopt;
    bytes.push_back(static_cast<char>(byte.value()));
  }
  return bytes;
}

// Reads a stream from its position to its end in blocks; OutOfMemory past the body limit.
Result<std::string> StreamBytes(IStream* stream) {
  std::string bytes;
  std::array<char, kStreamReadBlock> block;
  for (;;) {
    ULONG read = 0;
    if (FAILED(stream->Read(block.data(), block.size(), &read)) || read == 0) return bytes;
    if (bytes.size() + read > ResponseBody::kMaxBytes) return ErrorNumber::OutOfMemory;
    bytes.append(block.data(), read);
  }
}

// What Write appends for one value: text, converted with the response's code page, or bytes
// as they are (byte arrays and streams).
struct WriteContent {
  std::u16string text;
  std::string bytes;
  bool is_bytes = false;
};

WriteContent TextContent(std::u16string_view text) { return {std::u16string(text), {}, false}; }
WriteContent ByteContent(std::string bytes) { return {{}, std::move(bytes), true}; }

// An object: its text form, else the bytes of the stream it offers, else the conversion error.
Result<WriteContent> ObjectContent(const VARIANT& value) {
  Result<Bstr> text = ToBstr(value);
  if (text.ok()) return TextContent(text.value().view());
  ComPtr<IStream> stream = ComPtr<IUnknown>(value.punkVal).As<IStream>(IID_IStream);
  if (!stream) return std::move(text).error();
  return ByteContent(TRY(StreamBytes(stream.get())));
}

Result<WriteContent> ContentOf(const VARIANT& argument) {
  VARIANT value = PeekValue(argument);
  if (value.vt == VT_NULL) return WriteContent{};  // Null writes nothing
  if (std::optional<std::string> bytes = ByteArrayBytes(value)) return ByteContent(*bytes);
  if (value.vt == VT_DISPATCH && value.pdispVal != nullptr) return ObjectContent(value);
  if (value.vt == VT_UNKNOWN) {
    ComPtr<IStream> stream = ComPtr<IUnknown>(value.punkVal).As<IStream>(IID_IStream);
    if (!stream) return ErrorNumber::TypeMismatch;
    return ByteContent(TRY(StreamBytes(stream.get())));
  }
  Bstr text = TRY(ToBstr(value));
  return TextContent(text.view());
}

// Keeps at most `limit` characters (bytes for byte content); a negative limit keeps all. A
// cut never splits a surrogate pair.
void LimitContent(WriteContent& content, int32_t limit) {
  if (limit < 0) return;
  auto kept = static_cast<size_t>(limit);
  if (content.is_bytes) {
    if (content.bytes.size() > kept) content.bytes.resize(kept);
    return;
  }
  if (content.text.size() <= kept) return;
  if (kept > 0 && IsHighSurrogate(content.text[kept - 1])) --kept;
  content.text.resize(kept);
}

// The stream an object argument offers (a captured image's Value, ADO streams); null for any
// other value.
ComPtr<IStream> StreamArgument(const VARIANT& argument) {
  VARIANT value = PeekValue(argument);
  if ((value.vt != VT_UNKNOWN && value.vt != VT_DISPATCH) || value.punkVal == nullptr) return nullptr;
  return ComPtr<IUnknown>(value.punkVal).As<IStream>(IID_IStream);
}

// BinaryWrite's bytes: arrays element by element, text one byte per character (characters
// above U+00FF become '?'), without the code page.
std::optional<std::string> BinaryBytesOf(const VARIANT& argument) {
  VARIANT value = PeekValue(argument);
  if ((value.vt & VT_ARRAY) != 0) {
    if (std::optional<std::string> bytes = ByteArrayBytes(value)) return bytes;
    return VariantArrayBytes(value);
  }
  Result<Bstr> text = ToBstr(value);
  if (!text.ok()) return std::nullopt;
  return TextToBytes(text.value().view(), kCodePageLatin1);
}

// A memory address given as a number: 64-bit integers as they are, other numbers when whole.
Result<uintptr_t> AddressOf(const VARIANT& argument) {
  VARIANT value = PeekValue(argument);
  if (value.vt == VT_I8 || value.vt == VT_UI8) return static_cast<uintptr_t>(value.llVal);
  double number = TRY(ToDouble(value));
  if (number < 0 || number > static_cast<double>(std::numeric_limits<int64_t>::max()) ||
      number != static_cast<double>(static_cast<int64_t>(number))) {
    return ErrorNumber::InvalidProcedureCall;
  }
  return static_cast<uintptr_t>(static_cast<int64_t>(number));
}

// Status put: the leading decimal number (blanks and a sign before it allowed), or nothing.
std::optional<int32_t> LeadingNumber(std::string_view text) {
  size_t position = 0;
  while (position < text.size() && (text[position] == ' ' || text[position] == '\t')) ++position;
  bool negative = false;
  if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
    negative = text[position++] == '-';
  }
  int64_t number = 0;
  size_t first_digit = position;
  for (; position < text.size() && text[position] >= '0' && text[position] <= '9'; ++position) {
    number = number * 10 + (text[position] - '0');
    if (number > std::numeric_limits<int32_t>::max()) return std::nullopt;
  }
  if (position == first_digit) return std::nullopt;
  return static_cast<int32_t>(negative ? -number : number);
}

}  // namespace

std::string LocalComputerName() {
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') return "localhost";
  return name.data();
}

// --- ResponseBody ----------------------------------------------------------------------------

Result<void> ResponseBody::Resize(size_t capacity) {
  void* grown = std::realloc(data_.get(), capacity);
  if (grown == nullptr) return ErrorNumber::OutOfMemory;
  (void)data_.release();
  data_.reset(static_cast<char*>(grown));
  capacity_ = capacity;
  return {};
}

Result<void> ResponseBody::Reserve(size_t more) {
  if (more > kMaxBytes - length_) return ErrorNumber::OutOfMemory;
  const size_t needed = length_ + more;
  if (more == 0 || needed < capacity_) return {};
  size_t capacity = capacity_ * 2;
  if (capacity_ == 0) {
    capacity = kFirstCapacity;
  } else if (needed >= kFirstCapacity) {
    capacity = needed + kLinearMargin;
    // Growing by what is needed alone makes a page that writes megabytes piece by piece copy
    // its body again and again; past kGeometricFrom the body at least doubles.
    if (capacity_ >= kGeometricFrom) capacity = std::max(capacity, capacity_ * 2);
  }
  while (needed >= capacity) capacity *= 2;
  return Resize(std::min(capacity, kMaxBytes + kLinearMargin));
}

Result<void> ResponseBody::Append(std::string_view bytes) {
  if (bytes.empty()) return {};
  TRY(Reserve(bytes.size()));
  std::memcpy(data_.get() + length_, bytes.data(), bytes.size());
  length_ += bytes.size();
  return {};
}

Result<void> ResponseBody::AppendText(std::u16string_view text, uint32_t code_page) {
  if (text.empty()) return {};
  TRY(Reserve(MaxEncodedBytes(text.size(), code_page)));
  length_ += EncodeTextInto(text, code_page, data_.get() + length_);
  return {};
}

Result<void> ResponseBody::Assign(std::string_view bytes) {
  length_ = 0;
  return Append(bytes);
}

void ResponseBody::ClearAndShrink(size_t capacity) {
  length_ = 0;
  if (capacity_ <= capacity) return;
  // Giving memory back cannot fail in a way that matters: the larger block is kept then.
  (void)Resize(capacity);
}

// --- Response: life cycle --------------------------------------------------------------------

Response::Response(ResponseHost* host) : host_(host) {}

Response::~Response() = default;

std::span<const DispatchMember<Response>> Response::Members() {
  using R = Response;
  constexpr uint16_t kGet = kPropertyGet | kMethod;
  // Dispatch identifiers follow the order of the interface's members, from 1.
  static constexpr DispatchMember<R> kMembers[] = {
      {u"Write", 1, kMethod, 1, 1, &R::Write, u"Content"},
      {u"WriteEx", 2, kMethod, 2, 2, &R::WriteEx, u"Content,MaxLen"},
      {u"WritePart", 3, kMethod, 2, 2, &R::WritePart, u"StartIndex,EndIndex"},
      {u"BinaryWrite", 4, kMethod, 1, 1, &R::BinaryWrite, u"Data"},
      {u"WriteMemBytes", 5, kMethod, 2, 2, &R::WriteMemBytes, u"MemoryPtr,MemorySize"},
      {u"WriteFile", 6, kMethod, 1, 1, &R::WriteFile, u"FileName"},
      {u"WriteFileEx", 7, kMethod, 3, 3, &R::WriteFileEx, u"FileName,Offset,Length"},
      {u"WriteImageFile", 8, kMethod, 1, 1, &R::WriteImageFile, u"ImageFileName"},
      {u"Redirect", 9, kMethod, 1, 1, &R::Redirect, u"NewPage"},
      {u"Flush", 10, kMethod, 0, 0, &R::Flush},
      {u"Clear", 11, kMethod, 0, 0, &R::Clear},
      {u"End", 12, kMethod, 0, 0, &R::End},
      {u"ReserveSpace", 13, kMethod, 1, 1, &R::ReserveSpace, u"ResponseSpace"},
      {u"Stream", 14, kPropertyGet, 0, 0, &R::GetStream},
      {u"AddHeader", 15, kMethod, 2, 2, &R::AddHeader, u"Name,Value"},
      {u"AddCookie", 16, kMethod, 2, 5, &R::AddCookie, u"Name,Value,Expires,Path,Domain"},
      {u"Cookies", 17, kGet, 0, 1, &R::GetCookies, u"Index"},
      {u"AppendToLog", 18, kMethod, 1, 1, &R::AppendToLog, u"Data"},
      {u"Code", 19, kPropertyGet, 0, 0, &R::GetCode},
      {u"Code", 19, kPropertyPut, 0, 0, &R::PutCode},
      {u"Status", 20, kPropertyGet, 0, 0, &R::GetStatus},
      {u"Status", 20, kPropertyPut, 0, 0, &R::PutStatus},
      {u"ContentType", 21, kPropertyGet, 0, 0, &R::GetContentType},
      {u"ContentType", 21, kPropertyPut, 0, 0, &R::PutContentType},
      {u"ResponseType", 22, kPropertyGet, 0, 0, &R::GetContentType},
      {u"ResponseType", 22, kPropertyPut, 0, 0, &R::PutContentType},
      {u"Charset", 23, kPropertyGet, 0, 0, &R::GetCharset},
      {u"Charset", 23, kPropertyPut, 0, 0, &R::PutCharset},
      {u"CacheControl", 24, kPropertyGet, 0, 0, &R::GetCacheControl},
      {u"CacheControl", 24, kPropertyPut, 0, 0, &R::PutCacheControl},
      {u"Expires", 25, kPropertyGet, 0, 0, &R::GetExpires},
      {u"Expires", 25, kPropertyPut, 0, 0, &R::PutExpires},
      {u"KeepConnection", 26, kPropertyGet, 0, 0, &R::GetKeepConnection},
      {u"KeepConnection", 26, kPropertyPut, 0, 0, &R::PutKeepConnection},
      {u"CancelDefaultProcessing", 27, kPropertyGet, 0, 0, &R::GetCancelDefaultProcessing},
      {u"CancelDefaultProcessing", 27, kPropertyPut, 0, 0, &R::PutCancelDefaultProcessing},
      {u"Buffer", 28, kPropertyGet, 0, 0, &R::GetBuffer},
      {u"Buffer", 28, kPropertyPut, 0, 0, &R::PutBuffer},
      {u"ExpiresAbsolute", 29, kPropertyGet, 0, 0, &R::GetExpiresAbsolute},
      {u"ExpiresAbsolute", 29, kPropertyPut, 0, 0, &R::PutExpiresAbsolute},
      {u"AuthorizationRealm", 30, kPropertyGet, 0, 0, &R::GetAuthorizationRealm},
      {u"AuthorizationRealm", 30, kPropertyPut, 0, 0, &R::PutAuthorizationRealm},
  };
  return kMembers;
}

void Response::Bind(Connection* connection, Request* request) {
  connection_ = connection;
  request_ = request;
}

void Response::ResetForRequest(std::string_view protocol) {
  ResetContent();
  session_cookie_line_.clear();
  protocol_ = protocol.empty() ? std::string("HTTP/1.1") : std::string(protocol);
  headers_only_ = false;
  headers_sent_ = false;
  send_failed_ = false;
  announced_length_ = 0;
  content_sent_ = 0;
  bytes_sent_ = 0;
  page_text_.reset();
  script_running_ = false;
  ended_ = false;
}

void Response::ResetContent() {
  code_ = 200;
  content_type_ = "text/html";
  charset_.clear();
  cache_control_ = "private";
  expires_minutes_ = kNoExpiry;
  expires_absolute_ = 0.0;
  location_.clear();
  realm_.clear();
  cancel_default_processing_ = false;
  last_modified_ = 0;
  added_headers_.clear();
  if (cookies_) cookies_->RemoveAllEntries();
  stream_.Reset();
  body_.ClearAndShrink(kKeptBodyCapacity);
}

void Response::SetSessionCookie(std::string_view id, bool secure) {
  session_cookie_line_ = "Set-Cookie: ASPSESSIONID=";
  session_cookie_line_ += CookieValueEncoded(id);
  session_cookie_line_ += "; path=/; HttpOnly";
  if (secure) session_cookie_line_ += "; Secure";
  session_cookie_line_ += "\r\n";
}

Result<void> Response::AppendBody(std::string_view bytes) { return body_.Append(bytes); }

Result<Variant> Response::StopScriptIfRunning() {
  if (script_running_) return Error::FromHresult(SCRIPT_E_STOP_WITHOUT_ERROR);
  return Variant();
}

Collection& Response::CookieCollection() {
  if (!cookies_) {
    cookies_ = MakeObject<Collection>(&CHTTPCookie::Make,
                                      CollectionOptions{.create_on_access = true});
  }
  return *cookies_;
}

std::string Response::Realm() {
  if (realm_.empty()) realm_ = host_ != nullptr ? host_->ComputerName() : LocalComputerName();
  return realm_;
}

// --- Dispatch members: the body --------------------------------------------------------------

Result<Variant> Response::Write(const DispatchArguments& arguments) {
  // Text, the common case, goes straight into the body.
  VARIANT value = PeekValue(arguments[0]);
  if (value.vt == VT_BSTR) {
    TRY(body_.AppendText(BstrView(value.bstrVal), code_page_));
    return Variant();
  }
  WriteContent content = TRY(ContentOf(arguments[0]));
  TRY(AppendBody(content.is_bytes ? content.bytes : TextToBytes(content.text, code_page_)));
  return Variant();
}

Result<Variant> Response::WriteEx(const DispatchArguments& arguments) {
  WriteContent content = TRY(ContentOf(arguments[0]));
  LimitContent(content, TRY(ToInt32(arguments[1])));
  TRY(AppendBody(content.is_bytes ? content.bytes : TextToBytes(content.text, code_page_)));
  return Variant();
}

// Bytes [StartIndex, EndIndex) of the page's source text, limited to the text.
Result<Variant> Response::WritePart(const DispatchArguments& arguments) {
  int32_t start = TRY(ToInt32(arguments[0]));
  int32_t end = TRY(ToInt32(arguments[1]));
  if (!page_text_) return Variant();
  auto size = static_cast<int64_t>(page_text_->size());
  int64_t first = std::clamp<int64_t>(start, 0, size);
  int64_t last = std::clamp<int64_t>(end, 0, size);
  if (first >= last) return Variant();
  TRY(AppendBody(std::string_view(*page_text_).substr(first, last - first)));
  return Variant();
}

Result<Variant> Response::BinaryWrite(const DispatchArguments& arguments) {
  if (ComPtr<IStream> stream = StreamArgument(arguments[0])) {
    // A stream is written from its position to its end, as it stands.
    TRY(AppendBody(TRY(StreamBytes(stream.get()))));
    return Variant();
  }
  std::optional<std::string> bytes = BinaryBytesOf(arguments[0]);
  if (!bytes) return CannotWrite();
  TRY(AppendBody(*bytes));
  return Variant();
}

// Host code may hand a block of its memory; a script has no memory of its own to name, so
// the call is refused while one runs.
Result<Variant> Response::WriteMemBytes(const DispatchArguments& arguments) {
  uintptr_t address = TRY(AddressOf(arguments[0]));
  int32_t size = TRY(ToInt32(arguments[1]));
  if (address == 0 || size <= 0) return Variant();
  if (script_running_) return CannotWrite();
  TRY(AppendBody(std::string_view(reinterpret_cast<const char*>(address), size)));
  return Variant();
}

Result<Variant> Response::ReserveSpace(const DispatchArguments& arguments) {
  int32_t space = TRY(ToInt32(arguments[0]));
  if (space > 0) TRY(body_.Reserve(static_cast<size_t>(space)));
  return Variant();
}

// A memory stream owned by the response; its content becomes the body at the flush.
Result<Variant> Response::GetStream(const DispatchArguments&) {
  if (stream_) return Error::FromHresult(E_FAIL);
  stream_ = CreateMemoryStream();
  if (!stream_) return ErrorNumber::OutOfMemory;
  return Variant::FromUnknown(stream_.get());
}

// --- Dispatch members: sending ---------------------------------------------------------------

Result<Variant> Response::WriteFile(const DispatchArguments& arguments) {
  std::string path = TRY(NarrowTextOf(arguments[0]));
  TRY(SendFile(path, std::nullopt, 0, 0, std::nullopt));
  return Variant();
}

Result<Variant> Response::WriteFileEx(const DispatchArguments& arguments) {
  std::string path = TRY(NarrowTextOf(arguments[0]));
  int32_t offset = TRY(ToInt32(arguments[1]));
  int32_t length = TRY(ToInt32(arguments[2]));
  TRY(SendFile(path, std::nullopt, offset, length, std::nullopt));
  return Variant();
}

// The content type by the extension (from the last full stop of the file name); an unknown
// extension or none sends no Content-Type.
Result<Variant> Response::WriteImageFile(const DispatchArguments& arguments) {
  std::string path = TRY(NarrowTextOf(arguments[0]));
  std::string content_type;
  size_t name_start = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  bool has_extension =
      dot != std::string::npos && (name_start == std::string::npos || dot > name_start);
  if (has_extension && host_ != nullptr) content_type = host_->MimeTypeOf(path.substr(dot));
  TRY(SendFile(path, std::nullopt, 0, 0, content_type));
  return Variant();
}

Result<Variant> Response::Flush(const DispatchArguments&) {
  TRY(Finish());
  return Variant();
}

Result<Variant> Response::Clear(const DispatchArguments&) {
  ResetContent();
  return Variant();
}

// Sends what there is (announcing the close), closes the connection and stops the script.
// Nothing written later reaches the client.
Result<Variant> Response::End(const DispatchArguments&) {
  Result<void> flushed = EndResponse();
  if (script_running_) return StopScriptIfRunning();
  if (!flushed.ok()) return std::move(flushed).error();
  return Variant();
}

// The connection closes once the request is over ("Connection: Close" went out): the
// connection code lingers for the client without holding the thread that runs the page.
Result<void> Response::EndResponse() {
  keep_connection_ = false;
  Result<void> flushed = Finish();
  headers_only_ = true;
  ended_ = true;
  return flushed;
}

// --- Dispatch members: headers ---------------------------------------------------------------

Result<Variant> Response::AddHeader(const DispatchArguments& arguments) {
  std::string name = TRY(NarrowTextOf(arguments[0]));
  std::string value = TRY(NarrowTextOf(arguments[1]));
  if (added_headers_.size() >= kMaxAddedHeaders) return Variant();
  added_headers_.emplace_back(std::move(name), std::move(value));
  return Variant();
}

// Adds the cookie or gives an existing one the new value; Expires (minutes or a date), Path
// and Domain are applied as the cookie's own properties when given.
Result<Variant> Response::AddCookie(const DispatchArguments& arguments) {
  std::string name = TRY(NarrowTextOf(arguments[0]));
  Collection& cookies = CookieCollection();
  ComPtr<IDispatch> cookie = cookies.FindEntry(name);
  if (cookie) {
    TRY(PutMember(cookie.get(), u"Item", {}, arguments[1]));
  } else {
    std::string value = TRY(NarrowTextOf(arguments[1]));
    cookie = cookies.AddEntry(name, value);
    if (!cookie) return Error::FromHresult(E_FAIL);
  }
  constexpr std::u16string_view kAttributes[] = {u"Expires", u"Path", u"Domain"};
  for (size_t i = 0; i < std::size(kAttributes); ++i) {
    if (arguments.IsMissing(i + 2) || PeekValue(arguments[i + 2]).vt == VT_EMPTY) continue;
    TRY(PutMember(cookie.get(), kAttributes[i], {}, arguments[i + 2]));
  }
  return Variant();
}

// Cookies: the collection; Cookies(name) its entry, made when missing.
Result<Variant> Response::GetCookies(const DispatchArguments& arguments) {
  Collection& cookies = CookieCollection();
  if (arguments.IsMissing(0)) return Variant::FromDispatch(&cookies);
  VARIANT index = PeekValue(arguments[0]);
  return CallMember(&cookies, u"Item", std::span<const VARIANT>(&index, 1));
}

Result<Variant> Response::AppendToLog(const DispatchArguments& arguments) {
  std::string text = TRY(NarrowTextOf(arguments[0]));
  if (host_ != nullptr) host_->LogMessage(text);
  return Variant();
}

Result<Variant> Response::Redirect(const DispatchArguments& arguments) {
  std::string new_page = TRY(NarrowTextOf(arguments[0]));
  Result<void> flushed = RedirectTo(new_page);
  ended_ = true;
  if (script_running_) return StopScriptIfRunning();
  if (!flushed.ok()) return std::move(flushed).error();
  return Variant();
}

// --- Dispatch members: properties ------------------------------------------------------------

Result<Variant> Response::GetCode(const DispatchArguments&) {
  // A code set through Status may exceed the 16-bit range of Code; it is then a Long.
  bool fits = code_ >= std::numeric_limits<int16_t>::min() &&
              code_ <= std::numeric_limits<int16_t>::max();
  return fits ? Variant::FromI2(static_cast<int16_t>(code_)) : Variant::FromI4(code_);
}

Result<Variant> Response::PutCode(const DispatchArguments& arguments) {
  code_ = TRY(ToInt16(arguments.value()));
  return Variant();
}

Result<Variant> Response::GetStatus(const DispatchArguments&) {
  return NarrowTextVariant(std::to_string(code_) + " " + ReasonPhrase(code_));
}

Result<Variant> Response::PutStatus(const DispatchArguments& arguments) {
  std::string text = TRY(NarrowTextOf(arguments.value()));
  std::optional<int32_t> code = LeadingNumber(text);
  if (code && *code > 0) code_ = *code;
  return Variant();
}

Result<Variant> Response::GetContentType(const DispatchArguments&) {
  return NarrowTextVariant(content_type_);
}

Result<Variant> Response::PutContentType(const DispatchArguments& arguments) {
  content_type_ = TRY(NarrowTextOf(arguments.value()));
  return Variant();
}

Result<Variant> Response::GetCharset(const DispatchArguments&) {
  return NarrowTextVariant(charset_);
}

Result<Variant> Response::PutCharset(const DispatchArguments& arguments) {
  charset_ = TRY(NarrowTextOf(arguments.value()));
  return Variant();
}

Result<Variant> Response::GetCacheControl(const DispatchArguments&) {
  return NarrowTextVariant(cache_control_);
}

Result<Variant> Response::PutCacheControl(const DispatchArguments& arguments) {
  cache_control_ = TRY(NarrowTextOf(arguments.value()));
  return Variant();
}

Result<Variant> Response::GetExpires(const DispatchArguments&) {
  return Variant::FromI4(expires_minutes_);
}

Result<Variant> Response::PutExpires(const DispatchArguments& arguments) {
  expires_minutes_ = TRY(ToInt32(arguments.value()));
  return Variant();
}

Result<Variant> Response::GetKeepConnection(const DispatchArguments&) {
  return Variant::FromBool(keep_connection_);
}

Result<Variant> Response::PutKeepConnection(const DispatchArguments& arguments) {
  keep_connection_ = TRY(ToBool(arguments.value()));
  return Variant();
}

Result<Variant> Response::GetCancelDefaultProcessing(const DispatchArguments&) {
  return Variant::FromBool(cancel_default_processing_);
}

Result<Variant> Response::PutCancelDefaultProcessing(const DispatchArguments& arguments) {
  cancel_default_processing_ = TRY(ToBool(arguments.value()));
  return Variant();
}

Result<Variant> Response::GetBuffer(const DispatchArguments&) { return Variant::FromBool(buffer_); }

Result<Variant> Response::PutBuffer(const DispatchArguments& arguments) {
  buffer_ = TRY(ToBool(arguments.value()));
  return Variant();
}

Result<Variant> Response::GetExpiresAbsolute(const DispatchArguments&) {
  return Variant::FromDate(expires_absolute_);
}

Result<Variant> Response::PutExpiresAbsolute(const DispatchArguments& arguments) {
  Result<DATE> date = ToDate(arguments.value());
  if (!date.ok()) return Error::Script(kNotADateError, std::u16string(kNotADateText));
  expires_absolute_ = date.value();
  return Variant();
}

Result<Variant> Response::GetAuthorizationRealm(const DispatchArguments&) {
  return NarrowTextVariant(Realm());
}

Result<Variant> Response::PutAuthorizationRealm(const DispatchArguments& arguments) {
  realm_ = TRY(NarrowTextOf(arguments.value()));
  return Variant();
}
