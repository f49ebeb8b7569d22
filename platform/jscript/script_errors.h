#pragma once
// JScript's error numbers and texts, the reading of Duktape's errors as JScript errors, and the
// raising of an automation Error inside a running script.
//
// A script sees every error as an Error object whose `number` is the 32-bit HRESULT
// (0x800A0000 + the JScript number for the engine's own errors, the host's code for a host
// object's) and whose `description` (the same as `message`) is its text.

#include <cstdint>
#include <string>
#include <string_view>

#include "duktape.h"
#include "platform/automation/error.h"

namespace jscript {

enum class JScriptError : int32_t {
#define JSCRIPT_ERROR(name, number, text) name = number,
#include "platform/jscript/script_errors.def"
#undef JSCRIPT_ERROR
};

inline constexpr std::u16string_view kRuntimeErrorSource = u"Microsoft JScript runtime error";
inline constexpr std::u16string_view kCompileErrorSource = u"Microsoft JScript compilation error";

/// The standard description of a JScript error number ("%s" replaced by `name`); empty for a
/// number the table does not hold.
std::u16string JScriptErrorText(int32_t number, std::u16string_view name = {});

/// The HRESULT of one of the engine's errors.
inline HRESULT JScriptErrorHresult(JScriptError error) { return ScriptErrorHresult(static_cast<int32_t>(error)); }

/// A JScript error number with its description.
struct MappedError {
  int32_t number;
  std::u16string description;
};

/// The JScript error a Duktape run-time error stands for, from its type name ("TypeError")
/// and message. Messages the table does not know keep their text, with a number by type.
MappedError MapRuntimeError(std::u16string_view type_name, std::u16string_view message);

/// The JScript error a Duktape syntax error stands for; the message's " (line N...)" suffix is
/// dropped.
MappedError MapCompileError(std::u16string_view message);

/// Raises `error` in the running script as an Error object with its number and description.
/// An error standing for a stop (SCRIPT_E_STOP_WITHOUT_ERROR) stops the run instead: nothing
/// catches it.
[[noreturn]] void ThrowScriptError(duk_context* ctx, const Error& error);
/// Raises one of the engine's own errors.
[[noreturn]] void ThrowScriptError(duk_context* ctx, JScriptError error, std::u16string_view name = {});

/// Pushes a new Error object (as ThrowScriptError raises it) without raising it.
void PushErrorObject(duk_context* ctx, HRESULT code, std::u16string_view description);

}  // namespace jscript

namespace jscript {

/// Installs Duktape's error hooks into a new heap (before its Duktape object is hidden):
/// every error created gets its JScript number and description and the place in the script
/// where it arose; every throw records its place for values that are not Error objects.
void InstallErrorHooks(duk_context* ctx);

/// Where an error value arose: the text and 1-based line (0/0 when unknown), and for a syntax
/// error the character offset of the offending token (-1 when unknown).
struct ErrorPlace {
  uint64_t text_id = 0;
  uint32_t line = 0;
  long offset = -1;
};
/// The place the error hooks recorded on the error value at `index`.
ErrorPlace PlaceOfError(duk_context* ctx, duk_idx_t index);

}  // namespace jscript
