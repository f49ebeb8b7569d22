#include "platform/jscript/script_errors.h"

#include "platform/jscript/compiled_text.h"
#include "platform/jscript/duktape_internal.h"
#include "platform/jscript/heap_stash.h"
#include "platform/jscript/script_runtime.h"
#include "platform/jscript/script_text.h"
#include "platform/scripting/active_script.h"

namespace jscript {
namespace {

struct ErrorText {
  int32_t number;
  std::u16string_view text;
};

constexpr ErrorText kErrorTexts[] = {
#define JSCRIPT_ERROR(name, number, text) {number, u"" text},
#include "platform/jscript/script_errors.def"
#undef JSCRIPT_ERROR
};

// A Duktape message (its start, or any part when `anywhere`) and the JScript error it means.
struct MessageRule {
  std::u16string_view pattern;
  bool anywhere;
  JScriptError error;
};

constexpr MessageRule kRuntimeRules[] = {
    {u"identifier '", false, JScriptError::UndefinedIdentifier},
    {u" not callable", true, JScriptError::FunctionExpected},
    {u"cannot read property", false, JScriptError::ObjectExpected},
    {u"cannot write property", false, JScriptError::ObjectExpected},
    {u"cannot delete property", false, JScriptError::ObjectExpected},
    {u"invalid base value", false, JScriptError::ObjectExpected},
    {u"not constructable", true, JScriptError::ObjectDoesNotSupportAction},
    {u"invalid instanceof rval", false, JScriptError::FunctionExpected},
    {u"alloc failed", false, JScriptError::OutOfMemory},
    {u"callstack limit", false, JScriptError::OutOfStackSpace},
    {u"C stack depth limit", false, JScriptError::OutOfStackSpace},
    {u"valstack limit", false, JScriptError::OutOfStackSpace},
    {u"compiler recursion limit", false, JScriptError::OutOfStackSpace},
    {u"regexp compiler recursion limit", false, JScriptError::OutOfStackSpace},
    {u"regexp executor recursion limit", false, JScriptError::OutOfStackSpace},
    {u"prototype chain limit", false, JScriptError::OutOfStackSpace},
    {u"invalid array length", false, JScriptError::ArrayLengthInvalid},
};

constexpr MessageRule kCompileRules[] = {
    {u"unterminated string", false, JScriptError::UnterminatedString},
    {u"unterminated comment", false, JScriptError::UnterminatedComment},
    {u"unterminated regexp", false, JScriptError::ExpectedSlash},
    {u"invalid token", false, JScriptError::InvalidCharacter},
    {u"invalid number literal", false, JScriptError::InvalidNumber},
    {u"expected identifier", false, JScriptError::ExpectedIdentifier},
    {u"invalid return", false, JScriptError::ReturnOutsideFunction},
    {u"invalid break/continue label", false, JScriptError::BreakOutsideLoop},
    {u"duplicate label", false, JScriptError::LabelRedefined},
    {u"unterminated statement", false, JScriptError::ExpectedSemicolon},
    {u"compiler recursion limit", false, JScriptError::OutOfStackSpace},
    {u"alloc failed", false, JScriptError::OutOfMemory},
    {u"regexp", true, JScriptError::RegExpSyntaxError},
    {u"quantifier", true, JScriptError::RegExpSyntaxError},
    {u"character class", true, JScriptError::RegExpSyntaxError},
};

// Words of Duktape's regular-expression syntax errors, raised at run time by `new RegExp`.
constexpr std::u16string_view kRegExpWords[] = {u"regexp", u"quantifier", u"character class", u"backreference",
                                                u"parenthesis", u"end of pattern", u"invalid range"};

const MessageRule* FindRule(std::span<const MessageRule> rules, std::u16string_view message) {
  for (const MessageRule& rule : rules) {
    bool matches = rule.anywhere ? message.find(rule.pattern) != std::u16string_view::npos
                                 : message.starts_with(rule.pattern);
    if (matches) return &rule;
  }
  return nullptr;
}

bool MentionsRegExp(std::u16string_view message) {
  for (std::u16string_view word : kRegExpWords) {
    if (message.find(word) != std::u16string_view::npos) return true;
  }
  return false;
}

// The name between the first and the last quote of "identifier 'x' undefined".
std::u16string_view QuotedName(std::u16string_view message) {
  size_t first = message.find(u'\'');
  size_t last = message.rfind(u'\'');
  if (first == std::u16string_view::npos || last <= first) return {};
  return message.substr(first + 1, last - first - 1);
}

// The number a Duktape error type stands for when its message is not in the table.
JScriptError NumberForType(std::u16string_view type_name) {
  if (type_name == u"TypeError") return JScriptError::ObjectExpected;
  if (type_name == u"ReferenceError") return JScriptError::UndefinedIdentifier;
  if (type_name == u"SyntaxError") return JScriptError::SyntaxError;
  if (type_name == u"URIError") return JScriptError::InvalidUriEncoding;
  return JScriptError::InvalidProcedureCall;
}

// The place in a script of the innermost script function on the call stack (below the hook
// that asks): text and line.
ErrorPlace InnermostScriptPlace(duk_context* ctx) {
  ErrorPlace place;
  for (duk_int_t level = -2;; --level) {
    duk_inspect_callstack_entry(ctx, level);
    if (!duk_is_object(ctx, -1)) {
      duk_pop(ctx);
      return place;
    }
    duk_get_prop_string(ctx, -1, "function");
    duk_get_prop_string(ctx, -1, "fileName");
    duk_size_t length = 0;
    const char* file = duk_get_lstring(ctx, -1, &length);
    uint64_t id = file == nullptr ? 0 : TextIdOfFileName(std::string_view(file, length));
    duk_pop_2(ctx);
    if (id != 0) {
      duk_get_prop_string(ctx, -1, "lineNumber");
      place.text_id = id;
      place.line = static_cast<uint32_t>(duk_get_uint(ctx, -1));
      duk_pop_2(ctx);
      return place;
    }
    duk_pop(ctx);
  }
}

// Whether the error at index 0 is being made by a script's `new Error(...)` (or another error
// constructor): such errors keep the script's message and number 0.
bool MadeByScriptConstructor(duk_context* ctx) {
  duk_inspect_callstack_entry(ctx, -2);
  if (!duk_is_object(ctx, -1)) {
    duk_pop(ctx);
    return false;
  }
  duk_get_prop_string(ctx, -1, "function");
  PushStashEntry(ctx, kStashErrorConstructors);
  bool found = false;
  duk_size_t count = duk_get_length(ctx, -1);
  for (duk_uarridx_t i = 0; i < count && !found; ++i) {
    duk_get_prop_index(ctx, -1, i);
    found = duk_strict_equals(ctx, -1, -3);
    duk_pop(ctx);
  }
  duk_pop_3(ctx);
  return found;
}

void PutPlace(duk_context* ctx, duk_idx_t error, const ErrorPlace& place) {
  if (place.text_id != 0) {
    duk_push_number(ctx, static_cast<double>(place.text_id));
    PutKey(ctx, error, kHiddenBlameText);
    duk_push_uint(ctx, place.line);
    PutKey(ctx, error, kHiddenBlameLine);
  }
  if (place.offset >= 0) {
    duk_push_number(ctx, static_cast<double>(place.offset));
    PutKey(ctx, error, kHiddenBlameOffset);
  }
}

bool HasOwnProperty(duk_context* ctx, duk_idx_t index, const char* name) {
  index = duk_normalize_index(ctx, index);
  duk_push_string(ctx, name);
  duk_get_prop_desc(ctx, index, 0);
  bool found = !duk_is_undefined(ctx, -1);
  duk_pop(ctx);
  return found;
}

// Gives the new error at index 0 its place and, when the engine made it, its JScript number
// and text. Duktape asks again for an error a constructor returns (`new Error(...)` made by a
// script, or by a constructor that made it through another), so each error is described once.
void DescribeCreatedError(duk_context* ctx) {
  if (HasKey(ctx, 0, kHiddenDescribed)) return;
  duk_push_true(ctx);
  PutKey(ctx, 0, kHiddenDescribed);
  ErrorPlace place = InnermostScriptPlace(ctx);
  place.offset = CompileTokenOffset(ctx);
  PutPlace(ctx, 0, place);
  if (place.offset >= 0 || MadeByScriptConstructor(ctx)) return;
  if (!HasOwnProperty(ctx, 0, "message")) return;
  duk_get_prop_string(ctx, 0, "name");
  std::u16string type_name = ReadText(ctx, -1);
  duk_get_prop_string(ctx, 0, "message");
  std::u16string message = ReadText(ctx, -1);
  duk_pop_2(ctx);
  MappedError mapped = MapRuntimeError(type_name, message);
  duk_push_int(ctx, ScriptErrorHresult(mapped.number));
  duk_put_prop_string(ctx, 0, "number");
  PushText(ctx, mapped.description);
  duk_put_prop_string(ctx, 0, "message");
}

// Duktape.errCreate: called for every error object made.
duk_ret_t OnErrorCreated(duk_context* ctx) {
  if (duk_is_object(ctx, 0)) DescribeCreatedError(ctx);
  duk_dup(ctx, 0);
  return 1;
}

// Duktape.errThrow: the place of every throw, for thrown values that are not Error objects.
duk_ret_t OnErrorThrown(duk_context* ctx) {
  if (ScriptRuntime* runtime = ScriptRuntime::Of(ctx)) runtime->RecordThrowPlace(InnermostScriptPlace(ctx));
  duk_dup(ctx, 0);
  return 1;
}

}  // namespace

std::u16string JScriptErrorText(int32_t number, std::u16string_view name) {
  for (const ErrorText& entry : kErrorTexts) {
    if (entry.number != number) continue;
    std::u16string text(entry.text);
    size_t slot = text.find(u"%s");
    if (slot != std::u16string::npos) text.replace(slot, 2, name);
    return text;
  }
  return {};
}

MappedError MapRuntimeError(std::u16string_view type_name, std::u16string_view message) {
  if (type_name == u"SyntaxError" && MentionsRegExp(message)) {
    return {static_cast<int32_t>(JScriptError::RegExpSyntaxError),
            JScriptErrorText(static_cast<int32_t>(JScriptError::RegExpSyntaxError))};
  }
  if (const MessageRule* rule = FindRule(kRuntimeRules, message)) {
    auto number = static_cast<int32_t>(rule->error);
    return {number, JScriptErrorText(number, QuotedName(message))};
  }
  return {static_cast<int32_t>(NumberForType(type_name)), std::u16string(message)};
}

MappedError MapCompileError(std::u16string_view message) {
  size_t suffix = message.rfind(u" (line ");
  if (suffix != std::u16string_view::npos) message = message.substr(0, suffix);
  const MessageRule* rule = FindRule(kCompileRules, message);
  auto number = static_cast<int32_t>(rule != nullptr ? rule->error : JScriptError::SyntaxError);
  return {number, JScriptErrorText(number)};
}

void PushErrorObject(duk_context* ctx, HRESULT code, std::u16string_view description) {
  std::string text = EncodeText(description);
  duk_push_error_object(ctx, DUK_ERR_ERROR, "%s", text.c_str());
  duk_push_int(ctx, code);
  duk_put_prop_string(ctx, -2, "number");
  duk_push_lstring(ctx, text.data(), text.size());
  duk_put_prop_string(ctx, -2, "message");
}

void ThrowScriptError(duk_context* ctx, const Error& error) {
  if (error.Hresult() == SCRIPT_E_STOP_WITHOUT_ERROR) {
    if (ScriptRuntime* runtime = ScriptRuntime::Of(ctx)) runtime->StopFromHost();
    InterruptAtNextInstruction(ctx);
  }
  PushErrorObject(ctx, error.Hresult(), error.Description());
  (void)duk_throw(ctx);
  __builtin_unreachable();
}

void ThrowScriptError(duk_context* ctx, JScriptError error, std::u16string_view name) {
  auto number = static_cast<int32_t>(error);
  ThrowScriptError(ctx, Error::Script(number, JScriptErrorText(number, name)));
}

void InstallErrorHooks(duk_context* ctx) {
  duk_get_global_string(ctx, "Duktape");
  duk_push_c_function(ctx, OnErrorCreated, 1);
  duk_put_prop_string(ctx, -2, "errCreate");
  duk_push_c_function(ctx, OnErrorThrown, 1);
  duk_put_prop_string(ctx, -2, "errThrow");
  duk_pop(ctx);
}

ErrorPlace PlaceOfError(duk_context* ctx, duk_idx_t index) {
  ErrorPlace place;
  if (!duk_is_object(ctx, index)) return place;
  index = duk_normalize_index(ctx, index);
  if (GetKey(ctx, index, kHiddenBlameText)) {
    place.text_id = static_cast<uint64_t>(duk_get_number(ctx, -1));
  }
  GetKey(ctx, index, kHiddenBlameLine);
  place.line = static_cast<uint32_t>(duk_get_uint(ctx, -1));
  GetKey(ctx, index, kHiddenBlameOffset);
  if (duk_is_number(ctx, -1)) place.offset = static_cast<long>(duk_get_number(ctx, -1));
  duk_pop_3(ctx);
  return place;
}

}  // namespace jscript
