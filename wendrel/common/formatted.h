#pragma once
// printf-style formatting of the system's fixed texts (trace lines, error pages) into a string
// of any length. Only for the texts of the tables, never for a format that came from outside.

#include <cstdio>
#include <string>

template <class... Values>
std::string Formatted(const char* format, Values... values) {
  int length = std::snprintf(nullptr, 0, format, values...);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, values...);
  text.pop_back();
  return text;
}
