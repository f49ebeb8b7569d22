#pragma once
// What JScript has beyond ECMAScript, installed into every new heap:
//   VBArray(a)        a safe array: toArray(), getItem(i, ...), dimensions(), lbound(d), ubound(d)
//   Enumerator(c)     walks a collection: atEnd(), item(), moveNext(), moveFirst()
//   ActiveXObject(p)  creates an object by ProgID (as Server.CreateObject)
//   Error(n, text)    an error with JScript's number; every error has `number` and
//                     `description` (the same as `message`)
//   Date.prototype.getVarDate(), ScriptEngine(), ScriptEngineMajorVersion(),
//   ScriptEngineMinorVersion(), ScriptEngineBuildVersion(), CollectGarbage()
// and the error hooks (script_errors.h). Duktape's own `Duktape` object is not a global.

#include "duktape.h"

namespace jscript {

void InstallBuiltins(duk_context* ctx);

}  // namespace jscript
