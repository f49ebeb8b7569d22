#include "wendrel/asp/html_encode.h"

#include <array>

namespace {

// What Windows-1252 puts at 0x80 to 0x9F, as numeric entities; 0 where the byte has no
// character (it is then written as "&#n;" with its own value).
constexpr std::array<int, 32> kWindows1252High = {
    8364, 0,    8218, 402,  8222, 8230, 8224, 8225, 710,  8240, 352,  8249, 338,  0,    381,  0,
    0,    8216, 8217, 8220, 8221, 8226, 8211, 8212, 732,  8482, 353,  8250, 339,  0,    382,  376};

void AppendEntity(std::string& out, int value) {
  out += "&#";
  out += std::to_string(value);
  out += ';';
}

// One character below 0x80: the four specials as named entities, the rest as they are.
void AppendAscii(std::string& out, char c) {
  switch (c) {
    case '&': out += "&amp;"; return;
    case '>': out += "&gt;"; return;
    case '<': out += "&lt;"; return;
    case '"': out += "&quot;"; return;
    default: out += c;
  }
}

}  // namespace

std::string HtmlEncodedBytes(std::string_view bytes) {
  std::string encoded;
  encoded.reserve(bytes.size());
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      AppendAscii(encoded, c);
    } else if (byte <= 0x9F && kWindows1252High[byte - 0x80] != 0) {
      AppendEntity(encoded, kWindows1252High[byte - 0x80]);
    } else {
      AppendEntity(encoded, byte);
    }
  }
  return encoded;
}

// Every character of Windows-1252 becomes the entity of its own code point (the table above
// maps its bytes 0x80 to 0x9F to theirs), so working on code points gives the same text for
// every character the ANSI code page has, and an exact entity, not a '?', for the others.
std::u16string HtmlEncoded(std::u16string_view text) {
  std::string encoded;
  encoded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                text[i + 1] <= 0xDFFF;
    if (pair) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (c < 0x80) {
      AppendAscii(encoded, static_cast<char>(c));
    } else {
      AppendEntity(encoded, static_cast<int>(c));
    }
  }
  return std::u16string(encoded.begin(), encoded.end());
}
