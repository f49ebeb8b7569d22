#pragma once
// RequestHead: the request line and header fields of one HTTP/1.x request as the parser
// accepted them. Every view points into the bytes the parser was fed last; the head is valid
// until those bytes move or change.

#include <cstdint>
#include <string_view>
#include <vector>

enum class KnownHeader : uint8_t {
#define KNOWN_HEADER(name, spelling) name,
#include "wendrel/http/known_headers.def"
#undef KNOWN_HEADER
  Other,
};

/// The known header a field name stands for (ignoring case); KnownHeader::Other for the rest.
KnownHeader KnownHeaderOf(std::string_view name);
/// The spelling of a known header ("Content-Length"); empty for Other.
std::string_view KnownHeaderName(KnownHeader header);

struct HeaderField {
  std::string_view name;   // as sent: a token, case kept
  std::string_view value;  // blanks around it removed; may be empty
  std::string_view line;   // the whole line as sent, without its CR LF
  KnownHeader known = KnownHeader::Other;
};

struct RequestHead {
  std::string_view method;  // a token, case kept
  std::string_view target;  // the request target as sent (path and query)
  /// "HTTP/1.0" or "HTTP/1.1": a request that named another HTTP/1 minor version is answered
  /// as HTTP/1.1.
  std::string_view protocol;
  /// The header lines as sent, CR LF between them, without the request line and without the
  /// blank line that ends the block.
  std::string_view header_block;
  std::vector<HeaderField> fields;
  /// The body length from Content-Length; 0 without one.
  int64_t content_length = 0;
  /// Bytes from the start of the request (leading blank lines included) to the first byte of
  /// the body.
  size_t length = 0;

  /// The value of the first field of a known header; empty when it is absent.
  std::string_view Value(KnownHeader header) const;
};
