#include "platform/jscript/compiled_text.h"

#include <algorithm>
#include <charconv>

namespace jscript {
namespace {

constexpr std::string_view kFileNamePrefix = "jscript:";

bool IsLineTerminator(char16_t c) { return c == u'\r' || c == u'\n' || c == 0x2028 || c == 0x2029; }

// The offset just past the line terminator at `at` (CR LF counts as one).
size_t SkipTerminator(std::u16string_view text, size_t at) {
  if (text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n') return at + 2;
  return at + 1;
}

}  // namespace

std::u16string CompiledText::LineText(uint32_t line) const { return LineOfText(source, line); }

std::u16string LineOfText(std::u16string_view text, uint32_t line) {
  if (line == 0) return {};
  size_t start = 0;
  for (uint32_t current = 1; current < line; ++current) {
    size_t end = start;
    while (end < text.size() && !IsLineTerminator(text[end])) ++end;
    if (end >= text.size()) return {};
    start = SkipTerminator(text, end);
  }
  size_t end = start;
  while (end < text.size() && !IsLineTerminator(text[end])) ++end;
  return std::u16string(text.substr(start, end - start));
}

void PositionInText(std::u16string_view text, long offset, uint32_t* line, int32_t* column) {
  uint32_t current_line = 1;
  size_t line_start = 0;
  size_t limit = offset < 0 ? 0 : std::min(static_cast<size_t>(offset), text.size());
  for (size_t i = 0; i < limit;) {
    if (!IsLineTerminator(text[i])) {
      ++i;
      continue;
    }
    i = SkipTerminator(text, i);
    if (i > limit) break;
    ++current_line;
    line_start = i;
  }
  *line = current_line;
  *column = static_cast<int32_t>(limit - line_start);
}

std::string TextFileName(uint64_t id) { return std::string(kFileNamePrefix) + std::to_string(id); }

uint64_t TextIdOfFileName(std::string_view name) {
  if (!name.starts_with(kFileNamePrefix)) return 0;
  name.remove_prefix(kFileNamePrefix.size());
  uint64_t id = 0;
  auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), id);
  if (error != std::errc() || end != name.data() + name.size()) return 0;
  return id;
}

}  // namespace jscript
