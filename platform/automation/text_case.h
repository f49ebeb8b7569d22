#pragma once
// Letter case of UTF-16 text for case-insensitive comparison and for UCase/LCase: ASCII,
// Latin-1, Latin Extended-A, Greek and Cyrillic letters; other characters are unchanged.

#include <string>
#include <string_view>

char16_t ToUpperChar(char16_t c);
char16_t ToLowerChar(char16_t c);
std::u16string ToUpper(std::u16string_view text);
std::u16string ToLower(std::u16string_view text);

/// -1, 0 or 1 comparing code unit by code unit after upper-casing both sides.
int CompareIgnoringCase(std::u16string_view a, std::u16string_view b);
bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b);
