#include "wendrel/http/request_parser.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "wendrel/common/byte_string.h"

namespace {

constexpr int kBadRequest = 400;
constexpr int kHeaderTooLarge = 431;
constexpr int kNotImplemented = 501;
constexpr int kVersionNotSupported = 505;

// Byte classes of the request grammar, one table.
enum ByteClass : uint8_t {
  kToken = 1,        // tchar: a method or field-name byte
  kTargetByte = 2,   // a request-target byte: visible ASCII or above 0x7F
  kValueByte = 4,    // a field-value byte: visible ASCII, SP, HTAB or above 0x7F
};

constexpr std::array<uint8_t, 256> MakeByteClasses() {
  std::array<uint8_t, 256> classes{};
  for (int c = 0x21; c <= 0x7E; ++c) classes[c] |= kTargetByte | kValueByte;
  for (int c = 0x80; c <= 0xFF; ++c) classes[c] |= kTargetByte | kValueByte;
  classes[' '] |= kValueByte;
  classes['\t'] |= kValueByte;
  for (int c = '0'; c <= '9'; ++c) classes[c] |= kToken;
  for (int c = 'a'; c <= 'z'; ++c) classes[c] |= kToken;
  for (int c = 'A'; c <= 'Z'; ++c) classes[c] |= kToken;
  for (char c : std::string_view("!#$%&'*+-.^_`|~")) classes[static_cast<uint8_t>(c)] |= kToken;
  return classes;
}
constexpr std::array<uint8_t, 256> kByteClasses = MakeByteClasses();

bool Is(char c, ByteClass byte_class) {
  return (kByteClasses[static_cast<uint8_t>(c)] & byte_class) != 0;
}

// Every byte of `text` is of the class.
bool AllAre(std::string_view text, ByteClass byte_class) {
  for (char c : text) {
    if (!Is(c, byte_class)) return false;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A Content-Length value: decimal digits only; huge values saturate (the body limit applies
// later). Nothing for anything else.
std::optional<int64_t> ContentLengthValue(std::string_view value) {
  if (value.empty() || value.size() > 64) return std::nullopt;
  int64_t length = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
    if (length > (INT64_MAX - 9) / 10) return INT64_MAX;
    length = length * 10 + (c - '0');
  }
  return length;
}

}  // namespace

std::string_view RequestHead::Value(KnownHeader header) const {
  for (const HeaderField& field : fields) {
    if (field.known == header) return field.value;
  }
  return {};
}

void HttpRequestParser::Reset() {
  size_t limit = max_head_bytes_;
  std::vector<FieldOffsets> kept = std::move(fields_);
  RequestHead head = std::move(head_);
  *this = HttpRequestParser(limit);
  // The lists keep their storage from request to request.
  fields_ = std::move(kept);
  fields_.clear();
  head_.fields = std::move(head.fields);
  head_.fields.clear();
}

ParseStatus HttpRequestParser::Fail(int status) {
  state_ = State::Failed;
  failure_status_ = status;
  return ParseStatus::Fail;
}

ParseStatus HttpRequestParser::Feed(std::string_view buffer) {
  if (state_ == State::Done) return ParseStatus::Done;
  if (state_ == State::Failed) return ParseStatus::Fail;
  // Blank lines before the request line count against the limit too: a client cannot keep
  // the server reading by sending nothing but line ends.
  if (state_ == State::Blank) {
    ParseStatus skipped = SkipBlankLines(buffer);
    if (skipped == ParseStatus::NeedMore && buffer.size() > max_head_bytes_ + 2) {
      return Fail(kHeaderTooLarge);
    }
    if (skipped != ParseStatus::Done) return skipped;
  }
  while (true) {
    size_t start = 0, end = 0;
    if (!NextLine(buffer, start, end)) {
      if (state_ == State::Failed) return ParseStatus::Fail;
      // The head so far (without the line end still to come) is already past the limit.
      if (buffer.size() > max_head_bytes_ + 2) return Fail(kHeaderTooLarge);
      return ParseStatus::NeedMore;
    }
    if (end > max_head_bytes_) return Fail(kHeaderTooLarge);
    ParseStatus status = state_ == State::RequestLine ? ParseRequestLine(buffer, start, end)
                         : start == end               ? Finish(buffer, end + 2)
                                                      : ParseFieldLine(buffer, start, end);
    if (status != ParseStatus::NeedMore) return status;
  }
}

// CR and LF before the request line are skipped: a client may end its previous body with an
// extra line end. Any other byte starts the request line.
ParseStatus HttpRequestParser::SkipBlankLines(std::string_view buffer) {
  while (position_ < buffer.size() && (buffer[position_] == '\r' || buffer[position_] == '\n')) {
    ++position_;
  }
  if (position_ == buffer.size()) return ParseStatus::NeedMore;
  head_start_ = position_;
  scanned_to_ = position_;
  state_ = State::RequestLine;
  return ParseStatus::Done;
}

// line = *( byte except CR and LF ) CR LF
bool HttpRequestParser::NextLine(std::string_view buffer, size_t& line_start, size_t& line_end) {
  const char* data = buffer.data();
  size_t from = std::max(scanned_to_, position_);
  const void* found = from < buffer.size() ? std::memchr(data + from, '\n', buffer.size() - from)
                                           : nullptr;
  if (found == nullptr) {
    scanned_to_ = buffer.size();
    return false;
  }
  size_t newline = static_cast<size_t>(static_cast<const char*>(found) - data);
  if (newline == position_ || data[newline - 1] != '\r') {
    Fail(kBadRequest);  // a bare LF
    return false;
  }
  line_start = position_;
  line_end = newline - 1;
  if (std::memchr(data + line_start, '\r', line_end - line_start) != nullptr) {
    Fail(kBadRequest);  // a CR inside the line
    return false;
  }
  position_ = newline + 1;
  scanned_to_ = position_;
  return true;
}

// request-line = method SP request-target SP HTTP-version
// HTTP-version = "HTTP/" DIGIT "." DIGIT
ParseStatus HttpRequestParser::ParseRequestLine(std::string_view buffer, size_t start, size_t end) {
  std::string_view line = buffer.substr(start, end - start);
  size_t first_space = line.find(' ');
  if (first_space == 0 || first_space == std::string_view::npos) return Fail(kBadRequest);
  size_t second_space = line.find(' ', first_space + 1);
  if (second_space == std::string_view::npos || second_space == first_space + 1) {
    return Fail(kBadRequest);
  }
  std::string_view method = line.substr(0, first_space);
  std::string_view target = line.substr(first_space + 1, second_space - first_space - 1);
  std::string_view version = line.substr(second_space + 1);
  if (!AllAre(method, kToken) || !AllAre(target, kTargetByte)) return Fail(kBadRequest);
  if (version.size() != 8 || !version.starts_with("HTTP/") || version[6] != '.' ||
      version[5] < '0' || version[5] > '9' || version[7] < '0' || version[7] > '9') {
    return Fail(kBadRequest);
  }
  if (version[5] != '1') return Fail(kVersionNotSupported);
  answered_as_http11_ = version[7] != '0';
  method_end_ = start + first_space;
  target_start_ = start + first_space + 1;
  target_end_ = start + second_space;
  fields_start_ = position_;
  state_ = State::Fields;
  return ParseStatus::NeedMore;
}

// field-line = field-name ":" OWS field-value OWS
ParseStatus HttpRequestParser::ParseFieldLine(std::string_view buffer, size_t start, size_t end) {
  std::string_view line = buffer.substr(start, end - start);
  if (IsBlank(line.front())) return Fail(kBadRequest);  // obsolete line folding
  size_t colon = line.find(':');
  if (colon == 0 || colon == std::string_view::npos) return Fail(kBadRequest);
  if (!AllAre(line.substr(0, colon), kToken)) return Fail(kBadRequest);
  if (fields_.size() >= kMaxFields) return Fail(kHeaderTooLarge);
  size_t value_start = colon + 1;
  size_t value_end = line.size();
  while (value_start < value_end && IsBlank(line[value_start])) ++value_start;
  while (value_end > value_start && IsBlank(line[value_end - 1])) --value_end;
  if (!AllAre(line.substr(value_start, value_end - value_start), kValueByte)) {
    return Fail(kBadRequest);
  }
  fields_.push_back({start, start + colon, start + value_start, start + value_end, end});
  return ParseStatus::NeedMore;
}

// The blank line arrived: the head becomes views into this buffer, then the framing rules.
ParseStatus HttpRequestParser::Finish(std::string_view buffer, size_t end_of_head) {
  head_.method = buffer.substr(head_start_, method_end_ - head_start_);
  head_.target = buffer.substr(target_start_, target_end_ - target_start_);
  head_.protocol = answered_as_http11_ ? "HTTP/1.1" : "HTTP/1.0";
  size_t block_end = end_of_head - 2;  // the blank line's CR LF
  head_.header_block = fields_.empty() ? std::string_view()
                                       : buffer.substr(fields_start_, block_end - 2 - fields_start_);
  head_.fields.clear();
  for (const FieldOffsets& offsets : fields_) {
    HeaderField field;
    field.name = buffer.substr(offsets.line_start, offsets.name_end - offsets.line_start);
    field.value = buffer.substr(offsets.value_start, offsets.value_end - offsets.value_start);
    field.line = buffer.substr(offsets.line_start, offsets.line_end - offsets.line_start);
    field.known = KnownHeaderOf(field.name);
    head_.fields.push_back(field);
  }
  head_.length = end_of_head;
  if (int refusal = FramingRefusal()) return Fail(refusal);
  state_ = State::Done;
  return ParseStatus::Done;
}

int HttpRequestParser::FramingRefusal() {
  int content_lengths = 0, transfer_encodings = 0, hosts = 0;
  std::string_view first_length, transfer_encoding;
  for (const HeaderField& field : head_.fields) {
    switch (field.known) {
      case KnownHeader::ContentLength:
        if (!ContentLengthValue(field.value)) return kBadRequest;
        if (content_lengths++ > 0 && field.value != first_length) return kBadRequest;
        first_length = field.value;
        break;
      case KnownHeader::TransferEncoding:
        ++transfer_encodings;
        transfer_encoding = field.value;
        break;
      case KnownHeader::Host:
        if (hosts++ > 0) return kBadRequest;
        break;
      default:
        break;
    }
  }
  if (transfer_encodings > 0) {
    // Bodies are framed by Content-Length only: a chunked body is refused, not decoded.
    if (content_lengths > 0 || transfer_encodings > 1) return kBadRequest;
    return BytesEqualIgnoringCase(transfer_encoding, "chunked") ? kBadRequest : kNotImplemented;
  }
  head_.content_length = content_lengths > 0 ? *ContentLengthValue(first_length) : 0;
  return 0;
}
