#include "wendrel/asp/script_line_map.h"

#include <charconv>

bool SourceLineCounter::EndsLine(size_t index) const {
  char c = text_[index];
  if (c == '\n') return true;
  return c == '\r' && (index + 1 == text_.size() || text_[index + 1] != '\n');
}

uint32_t SourceLineCounter::LineAt(size_t offset) {
  if (offset > text_.size()) offset = text_.size();
  for (; offset_ < offset; ++offset_) {
    if (EndsLine(offset_)) ++line_;
  }
  for (; offset_ > offset; --offset_) {
    if (EndsLine(offset_ - 1)) --line_;
  }
  return line_;
}

void ScriptBuilder::TakeScriptByte(char c) {
  bool joins_line_end = c == '\n' && after_cr_;
  if (at_line_start_ && !joins_line_end) line_map_.push_back(origin_);
  at_line_start_ = c == '\r' || c == '\n';
  after_cr_ = c == '\r';
}

void ScriptBuilder::AppendGenerated(std::string_view text) {
  script_ += text;
  for (char c : text) TakeScriptByte(c);
}

void ScriptBuilder::AppendNumber(size_t value) {
  char digits[24];
  auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  AppendGenerated(std::string_view(digits, static_cast<size_t>(end - digits)));
}

void ScriptBuilder::AppendSource(std::string_view text) {
  script_ += text;
  bool source_after_cr = false;
  for (char c : text) {
    TakeScriptByte(c);
    // The source counts its own line ends: an LF that joined a generated CR in the script
    // still ends a line of the file.
    if (c == '\r' || (c == '\n' && !source_after_cr)) ++origin_.line;
    source_after_cr = c == '\r';
  }
}

ScriptPart ScriptBuilder::Finish(std::string language) && {
  if (at_line_start_) line_map_.push_back(origin_);
  return ScriptPart{std::move(language), std::move(script_), std::move(line_map_)};
}
