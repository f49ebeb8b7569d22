// Header composition of a Response: the status line and the header lines in their fixed
// order, with the 401 answer and gzip compression applied on the way. Every value that a page,
// the host or a client supplied passes HeaderSafeText, so it cannot end its line.

#include "wendrel/server/response.h"

#include <algorithm>
#include <cstdio>

#include "platform/automation/dispatch_call.h"
#include "wendrel/asp/collection.h"
#include "wendrel/asp/http_cookie.h"
#include "wendrel/asp/request.h"
#include "wendrel/common/byte_string.h"
#include "wendrel/common/http_date.h"
#include "wendrel/common/narrow_text.h"
#include "wendrel/http/status_codes.h"
#include "wendrel/http/error_pages.h"
#include "wendrel/server/gzip_body.h"
#include "wendrel/server/response_host.h"

namespace {

// Room reserved for the header block of an ordinary response.
constexpr size_t kTypicalHeaderBytes = 384;
constexpr std::string_view kServerLine = "Server: QuavWendrel/COM\r\n";
constexpr std::string_view kAuthenticateHeader = "WWW-Authenticate";
constexpr std::string_view kCompressibleTypes[] = {"text/html", "text/xml", ""};

constexpr int kUnauthorizedCode = 401;
constexpr int kCompressedCode = 200;
constexpr int64_t kSecondsPerMinute = 60;

// "name: value\r\n" with the value made safe for a header line.
void AppendHeaderLine(std::string& headers, std::string_view name, std::string_view value) {
  AppendHeaderSafeText(headers, name);
  headers += ": ";
  AppendHeaderSafeText(headers, value);
  headers += "\r\n";
}

}  // namespace

// The status line "protocol code phrase\r\n". Cut to kMaxStatusLineLength with its line end
// kept, so that a long protocol text cannot glue the next header onto the status line.
std::string Response::StatusLine() const {
  std::string line = HeaderSafeText(protocol_);
  line += ' ';
  line += std::to_string(code_);
  line += ' ';
  line += ReasonPhrase(code_);
  if (line.size() > kMaxStatusLineLength - 2) line.resize(kMaxStatusLineLength - 2);
  line += "\r\n";
  return line;
}

// Code 401: the Basic challenge (unless the page added its own) and the fixed page; the
// answer is never redirected and expires at once.
void Response::ApplyUnauthorized(std::string& headers) {
  if (!HasAddedHeader(kAuthenticateHeader)) {
    headers += "WWW-Authenticate: Basic realm=\"";
    headers += HeaderSafeText(Realm());
    headers += "\"\r\n";
  }
  (void)body_.Assign(BuiltInPageBody(BuiltInPage::Unauthorized));  // smaller than any body limit
  location_.clear();
  expires_minutes_ = 0;
}

// "Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT" of the sent file's last write.
void Response::AppendLastModified(std::string& headers) const {
  std::time_t moment = TimeFromFileTime(last_modified_);
  UtcTime utc = UtcTimeOf(moment);
  if (utc.year < 0 || utc.year > 99999) return;
  headers += "Last-Modified: ";
  AppendLastModifiedDate(headers, moment);
  headers += "\r\n";
}

// Expires: now + Expires minutes, the absolute expiry, or the earlier of both.
void Response::AppendExpiry(std::string& headers, std::time_t now) const {
  std::optional<std::time_t> moment;
  if (expires_minutes_ != kNoExpiry) {
    moment = now + static_cast<std::time_t>(int64_t{expires_minutes_} * kSecondsPerMinute);
  }
  if (expires_absolute_ != 0.0) {
    if (std::optional<std::time_t> absolute = MomentOfLocalDate(expires_absolute_)) {
      moment = moment ? std::min(*moment, *absolute) : *absolute;
    }
  }
  if (moment) AppendHttpDateLine(headers, "Expires:", *moment);
}

// Entries of the cookie collection are made by CHTTPCookie::Make only, so each is a cookie.
void Response::AppendCookieLines(std::string& headers) {
  headers += session_cookie_line_;
  if (!cookies_) return;
  size_t count = cookies_->EntryCount();
  for (size_t position = 1; position <= count; ++position) {
    const VARIANT index = Variant::FromI4(static_cast<int32_t>(position));
    Result<Variant> entry = CallMember(cookies_.get(), u"Item", std::span(&index, 1));
    if (!entry.ok() || entry.value().vt != VT_DISPATCH || entry.value().pdispVal == nullptr) {
      continue;
    }
    auto* cookie = static_cast<CHTTPCookie*>(entry.value().pdispVal);
    headers += HeaderSafeText(cookie->SetCookieLine());
    headers += "\r\n";
  }
}

// gzip only for a 200 text answer above 64 bytes to a client that accepts it.
bool Response::CompressionAccepted() const {
  if (!gzip_allowed_ || request_ == nullptr || code_ != kCompressedCode) return false;
  if (body_.size() <= kMaxUncompressedBodyBytes) return false;
  if (FindBytes(request_->AcceptEncodingHeader(), "gzip", 0, CaseSensitivity::Insensitive) ==
      ByteString::npos) {
    return false;
  }
  for (std::string_view type : kCompressibleTypes) {
    if (BytesEqualIgnoringCase(content_type_, type)) return true;
  }
  return false;
}

// Replaces the body by its gzip form and says so; a failed deflate sends it as it is.
void Response::CompressBody(std::string& headers) {
  std::optional<std::string> compressed = GzipBody(body_.view());
  if (!compressed) return;
  if (!body_.Assign(*compressed).ok()) return;
  headers += "Content-Encoding: gzip\r\n";
}

bool Response::HasAddedHeader(std::string_view name) const {
  for (const auto& [added_name, value] : added_headers_) {
    if (BytesEqualIgnoringCase(added_name, name)) return true;
  }
  return false;
}

std::string Response::ComposeHeaders(Compression compression, int64_t following_bytes) {
  const std::time_t now = std::time(nullptr);
  std::string headers;
  headers.reserve(kTypicalHeaderBytes);
  headers += StatusLine();
  if (code_ == kUnauthorizedCode) ApplyUnauthorized(headers);
  headers += kServerLine;
  if (!content_type_.empty()) AppendHeaderLine(headers, "Content-Type", content_type_);
  AppendHttpDateLine(headers, "Date:", now);
  const bool has_content = !body_.empty() || following_bytes > 0;
  if (last_modified_ != 0 && has_content) AppendLastModified(headers);
  if (!location_.empty()) AppendHeaderLine(headers, "Location", location_);
  AppendExpiry(headers, now);
  headers += keep_connection_ ? "Connection: Keep-Alive\r\n" : "Connection: Close\r\n";
  AppendCookieLines(headers);
  if (compression == Compression::Allowed && CompressionAccepted()) CompressBody(headers);
  announced_length_ = static_cast<int64_t>(body_.size()) + following_bytes;
  headers += "Content-Length: ";
  headers += std::to_string(announced_length_);
  headers += "\r\n";
  for (const auto& [name, value] : added_headers_) {
    if (!name.empty()) AppendHeaderLine(headers, name, value);
  }
  if (code_ == kUnauthorizedCode && request_ != nullptr && !request_->IfNoneMatch().empty()) {
    AppendHeaderLine(headers, "ETag", request_->IfNoneMatch());
  }
  if (has_content && !cache_control_.empty()) {
    headers += "Cache-Control: ";
    AppendHeaderSafeText(headers, cache_control_);
    headers += "\r\n\r\n";
  } else {
    headers += "\r\n";
  }
  return headers;
}
