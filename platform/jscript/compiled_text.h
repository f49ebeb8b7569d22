#pragma once
// One text given to ParseScriptText, compiled: the Duktape bytecode (shared read-only by every
// clone of the engine and loaded into the heap of each run), the source as given (for the
// line text of error reports) and where it sits in the host's document.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "duktape.h"
#include "platform/automation/ole_interfaces.h"

namespace jscript {

struct CompiledText {
  uint64_t id = 0;                // unique in the process; errors find their text by it
  std::u16string source;          // as the host gave it
  std::string bytecode;           // duk_dump_function of the compiled program
  bool is_expression = false;     // evaluated for its value
  DWORD source_context = 0;
  ULONG starting_line = 0;
  /// Names the text uses that a global-members item may supply (identifiers that are neither
  /// keywords nor built-in globals), in first-use order.
  std::vector<std::u16string> free_names;

  /// The text of a 1-based line; empty past the end.
  std::u16string LineText(uint32_t line) const;
};

/// The text of a 1-based line of `text` (lines end at CR, LF, CR LF, U+2028 or U+2029).
std::u16string LineOfText(std::u16string_view text, uint32_t line);
/// The 1-based line and 0-based column of a character offset in `text`.
void PositionInText(std::u16string_view text, long offset, uint32_t* line, int32_t* column);

/// The file name a text is compiled under, by which errors find their text.
std::string TextFileName(uint64_t id);
/// The text id of a file name; 0 for any other name.
uint64_t TextIdOfFileName(std::string_view name);

}  // namespace jscript
