#pragma once
// The operators of the value type. Null in arithmetic gives Null; Empty is 0 beside numbers and
// "" beside strings; + of two strings concatenates; & concatenates anything (Null and Empty as
// ""; Null & Null is Null). Results take the platform's types: Byte → Integer → Long → Double
// as results overflow, Currency and Date arithmetic stay exact and in range, / gives a Double.
// Errors: Overflow (6), DivisionByZero (11), TypeMismatch (13), InvalidProcedureCall (5).

#include "platform/automation/result.h"
#include "platform/automation/variant.h"

Result<Variant> Add(const VARIANT& left, const VARIANT& right);
Result<Variant> Subtract(const VARIANT& left, const VARIANT& right);
Result<Variant> Multiply(const VARIANT& left, const VARIANT& right);
/// Always a Double, or a Single for Single operands; 0 / 0 is Overflow, x / 0 DivisionByZero.
Result<Variant> Divide(const VARIANT& left, const VARIANT& right);
/// `\`: operands rounded half to even to Integer (Byte, Integer, Boolean) or Long.
Result<Variant> IntegerDivide(const VARIANT& left, const VARIANT& right);
/// Mod: as `\`, the remainder takes the sign of the dividend.
Result<Variant> Modulo(const VARIANT& left, const VARIANT& right);
/// ^: always a Double.
Result<Variant> Power(const VARIANT& left, const VARIANT& right);
/// &: text concatenation.
Result<Variant> Concatenate(const VARIANT& left, const VARIANT& right);
Result<Variant> Negate(const VARIANT& value);

/// Not, And, Or, Xor, Eqv, Imp: on two Booleans a Boolean; otherwise bitwise on Integer (or
/// Byte) when both sides fit it, else on Long. With Null: False And Null is False, True Or Null
/// is True, True Imp... as the platform's three-valued logic; otherwise Null.
Result<Variant> Not(const VARIANT& value);
Result<Variant> And(const VARIANT& left, const VARIANT& right);
Result<Variant> Or(const VARIANT& left, const VARIANT& right);
Result<Variant> Xor(const VARIANT& left, const VARIANT& right);
Result<Variant> Eqv(const VARIANT& left, const VARIANT& right);
Result<Variant> Imp(const VARIANT& left, const VARIANT& right);
