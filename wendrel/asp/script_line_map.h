#pragma once
// Lines of the original files and of the generated scripts. Both count a line break as the
// script engines do: CR LF, a lone CR or a lone LF ends a line.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "wendrel/asp/preprocessor.h"

/// The 1-based line of an offset in one file's text.
class SourceLineCounter {
 public:
  explicit SourceLineCounter(std::string_view text) : text_(text) {}
  /// The line holding the byte at `offset` (an offset at or past the end is on the last line).
  /// Costs the distance from the offset asked before, so a scan that asks in order counts each
  /// byte once.
  uint32_t LineAt(size_t offset);

 private:
  // Whether the byte at `index` ends a line (a CR right before an LF leaves it to the LF, so
  // both bytes of a CR LF stand on the line they end).
  bool EndsLine(size_t index) const;

  std::string_view text_;
  size_t offset_ = 0;
  uint32_t line_ = 1;
};

/// Builds one script and, beside it, the origin of each of its lines.
class ScriptBuilder {
 public:
  /// Lines that start from now on come from `origin`, until copied source text moves on.
  void SetOrigin(SourceLine origin) { origin_ = origin; }
  /// Text the preprocessor writes (a template or a line end): lines starting in it come from
  /// the origin.
  void AppendGenerated(std::string_view text);
  void AppendNumber(size_t value);
  /// Text copied from a file where the origin stands: each line starting in it comes from its
  /// own line there, and the origin moves to the line the text ends on. The byte before the
  /// text in its file must not be a CR (it is always the end of a construct's opener).
  void AppendSource(std::string_view text);
  /// The script with its line map; an empty line after a final line break (or an empty
  /// script) comes from the origin.
  ScriptPart Finish(std::string language) &&;

 private:
  // Records the origin of a line when `c` starts one, then notes whether `c` ends it.
  void TakeScriptByte(char c);

  std::string script_;
  std::vector<SourceLine> line_map_;
  SourceLine origin_;
  bool at_line_start_ = true;
  bool after_cr_ = false;  // the last script byte was a CR: an LF now belongs to its line end
};
