#pragma once
// Compiling a text for the engine: the call assignments are rewritten, Duktape compiles the
// result in a heap (any heap: compiling touches no run's state), and the bytecode is dumped so
// that every run loads it without compiling again.

#include <memory>
#include <string>
#include <string_view>

#include "duktape.h"
#include "platform/jscript/compiled_text.h"
#include "platform/jscript/script_runtime.h"

namespace jscript {

struct CompileRequest {
  std::u16string_view text;
  bool is_expression = false;
  DWORD source_context = 0;
  ULONG starting_line = 0;
};

/// A syntax error: the JScript error, its 1-based line and 0-based column in the text, and the
/// text of that line.
struct CompileFailure {
  HRESULT scode = S_OK;
  std::u16string description;
  uint32_t line = 1;
  int32_t column = 0;
  std::u16string line_text;
};

/// The compiled text; null with `failure` filled when the text does not compile.
std::shared_ptr<const CompiledText> CompileScript(duk_context* ctx, const CompileRequest& request,
                                                  CompileFailure* failure);

}  // namespace jscript
