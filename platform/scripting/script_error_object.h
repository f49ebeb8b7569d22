#pragma once
// The IActiveScriptError an engine hands its site for a compile or run-time error: the
// exception (code, description, source), the position (source context, 0-based line counted
// from the parsed text's starting line, 0-based column) and the text of that line. Any engine
// can report through it.

#include <string>

#include "platform/com/com_ptr.h"
#include "platform/scripting/active_script.h"

struct ScriptErrorReport {
  HRESULT scode = S_OK;
  std::u16string description;
  std::u16string source;
  DWORD source_context = 0;
  ULONG line = 0;
  int32_t column = 0;
  std::u16string line_text;
};

/// A new error object owning the first reference.
ComPtr<IActiveScriptError> CreateScriptErrorObject(ScriptErrorReport report);

/// Hands an error to a site: its debugging side (IActiveScriptSiteDebug) first, which may say
/// that OnScriptError is not to follow; then OnScriptError.
void ReportScriptError(IActiveScriptSite* site, ScriptErrorReport report);
