#pragma once
// Small inline helpers on stack values shared by the interpreter's source files: writing a
// value into a slot (clearing the reserved word that marks element references), reading
// through one level of reference, and the integer fast paths of the operators.

#include <cstdint>

#include "platform/automation/variant.h"
#include "platform/vbscript/interpreter_internal.h"

namespace vbscript {

[[gnu::always_inline]] inline void PutEmpty(VARIANT* slot) {
  slot->vt = VT_EMPTY;
  slot->wReserved1 = 0;
}
[[gnu::always_inline]] inline void PutInteger(VARIANT* slot, int16_t value) {
  slot->vt = VT_I2;
  slot->wReserved1 = 0;
  slot->iVal = value;
}
[[gnu::always_inline]] inline void PutLong(VARIANT* slot, int32_t value) {
  slot->vt = VT_I4;
  slot->wReserved1 = 0;
  slot->lVal = value;
}
[[gnu::always_inline]] inline void PutDouble(VARIANT* slot, double value) {
  slot->vt = VT_R8;
  slot->wReserved1 = 0;
  slot->dblVal = value;
}
[[gnu::always_inline]] inline void PutBoolean(VARIANT* slot, bool value) {
  slot->vt = VT_BOOL;
  slot->wReserved1 = 0;
  slot->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}
[[gnu::always_inline]] inline void PutReference(VARIANT* slot, VARIANT* target) {
  slot->vt = VT_BYREF | VT_VARIANT;
  slot->wReserved1 = 0;
  slot->pvarVal = target;
}
/// Moves an owned value into a slot (the slot's previous contents are not released).
[[gnu::always_inline]] inline void PutValue(VARIANT* slot, VARIANT value) {
  *slot = value;
  slot->wReserved1 = 0;
}

/// The variant a one-level VT_BYREF | VT_VARIANT reference points at, else the value itself.
[[gnu::always_inline]] inline const VARIANT* Through(const VARIANT* value) {
  return value->vt == (VT_BYREF | VT_VARIANT) ? value->pvarVal : value;
}

[[gnu::always_inline]] inline bool IsMarkedReference(const VARIANT& value) {
  return value.wReserved1 == kElementReferenceMark && (value.vt & VT_BYREF) != 0;
}

[[gnu::always_inline]] inline bool IsSmallInteger(VARTYPE type) { return type == VT_I2 || type == VT_I4; }
[[gnu::always_inline]] inline int32_t SmallIntegerOf(const VARIANT& value) {
  return value.vt == VT_I2 ? value.iVal : value.lVal;
}

/// Integer + Integer stays an Integer while it fits, anything with a Long a Long; false when
/// the result needs the value layer (it becomes a Double there).
[[gnu::always_inline]] inline bool AddIntegers(const VARIANT& left, const VARIANT& right, VARIANT* result, int sign) {
  int64_t sum = int64_t{SmallIntegerOf(left)} + sign * int64_t{SmallIntegerOf(right)};
  if (left.vt == VT_I2 && right.vt == VT_I2) {
    if (sum >= -32768 && sum <= 32767) {
      PutInteger(result, static_cast<int16_t>(sum));
      return true;
    }
  }
  if (sum < INT32_MIN || sum > INT32_MAX) return false;
  PutLong(result, static_cast<int32_t>(sum));
  return true;
}

[[gnu::always_inline]] inline bool MultiplyIntegers(const VARIANT& left, const VARIANT& right, VARIANT* result) {
  int64_t product = int64_t{SmallIntegerOf(left)} * int64_t{SmallIntegerOf(right)};
  if (left.vt == VT_I2 && right.vt == VT_I2 && product >= -32768 && product <= 32767) {
    PutInteger(result, static_cast<int16_t>(product));
    return true;
  }
  if (product < INT32_MIN || product > INT32_MAX) return false;
  PutLong(result, static_cast<int32_t>(product));
  return true;
}

}  // namespace vbscript
