#pragma once
// Classic JScript lets a script assign to a call: `Session("x") = v`, `Application("n") += 1`,
// `d.Item("k") = v`. The assignment is a property put on the called member with the call's
// arguments as indices. ECMAScript has no such assignment, so the text is rewritten before
// Duktape compiles it:
//
//   f(a, b) = v        ->  __jscriptPutDefault(f, a, b).value = v
//   o.m(a) = v         ->  __jscriptPutMember(o, "m", a).value = v
//   o[k](a) = v        ->  __jscriptPutMember(o, k, a).value = v
//
// and the same for compound assignments (+=, ...) and a postfix ++ or --. The helpers (see
// host_object.h) return an object whose `value` reads and puts the member. Only the call and
// its brackets change, so every line keeps its number; other text stays as it is.

#include <string>
#include <string_view>
#include <vector>

#include "platform/jscript/script_scanner.h"

namespace jscript {

/// `text` with its assignments to calls rewritten.
std::u16string RewriteCallAssignments(std::u16string_view text, const std::vector<Token>& tokens);

/// Names the text uses as variables that are neither reserved words nor preceded by '.', in
/// first-use order, at most `limit` of them.
std::vector<std::u16string> FreeNames(std::u16string_view text, const std::vector<Token>& tokens, size_t limit);

}  // namespace jscript
