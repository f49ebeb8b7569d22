#include "wendrel/asp/header_text.h"

namespace {

bool IsBlankByte(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::string NormalisedHeaderValue(std::string_view value) {
  std::string normal;
  normal.reserve(value.size());
  for (char c : value) {
    if (static_cast<unsigned char>(c) < ' ') c = ' ';
    if (c == ' ' && !normal.empty() && normal.back() == ' ') continue;
    normal.push_back(c);
  }
  size_t first = 0;
  while (first < normal.size() && IsBlankByte(normal[first])) ++first;
  size_t last = normal.size();
  while (last > first && IsBlankByte(normal[last - 1])) --last;
  return normal.substr(first, last - first);
}

std::string_view WithoutLeadingBlanks(std::string_view text) {
  size_t first = 0;
  while (first < text.size() && IsBlankByte(text[first])) ++first;
  return text.substr(first);
}

std::string_view WithoutLeadingSpaces(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}
