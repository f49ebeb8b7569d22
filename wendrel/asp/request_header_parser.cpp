// The Request filled from a parsed request head: the request line, the headers known by name,
// Basic authorization, If-Modified-Since, Host, and the stored server variables.
#include <algorithm>
#include <charconv>

#include "wendrel/asp/header_text.h"
#include "wendrel/asp/request.h"
#include "wendrel/asp/server_variables.h"
#include "wendrel/common/base64.h"
#include "wendrel/common/byte_string.h"
#include "wendrel/common/http_date.h"
#include "wendrel/common/narrow_text.h"
#include "wendrel/http/request_parser.h"

namespace {

// Extensions of files that need no server variables or collections (compared on the first
// '.' of the path, four bytes of it when there is no query).
constexpr std::string_view kStaticExtensions[] = {".HTM", ".HTML", ".CSS", ".GIF",   ".JPG", ".PNG",
                                                  ".BMP", ".JS",   ".JAR", ".CLASS", ".TXT"};

bool NeedsFullParse(std::string_view path) {
  size_t dot = path.find('.');
  if (dot == std::string_view::npos) return true;
  size_t query = path.find('?', dot);
  std::string_view extension = query == std::string_view::npos
                                   ? path.substr(dot, 4)
                                   : path.substr(dot, query - dot);
  if (BytesEqualIgnoringCase(extension, ".ASP")) return true;
  for (std::string_view known : kStaticExtensions) {
    if (BytesEqualIgnoringCase(extension, known)) return false;
  }
  return true;
}

// "HTTP_" and the line with its name upper-cased and '-' and ' ' made '_', as ALL_HTTP lists it.
void AppendAllHttpLine(std::string& all_http, std::string_view line) {
  size_t colon = line.find(':');
  size_t name_end = colon == std::string_view::npos ? line.size() : colon;
  all_http += "HTTP_";
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (i < name_end) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (c == '-' || c == ' ') c = '_';
    }
    all_http.push_back(c);
  }
  all_http += "\r\n";
}

// A decimal number at a fixed position of a line; nothing when no digit is there.
std::optional<int> NumberAt(std::string_view line, size_t position, size_t max_digits) {
  if (position >= line.size()) return std::nullopt;
  std::string_view digits = line.substr(position, max_digits);
  int value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end == digits.data()) return std::nullopt;
  return value;
}

// The index of a three-letter name at a fixed position (ignoring case), or nothing.
template <size_t N>
std::optional<int> NameAt(std::string_view line, size_t position,
                          std::string_view (*name_of)(int)) {
  if (position + 3 > line.size()) return std::nullopt;
  std::string_view text = line.substr(position, 3);
  for (int i = 0; i < static_cast<int>(N); ++i) {
    if (BytesEqualIgnoringCase(text, name_of(i))) return i;
  }
  return std::nullopt;
}

// "If-Modified-Since: Sun, 06 Nov 1994 08:49:37 GMT" read at the fixed positions of its
// fields; 0 when a field is missing or out of range.
int64_t IfModifiedSinceTime(std::string_view line) {
  std::optional<int> day_name = NameAt<7>(line, 19, &DayAbbreviation);
  std::optional<int> day = NumberAt(line, 24, 2);
  std::optional<int> month = NameAt<12>(line, 27, &MonthAbbreviation);
  std::optional<int> year = NumberAt(line, 31, 4);
  std::optional<int> hour = NumberAt(line, 36, 2);
  std::optional<int> minute = NumberAt(line, 39, 2);
  std::optional<int> second = NumberAt(line, 42, 2);
  if (!day_name || !day || !month || !year || !hour || !minute || !second) return 0;
  return FileTimeFromUtc(*year, *month + 1, *day, *hour, *minute, *second).value_or(0);
}

// Server name and port of a Host value; "80" without a port. A bracketed IPv6 address keeps
// its colons.
std::pair<std::string, std::string> SplitHost(std::string_view host) {
  if (host.starts_with('[')) {
    size_t close = host.find(']');
    if (close != std::string_view::npos) {
      std::string_view after = host.substr(close + 1);
      std::string port = after.starts_with(':') ? std::string(after.substr(1)) : "80";
      return {std::string(host.substr(0, close + 1)), port};
    }
  }
  size_t colon = host.find(':');
  if (colon == std::string_view::npos || colon == 0) return {std::string(host), "80"};
  return {std::string(host.substr(0, colon)), std::string(host.substr(colon + 1))};
}

}  // namespace

// Fills one Request's fields from a parsed head; a friend of Request.
class RequestHeaderParser {
 public:
  explicit RequestHeaderParser(Request& request) : request_(request) {}

  int32_t Load(const RequestHead& head, bool decide_by_extension) {
    request_.Reset();
    LoadRequestLine(head);
    request_.full_parse_ = decide_by_extension ? NeedsFullParse(request_.raw_path_) : true;
    if (request_.full_parse_) Store("ALL_RAW", head.header_block);
    for (const HeaderField& field : head.fields) LoadField(field);
    if (request_.full_parse_) Store("ALL_HTTP", all_http_);
    int64_t limit = INT32_MAX;
    if (request_.server_ != nullptr) limit = std::max(0, request_.server_->MaxUploadSize());
    request_.request_length_ = static_cast<int32_t>(std::min(head.content_length, limit));
    return request_.request_length_;
  }

 private:
  void Store(std::string_view name, std::string_view value) {
    request_.ServerVariablesCollection().AddEntry(name, value);
  }

  void LoadRequestLine(const RequestHead& head) {
    request_.method_ = head.method;
    request_.raw_path_ = head.target;
    request_.protocol_ = head.protocol;
    std::string_view path = request_.raw_path_;
    size_t question = path.find('?');
    request_.url_path_ = std::string(path.substr(0, question));
    request_.request_page_ = request_.url_path_;
    request_.query_text_ =
        question == std::string_view::npos ? std::string() : std::string(path.substr(question + 1));
  }

  void LoadField(const HeaderField& field) {
    if (request_.full_parse_) AppendAllHttpLine(all_http_, field.line);
    if (LoadKnownField(field)) return;
    if (request_.full_parse_) Store("HTTP_" + std::string(field.name), NormalisedHeaderValue(field.value));
  }

  // The headers kept in fields of their own.
  bool LoadKnownField(const HeaderField& field) {
    switch (field.known) {
      case KnownHeader::Accept: return Keep(request_.accept_, field);
      case KnownHeader::Referer: return Keep(request_.referer_, field);
      case KnownHeader::AcceptLanguage: return Keep(request_.language_, field);
      case KnownHeader::ContentType: return Keep(request_.content_type_, field);
      case KnownHeader::AcceptEncoding: return Keep(request_.accept_encoding_, field);
      case KnownHeader::UserAgent: return Keep(request_.user_agent_, field);
      case KnownHeader::Connection: return Keep(request_.connection_, field);
      case KnownHeader::IfNoneMatch: return Keep(request_.if_none_match_, field);
      case KnownHeader::Host: return LoadHost(field.value);
      case KnownHeader::ContentLength: return true;  // the parser framed the body
      case KnownHeader::Cookie:
        if (!request_.cookie_text_.empty()) request_.cookie_text_ += ';';
        request_.cookie_text_ += field.value;
        return true;
      case KnownHeader::Authorization:
        // Only the Basic scheme is read; any other stays a plain header.
        if (!StartsWithIgnoringCase(field.line, "AUTHORIZATION: BASIC")) return false;
        return LoadBasicAuthorization(field.line);
      case KnownHeader::IfModifiedSince:
        request_.if_modified_since_ = IfModifiedSinceTime(field.line);
        if (request_.full_parse_) {
          Store("HTTP_IF_MODIFIED_SINCE", field.line.size() > 19 ? field.line.substr(19) : std::string_view());
        }
        return true;
      default:
        return false;
    }
  }

  static bool Keep(std::string& kept, const HeaderField& field) {
    kept = NormalisedHeaderValue(field.value);
    return true;
  }

  bool LoadHost(std::string_view value) {
    request_.host_ = NormalisedHeaderValue(value);
    auto [server_name, port] = SplitHost(request_.host_);
    request_.server_name_ = server_name;
    if (request_.full_parse_) {
      Store("SERVER_NAME", server_name);
      Store("SERVER_PORT", port);
    }
    return true;
  }

  // "Authorization: Basic <base64 of user:password>"; the credentials start at byte 22.
  bool LoadBasicAuthorization(std::string_view line) {
    constexpr size_t kCredentialsStart = 21;
    std::string decoded =
        Base64Decoded(line.size() > kCredentialsStart ? line.substr(kCredentialsStart) : "");
    size_t colon = decoded.find(':');
    if (colon == std::string::npos || colon == 0) return true;
    request_.auth_username_ = decoded.substr(0, colon);
    request_.auth_password_ = decoded.substr(colon + 1);
    return true;
  }

  Request& request_;
  std::string all_http_;
};

int32_t Request::LoadHead(const RequestHead& head, bool decide_by_extension) {
  return RequestHeaderParser(*this).Load(head, decide_by_extension);
}

int32_t Request::ParseHeader(std::string_view header_block, bool decide_by_extension) {
  std::string request(header_block);
  request += "\r\n\r\n";
  HttpRequestParser parser(request.size());
  if (parser.Feed(request) != ParseStatus::Done) {
    Reset();
    method_.clear();
    raw_path_.clear();
    url_path_.clear();
    query_text_.clear();
    request_page_.clear();
    protocol_.clear();
    return 0;
  }
  return LoadHead(parser.Head(), decide_by_extension);
}
