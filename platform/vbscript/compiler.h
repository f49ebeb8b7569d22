#pragma once
// The VBScript compiler: a syntax tree to a CodeUnit of bytecode. Names are resolved here as far
// as the text allows: parameters and Dim'd variables of a procedure to frame slots, fields and
// members of a class to their indices, everything else to a global name of the unit (bound to
// the runtime's global table when the unit loads; Execute, ExecuteGlobal and named items can
// still add globals then). Undeclared names inside procedures are left to the run: they are the
// global of that name when one exists, else a local of the procedure.

#include <memory>
#include <string_view>

#include "platform/automation/result.h"
#include "platform/vbscript/parser.h"
#include "platform/vbscript/program.h"

namespace vbscript {

enum class TextKind : uint8_t {
  Script,      // statements and declarations
  Expression,  // one expression whose value the unit's global code returns
};

struct CompileRequest {
  std::u16string_view text;
  TextKind kind = TextKind::Script;
  uint32_t source_context = 0;
  uint32_t starting_line = 0;
};

/// Parses and compiles a text. On failure `diagnostic` holds the compile error's number and
/// position (1-based line, 0-based column within the text).
Result<std::shared_ptr<const CodeUnit>> CompileText(const CompileRequest& request,
                                                    CompileDiagnostic& diagnostic);

}  // namespace vbscript
