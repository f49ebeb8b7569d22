#include "wendrel/common/url_decoding.h"

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string PercentDecoded(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '+') {
      decoded.push_back(' ');
      ++i;
      continue;
    }
    int high = (c == '%' && i + 1 < text.size()) ? HexDigitValue(text[i + 1]) : -1;
    if (high < 0) {
      decoded.push_back(c);
      ++i;
      continue;
    }
    int value = high;
    if (i + 2 < text.size()) {
      int low = HexDigitValue(text[i + 2]);
      if (low >= 0) value = high * 16 + low;
    }
    decoded.push_back(static_cast<char>(value));
    i += (i + 2 < text.size()) ? 3 : 2;
  }
  return decoded;
}
