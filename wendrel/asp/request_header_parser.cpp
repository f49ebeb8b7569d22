// Header parsing of the Request: the request line, the headers known by name, Basic
// authorization, If-Modified-Since, Host, and the stored server variables.
#include <algorithm>
#include <charconv>

#include "wendrel/asp/header_text.h"
#include "wendrel/asp/request.h"
#include "wendrel/asp/server_variables.h"
#include "wendrel/common/base64.h"
#include "wendrel/common/byte_string.h"
#include "wendrel/common/http_date.h"
#include "wendrel/common/narrow_text.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";

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

// The header lines of a block, CR LF between them, empty lines skipped.
class LineReader {
 public:
  explicit LineReader(std::string_view block) : rest_(block) {}
  bool Next(std::string_view& line) {
    while (!rest_.empty()) {
      size_t end = rest_.find(kLineEnd);
      line = rest_.substr(0, end);
      rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 2);
      if (!line.empty()) return true;
    }
    return false;
  }
  std::string_view Rest() const { return rest_; }

 private:
  std::string_view rest_;
};

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
  all_http += kLineEnd;
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

// Content-Length: a decimal number without sign; nothing otherwise. Huge values saturate.
std::optional<int64_t> ContentLengthOf(std::string_view value) {
  if (value.empty() || value.size() > 18) {
    if (!value.empty() && value.find_first_not_of("0123456789") == std::string_view::npos) {
      return INT64_MAX;
    }
    return std::nullopt;
  }
  int64_t length = 0;
  auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
  if (error != std::errc() || end != value.data() + value.size() || value[0] == '-') {
    return std::nullopt;
  }
  return length;
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

// The header parser works on one Request's fields; a friend of Request.
class RequestHeaderParser {
 public:
  explicit RequestHeaderParser(Request& request) : request_(request) {}

  int32_t Parse(std::string_view block, bool decide_by_extension) {
    request_.Reset();
    LineReader lines(block);
    std::string_view request_line;
    if (!lines.Next(request_line)) return 0;
    ParseRequestLine(request_line);
    request_.full_parse_ = decide_by_extension ? NeedsFullParse(request_.raw_path_) : true;
    if (request_.full_parse_) Store("ALL_RAW", WithoutLeadingBlanks(lines.Rest()));
    std::string_view line;
    while (lines.Next(line)) ParseHeaderLine(line);
    if (request_.full_parse_) Store("ALL_HTTP", all_http_);
    return request_.request_length_;
  }

 private:
  void Store(std::string_view name, std::string_view value) {
    request_.ServerVariablesCollection().AddEntry(name, value);
  }

  // "METHOD path protocol": without a second space the rest is the path.
  void ParseRequestLine(std::string_view line) {
    size_t first_space = line.find(' ');
    request_.method_ = NormalisedHeaderValue(line.substr(0, first_space));
    std::string_view rest =
        first_space == std::string_view::npos ? std::string_view() : line.substr(first_space + 1);
    size_t second_space = rest.find(' ');
    request_.raw_path_ = std::string(rest.substr(0, second_space));
    request_.protocol_ = second_space == std::string_view::npos
                             ? std::string()
                             : NormalisedHeaderValue(rest.substr(second_space + 1));
    std::string_view path = request_.raw_path_;
    size_t question = path.find('?');
    request_.url_path_ = std::string(path.substr(0, question));
    request_.request_page_ = request_.url_path_;
    request_.query_text_ =
        question == std::string_view::npos ? std::string() : std::string(path.substr(question + 1));
  }

  void ParseHeaderLine(std::string_view line) {
    size_t colon = line.find(':');
    std::string_view name = line.substr(0, colon);
    std::string_view raw_value =
        colon == std::string_view::npos ? std::string_view() : WithoutLeadingSpaces(line.substr(colon + 1));
    NoteFraming(name, raw_value, colon != std::string_view::npos);
    if (request_.full_parse_) AppendAllHttpLine(all_http_, line);
    if (ParseKnownHeader(line, raw_value)) return;
    if (request_.full_parse_ && colon != std::string_view::npos) {
      Store("HTTP_" + std::string(name), NormalisedHeaderValue(raw_value));
    }
  }

  // The headers stored in fields of their own, matched on the start of the line in this order.
  bool ParseKnownHeader(std::string_view line, std::string_view raw_value) {
    struct Field {
      std::string_view prefix;
      std::string Request::*field;
    };
    static constexpr Field kFields[] = {
        {"ACCEPT:", &Request::accept_},
        {"REFERER:", &Request::referer_},
        {"ACCEPT-LANGUAGE:", &Request::language_},
        {"CONTENT-TYPE:", &Request::content_type_},
        {"ACCEPT-ENCODING:", &Request::accept_encoding_},
        {"USER-AGENT:", &Request::user_agent_},
    };
    for (const Field& field : kFields) {
      if (!StartsWithIgnoringCase(line, field.prefix)) continue;
      request_.*field.field = NormalisedHeaderValue(raw_value);
      return true;
    }
    if (StartsWithIgnoringCase(line, "HOST:")) return ParseHost(raw_value);
    if (StartsWithIgnoringCase(line, "CONTENT-LENGTH:")) return ParseContentLength(raw_value);
    if (StartsWithIgnoringCase(line, "CONNECTION:")) {
      request_.connection_ = NormalisedHeaderValue(raw_value);
      return true;
    }
    if (StartsWithIgnoringCase(line, "COOKIE:")) {
      if (!request_.cookie_text_.empty()) request_.cookie_text_ += ';';
      request_.cookie_text_ += raw_value;
      return true;
    }
    if (StartsWithIgnoringCase(line, "AUTHORIZATION: BASIC")) return ParseBasicAuthorization(line);
    if (StartsWithIgnoringCase(line, "IF-NONE-MATCH:")) {
      request_.if_none_match_ = NormalisedHeaderValue(raw_value);
      return true;
    }
    if (StartsWithIgnoringCase(line, "IF-MODIFIED-SINCE:")) {
      request_.if_modified_since_ = IfModifiedSinceTime(line);
      if (request_.full_parse_) {
        Store("HTTP_IF_MODIFIED_SINCE", line.size() > 19 ? line.substr(19) : std::string_view());
      }
      return true;
    }
    return false;
  }

  bool ParseHost(std::string_view raw_value) {
    request_.host_ = NormalisedHeaderValue(raw_value);
    auto [server_name, port] = SplitHost(request_.host_);
    request_.server_name_ = server_name;
    if (request_.full_parse_) {
      Store("SERVER_NAME", server_name);
      Store("SERVER_PORT", port);
    }
    return true;
  }

  bool ParseContentLength(std::string_view raw_value) {
    std::optional<int64_t> length = ContentLengthOf(NormalisedHeaderValue(raw_value));
    request_.framing_.declared_content_length = length.value_or(0);
    int64_t limit = INT32_MAX;
    if (request_.server_ != nullptr) limit = std::max(0, request_.server_->MaxUploadSize());
    request_.request_length_ = static_cast<int32_t>(std::min(length.value_or(0), limit));
    return true;
  }

  // "Authorization: Basic <base64 of user:password>"; the credentials start at byte 22.
  bool ParseBasicAuthorization(std::string_view line) {
    constexpr size_t kCredentialsStart = 21;
    std::string decoded =
        Base64Decoded(line.size() > kCredentialsStart ? line.substr(kCredentialsStart) : "");
    size_t colon = decoded.find(':');
    if (colon == std::string::npos || colon == 0) return true;
    request_.auth_username_ = decoded.substr(0, colon);
    request_.auth_password_ = decoded.substr(colon + 1);
    return true;
  }

  // What the connection needs to refuse ambiguous framing: every Content-Length and
  // Transfer-Encoding header, and lines whose name no other server would read the same way.
  void NoteFraming(std::string_view name, std::string_view raw_value, bool has_colon) {
    RequestFraming& framing = request_.framing_;
    bool odd_name = name.empty() || std::any_of(name.begin(), name.end(), [](char c) {
      return static_cast<unsigned char>(c) <= ' ' || c == 0x7F;
    });
    if (!has_colon || odd_name) ++framing.malformed_lines;
    if (!has_colon) return;
    if (BytesEqualIgnoringCase(name, "Content-Length")) {
      std::string value = NormalisedHeaderValue(raw_value);
      if (!ContentLengthOf(value)) framing.content_length_invalid = true;
      if (framing.content_length_headers > 0 && value != first_content_length_) {
        framing.content_length_conflict = true;
      }
      if (framing.content_length_headers++ == 0) first_content_length_ = value;
    } else if (BytesEqualIgnoringCase(name, "Transfer-Encoding")) {
      if (framing.transfer_encoding_headers++ > 0) framing.transfer_encoding += ", ";
      framing.transfer_encoding += NormalisedHeaderValue(raw_value);
    }
  }

  Request& request_;
  std::string all_http_;
  std::string first_content_length_;
};

int32_t Request::ParseHeader(std::string_view header_block, bool decide_by_extension) {
  return RequestHeaderParser(*this).Parse(header_block, decide_by_extension);
}
