#pragma once
// What JScript has beyond ECMAScript, installed into every new heap:
//   VBArray(a)        a safe array: toArray(), getItem(i, ...), dimensions(), lbound(d), ubound(d)
//   Enumerator(c)     walks a collection: atEnd(), item(), moveNext(), moveFirst()
//   ActiveXObject(p)  creates an object by ProgID (as Server.CreateObject)
//   ScriptEngine(), ScriptEngineMajorVersion(), ScriptEngineMinorVersion(),
//   ScriptEngineBuildVersion(), CollectGarbage()
// the error hooks (script_errors.h) and the script-written part of the library (prelude.h:
// Error(n, text), dates as text and read from text, RegExp.$1 ..., parseInt). Duktape's own
// `Duktape` object is not a global.

#include "duktape.h"

namespace jscript {

void InstallBuiltins(duk_context* ctx);

}  // namespace jscript
