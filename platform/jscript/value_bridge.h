#pragma once
// Automation values and script values, both ways.
//
// Into the script: Empty -> undefined, Null -> null, every number type (currency and decimal
// too) -> number, Boolean -> boolean, string -> string, date -> Date (the local date and time),
// object -> a host object (or, for a script object of the same run, the script's own value),
// array -> a VBArray value, VT_ERROR (a missing argument) -> undefined.
// Out of the script: undefined -> Empty, null -> Null, boolean -> Boolean, a whole number in the
// 32-bit range -> Long (VT_I4), any other number -> Double, string -> String, Date -> date,
// host object -> its object, VBArray value -> a copy of its array, any other object or function
// -> a script object (IDispatch) the host may call.

#include <span>
#include <vector>

#include "duktape.h"
#include "platform/automation/result.h"
#include "platform/automation/variant.h"

struct SAFEARRAY;

namespace jscript {

/// Pushes the script value of `value`; UnsupportedAutomationType (458) for a type without one
/// (nothing is pushed then).
Result<void> PushVariant(duk_context* ctx, const VARIANT& value);
/// As PushVariant, raising a failure in the script.
void PushVariantOrThrow(duk_context* ctx, const VARIANT& value);

/// The automation value of the script value at `index`.
Result<Variant> ReadVariant(duk_context* ctx, duk_idx_t index);
/// The values from `first` to the top of the stack, raising a failure in the script.
std::vector<Variant> ReadArgumentsOrThrow(duk_context* ctx, duk_idx_t first);

/// Pushes a VBArray value holding a copy of `array`.
void PushSafeArray(duk_context* ctx, const SAFEARRAY* array);
/// The array a VBArray value holds (borrowed); null for any other value.
SAFEARRAY* SafeArrayAt(duk_context* ctx, duk_idx_t index);

/// Pushes the Date object of a local OLE date.
void PushDate(duk_context* ctx, DATE date);

/// Variants laid out as the VARIANTs they derive from.
inline std::span<const VARIANT> AsVariants(const std::vector<Variant>& values) {
  static_assert(sizeof(Variant) == sizeof(VARIANT));
  return {static_cast<const VARIANT*>(values.data()), values.size()};
}

}  // namespace jscript
