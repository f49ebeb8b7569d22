#pragma once
// Conversions between automation values, with the value-type rules every part of the system
// shares: Null converts to nothing (94), a non-numeric string to no number (13), integers are
// rounded half to even and overflow with 6, Booleans read and print as "True" / "False", an
// object converts through its default member. Text forms follow the calling thread's locale.

#include <cstdint>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"

/// The value an object stands for: its default member (DISPID_VALUE) read as a property.
/// ObjectVariableNotSet (91) for Nothing, ObjectDoesNotSupportMember (438) without a default,
/// the object's own error when the call fails.
Result<Variant> DefaultValueOf(IDispatch* object);

/// `value` with by-reference levels removed and objects replaced by their default value.
Result<Variant> ValueOf(const VARIANT& value);

Result<double> ToDouble(const VARIANT& value);
Result<float> ToSingle(const VARIANT& value);
Result<int32_t> ToInt32(const VARIANT& value);
Result<int16_t> ToInt16(const VARIANT& value);
Result<uint8_t> ToByte(const VARIANT& value);
Result<CY> ToCurrency(const VARIANT& value);
Result<DATE> ToDate(const VARIANT& value);
Result<bool> ToBool(const VARIANT& value);
/// The text form: "" for Empty, "True"/"False", numbers and dates in the locale's display form.
Result<Bstr> ToBstr(const VARIANT& value);

/// VariantChangeType: the value converted to `type` (VT_VARIANT gives the dereferenced value).
Result<Variant> ChangeType(const VARIANT& value, VARTYPE type);

/// Writes `value` into the storage a by-reference variant points at, converted to the
/// reference's type (a VT_BYREF | VT_VARIANT reference takes the value as it is).
Result<void> AssignThroughReference(const VARIANT& reference, const VARIANT& value);

/// The types that hold a number by value: the integer, floating-point and currency types, Date
/// and Boolean.
bool IsNumberType(VARTYPE type);
/// Whether the value converts to a number: numbers, Booleans, Empty and numeric strings.
bool IsNumeric(const VARIANT& value);
/// Whether the value is a date or a string that reads as one.
bool IsDate(const VARIANT& value);

/// Rounds half to even and checks the range; Overflow (6) outside it. NaN is Overflow too.
Result<int32_t> DoubleToInt32(double value);
Result<int16_t> DoubleToInt16(double value);
