#include "wendrel/common/base64.h"

namespace {

int SextetOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsSkippedSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string Base64Decoded(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size() / 4 * 3 + 3);
  uint32_t bits = 0;
  int bit_count = 0;
  for (char c : text) {
    if (IsSkippedSpace(c)) continue;
    int sextet = SextetOf(c);
    if (sextet < 0) break;
    bits = (bits << 6) | static_cast<uint32_t>(sextet);
    bit_count += 6;
    if (bit_count >= 8) {
      bit_count -= 8;
      decoded.push_back(static_cast<char>((bits >> bit_count) & 0xFF));
    }
  }
  return decoded;
}
