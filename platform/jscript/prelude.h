#pragma once
// The part of JScript's library written in script (see prelude.cpp for what it holds).

#include "duktape.h"

namespace jscript {

/// Runs the script library in a new heap's global object; a failure throws as Duktape does.
void RunPrelude(duk_context* ctx);

}  // namespace jscript
