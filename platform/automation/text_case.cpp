#include "platform/automation/text_case.h"

namespace {

// Latin Extended-A pairs upper/lower as even/odd code points in these ranges, odd/even in
// 0x0139-0x0148 and 0x0179-0x017E.
bool IsEvenOddPair(char16_t c) {
  return (c >= 0x0100 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177);
}
bool IsOddEvenPair(char16_t c) {
  return (c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E);
}

}  // namespace

char16_t ToUpperChar(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  if ((c >= 0x00E0 && c <= 0x00FE && c != 0x00F7)) return static_cast<char16_t>(c - 32);
  if (c == 0x00FF) return 0x0178;
  if (IsEvenOddPair(c)) return static_cast<char16_t>(c & ~1u);
  if (IsOddEvenPair(c)) return (c % 2 == 0) ? static_cast<char16_t>(c - 1) : c;
  if (c >= 0x03B1 && c <= 0x03C9 && c != 0x03C2) return static_cast<char16_t>(c - 32);  // Greek
  if (c >= 0x0430 && c <= 0x044F) return static_cast<char16_t>(c - 32);  // Cyrillic
  if (c >= 0x0450 && c <= 0x045F) return static_cast<char16_t>(c - 80);
  return c;
}

char16_t ToLowerChar(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
  if ((c >= 0x00C0 && c <= 0x00DE && c != 0x00D7)) return static_cast<char16_t>(c + 32);
  if (c == 0x0178) return 0x00FF;
  if (IsEvenOddPair(c)) return static_cast<char16_t>(c | 1u);
  if (IsOddEvenPair(c)) return (c % 2 == 1) ? static_cast<char16_t>(c + 1) : c;
  if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return static_cast<char16_t>(c + 32);
  if (c >= 0x0410 && c <= 0x042F) return static_cast<char16_t>(c + 32);
  if (c >= 0x0400 && c <= 0x040F) return static_cast<char16_t>(c + 80);
  return c;
}

std::u16string ToUpper(std::u16string_view text) {
  std::u16string result(text);
  for (char16_t& c : result) c = ToUpperChar(c);
  return result;
}

std::u16string ToLower(std::u16string_view text) {
  std::u16string result(text);
  for (char16_t& c : result) c = ToLowerChar(c);
  return result;
}

int CompareIgnoringCase(std::u16string_view a, std::u16string_view b) {
  size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    char16_t x = ToUpperChar(a[i]);
    char16_t y = ToUpperChar(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && CompareIgnoringCase(a, b) == 0;
}
