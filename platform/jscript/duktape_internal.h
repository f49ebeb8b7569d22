#pragma once
// The few things the engine needs from Duktape that its public API does not offer. They read
// Duktape's internal structures and are compiled in the same unit as Duktape itself
// (duktape_unit.cpp), against the one Duktape release the build checks for.

#include <string>

#include "duktape.h"

namespace jscript {

/// Whether the native function running now (a Proxy trap or a getter) was entered to read a
/// value that is called at once: `o.m(...)` or `m(...)`. A member of a host object read for a
/// call becomes a method call; read for its value, a property read.
bool IsReadForCall(duk_context* ctx);

/// Makes the running script enter its interrupt check before its next instruction, so a stop
/// takes effect at once and no catch or finally block runs.
void InterruptAtNextInstruction(duk_context* ctx);

/// Pushes the target of the Proxy at `index` and returns true; false (nothing pushed) when the
/// value is no Proxy.
bool PushProxyTarget(duk_context* ctx, duk_idx_t index);

/// While Duktape compiles: the character offset in the source text of the token being read
/// (where a syntax error is); -1 when nothing is being compiled.
long CompileTokenOffset(duk_context* ctx);

/// Whether the value at `index` is a Date object; its time value (ms since 1970 UTC, NaN for
/// an invalid date) into `time_value`.
bool ReadDateObject(duk_context* ctx, duk_idx_t index, double* time_value);

/// Appends to `image` a byte image of the object at `index`: its prototype, extensibility and
/// own properties (keys, attributes, values or accessors, array items). Two images of one
/// object are equal exactly when none of these changed (values compare by identity).
void AppendObjectImage(duk_context* ctx, duk_idx_t index, std::string* image);

}  // namespace jscript
