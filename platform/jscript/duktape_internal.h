#pragma once
// The few things the engine needs from Duktape that its public API does not offer. They read
// Duktape's internal structures and are compiled in the same unit as Duktape itself
// (duktape_unit.cpp), against the one Duktape release the build checks for.

#include <cstdint>
#include <array>
#include <vector>

#include "duktape.h"

namespace jscript {

/// Whether the native function running now (a Proxy trap or a getter) was entered to read a
/// value that is called at once: `o.m(...)` or `m(...)`. A member of a host object read for a
/// call becomes a method call; read for its value, a property read.
bool IsReadForCall(duk_context* ctx);

/// Makes the running script enter its interrupt check before its next instruction, so a stop
/// takes effect at once and no catch or finally block runs.
void InterruptAtNextInstruction(duk_context* ctx);

/// While Duktape compiles: the character offset in the source text of the token being read
/// (where a syntax error is); -1 when nothing is being compiled.
long CompileTokenOffset(duk_context* ctx);

/// Whether an object (a heap pointer) may take new properties.
bool ObjectIsExtensible(void* object);

/// Whether the value at `index` is a Date object; its time value (ms since 1970 UTC, NaN for
/// an invalid date) into `time_value`.
bool ReadDateObject(duk_context* ctx, duk_idx_t index, double* time_value);

/// Pushes an array of the heap thread's built-in objects (the global environment record
/// aside): the ones a script may reach by operations rather than by names too.
void PushInternalBuiltins(duk_context* ctx);

/// The image of an object (a heap pointer): its prototype, extensibility and own properties
/// (keys, attributes, values by identity or accessors, array items) as words. Appends it to
/// `image`; or, for ObjectKeepsImage, compares it with `image` from `*position` on (advancing
/// past it): equal exactly when none of these changed.
void AppendObjectImage(duk_context* ctx, void* object, std::vector<uint64_t>* image);
bool ObjectKeepsImage(duk_context* ctx, void* object, const std::vector<uint64_t>& image, size_t* position);

/// The raw state of an object's property storage: its address, sizes, prototype, flags and a
/// copy of its bytes. Comparing with it is a fast test that errs one way only: equal means the
/// object did not change since; different means it may have (the image then decides).
struct ObjectSnapshot {
  std::array<uint64_t, 8> header{};
  std::vector<unsigned char> bytes;
};
void TakeObjectSnapshot(duk_context* ctx, void* object, ObjectSnapshot* snapshot);
bool ObjectMatchesSnapshot(duk_context* ctx, void* object, const ObjectSnapshot& snapshot);

}  // namespace jscript
