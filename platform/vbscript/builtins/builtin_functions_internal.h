#pragma once
// Private to the function library: the implementations the table in builtins.cpp names (a file
// per family) and the argument readers the families share. Not part of the library's contract.
//
// Every implementation takes the call as the interpreter made it: arguments first first,
// already counted against the table's limits, possibly by reference, possibly objects whose
// default value stands for them. Names follow the script names; those that collide with the
// value layer's free functions (IsNumeric, DateSerial, FormatNumber, ...) call it qualified.

#include <cstdint>
#include <string_view>

#include "platform/automation/bstr.h"
#include "platform/automation/compare.h"
#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "platform/vbscript/builtins/builtins.h"

struct SAFEARRAY;

namespace builtins {

// ---- Reading arguments (builtin_arguments.cpp) ----

/// An argument's value: by-reference levels removed and an object replaced by its default
/// value, which `holder` keeps alive. Plain values are borrowed, never copied, so reading a
/// long string costs nothing. Fails with the object's error (438, 91, ...).
Result<VARIANT> ReadValue(const VARIANT& argument, Variant& holder);

/// A text argument read without copying a string: a string's own characters, any other value's
/// text form (numbers and dates in the thread locale). Null is reported, not raised, for the
/// functions that pass it on; the view stays valid while this object lives, moves included.
struct TextArgument {
  bool is_null = false;
  std::u16string_view view;
  Variant holder;  // a default value `view` may point into
  Bstr converted;  // the text form of a non-string value
};
Result<TextArgument> ReadText(const VARIANT& argument);
/// As ReadText, with Null an error: InvalidUseOfNull (94).
Result<TextArgument> ReadNonNullText(const VARIANT& argument);

/// Argument `index` as a Long (rounded half to even), or `fallback` when it was omitted.
Result<int32_t> OptionalLong(const BuiltinCall& call, size_t index, int32_t fallback);
/// Argument `index` as a Boolean, or `fallback` when it was omitted.
Result<bool> OptionalBool(const BuiltinCall& call, size_t index, bool fallback);
/// The compare argument of the string functions: Binary when omitted, 0 or 1 otherwise;
/// InvalidProcedureCall (5) for other numbers, InvalidUseOfNull (94) for Null.
Result<CompareMode> ReadCompareMode(const BuiltinCall& call, size_t index);

/// Whether a value (through references, not through objects) is Null.
bool IsNullValue(const VARIANT& value);

/// OutOfStringSpace (14) when a result of `length` characters would pass kMaxStringLength.
Result<void> CheckStringLength(uint64_t length);
/// A String result: OutOfStringSpace (14) past kMaxStringLength, OutOfMemory (7) when the
/// allocation fails.
Result<Variant> MakeString(std::u16string_view text);

/// A new string of `length` NUL characters to fill in place: OutOfStringSpace (14) past
/// kMaxStringLength, OutOfMemory (7) when the allocation fails.
Result<Bstr> AllocateString(uint64_t length);

/// A new 0-based one-dimensional array of `count` Empty variants (what Array, Split and Filter
/// return); OutOfMemory (7) past the platform's array size limit.
Result<Variant> NewVariantVector(uint32_t count);
/// The elements of an array made by NewVariantVector, for filling in place.
VARIANT* VectorElements(const Variant& vector);
/// The array an argument holds (through references): TypeMismatch (13) for any other value,
/// SubscriptOutOfRange (9) for a dynamic array that was never dimensioned.
Result<SAFEARRAY*> ReadArray(const VARIANT& argument);

// ---- Conversion (conversion_functions.cpp) ----
Result<Variant> CBool(const BuiltinCall& call);
Result<Variant> CByte(const BuiltinCall& call);
Result<Variant> CCur(const BuiltinCall& call);
Result<Variant> CDate(const BuiltinCall& call);
Result<Variant> CDbl(const BuiltinCall& call);
Result<Variant> CInt(const BuiltinCall& call);
Result<Variant> CLng(const BuiltinCall& call);
Result<Variant> CSng(const BuiltinCall& call);
Result<Variant> CStr(const BuiltinCall& call);
Result<Variant> Hex(const BuiltinCall& call);
Result<Variant> Oct(const BuiltinCall& call);
Result<Variant> Fix(const BuiltinCall& call);
Result<Variant> Int(const BuiltinCall& call);
Result<Variant> Round(const BuiltinCall& call);
Result<Variant> Asc(const BuiltinCall& call);
Result<Variant> AscB(const BuiltinCall& call);
Result<Variant> AscW(const BuiltinCall& call);
Result<Variant> Chr(const BuiltinCall& call);
Result<Variant> ChrB(const BuiltinCall& call);
Result<Variant> ChrW(const BuiltinCall& call);

// ---- Strings (string_functions.cpp) ----
Result<Variant> Left(const BuiltinCall& call);
Result<Variant> LeftB(const BuiltinCall& call);
Result<Variant> Right(const BuiltinCall& call);
Result<Variant> RightB(const BuiltinCall& call);
Result<Variant> Mid(const BuiltinCall& call);
Result<Variant> MidB(const BuiltinCall& call);
Result<Variant> Len(const BuiltinCall& call);
Result<Variant> LenB(const BuiltinCall& call);
Result<Variant> LCase(const BuiltinCall& call);
Result<Variant> UCase(const BuiltinCall& call);
Result<Variant> LTrim(const BuiltinCall& call);
Result<Variant> RTrim(const BuiltinCall& call);
Result<Variant> Trim(const BuiltinCall& call);
Result<Variant> Space(const BuiltinCall& call);
Result<Variant> String(const BuiltinCall& call);
Result<Variant> StrReverse(const BuiltinCall& call);
Result<Variant> Escape(const BuiltinCall& call);
Result<Variant> Unescape(const BuiltinCall& call);

// ---- Searching, splitting and joining (search_functions.cpp) ----
Result<Variant> InStr(const BuiltinCall& call);
Result<Variant> InStrB(const BuiltinCall& call);
Result<Variant> InStrRev(const BuiltinCall& call);
Result<Variant> Replace(const BuiltinCall& call);
Result<Variant> Split(const BuiltinCall& call);
Result<Variant> Join(const BuiltinCall& call);
Result<Variant> Filter(const BuiltinCall& call);
Result<Variant> StrComp(const BuiltinCall& call);

// ---- Math (math_functions.cpp) ----
Result<Variant> Abs(const BuiltinCall& call);
Result<Variant> Atn(const BuiltinCall& call);
Result<Variant> Cos(const BuiltinCall& call);
Result<Variant> Exp(const BuiltinCall& call);
Result<Variant> Log(const BuiltinCall& call);
Result<Variant> Rnd(const BuiltinCall& call);
Result<Variant> Randomize(const BuiltinCall& call);
Result<Variant> Sgn(const BuiltinCall& call);
Result<Variant> Sin(const BuiltinCall& call);
Result<Variant> Sqr(const BuiltinCall& call);
Result<Variant> Tan(const BuiltinCall& call);
Result<Variant> RGB(const BuiltinCall& call);

// ---- Dates and times (date_functions.cpp) ----
Result<Variant> Date(const BuiltinCall& call);
Result<Variant> Time(const BuiltinCall& call);
Result<Variant> Now(const BuiltinCall& call);
Result<Variant> Timer(const BuiltinCall& call);
Result<Variant> DateAdd(const BuiltinCall& call);
Result<Variant> DateDiff(const BuiltinCall& call);
Result<Variant> DatePart(const BuiltinCall& call);
Result<Variant> DateSerial(const BuiltinCall& call);
Result<Variant> DateValue(const BuiltinCall& call);
Result<Variant> TimeSerial(const BuiltinCall& call);
Result<Variant> TimeValue(const BuiltinCall& call);
Result<Variant> Day(const BuiltinCall& call);
Result<Variant> Month(const BuiltinCall& call);
Result<Variant> Year(const BuiltinCall& call);
Result<Variant> Hour(const BuiltinCall& call);
Result<Variant> Minute(const BuiltinCall& call);
Result<Variant> Second(const BuiltinCall& call);
Result<Variant> Weekday(const BuiltinCall& call);
Result<Variant> MonthName(const BuiltinCall& call);
Result<Variant> WeekdayName(const BuiltinCall& call);
Result<Variant> IsDate(const BuiltinCall& call);
/// Seconds since local midnight with the clock's fraction (Timer, and Randomize's seed).
float SecondsSinceMidnight();

// ---- Formatting (format_functions.cpp) ----
Result<Variant> FormatNumber(const BuiltinCall& call);
Result<Variant> FormatCurrency(const BuiltinCall& call);
Result<Variant> FormatPercent(const BuiltinCall& call);
Result<Variant> FormatDateTime(const BuiltinCall& call);

// ---- Inspection, arrays and the engine (inspection_functions.cpp) ----
Result<Variant> IsArray(const BuiltinCall& call);
Result<Variant> IsEmpty(const BuiltinCall& call);
Result<Variant> IsNull(const BuiltinCall& call);
Result<Variant> IsNumeric(const BuiltinCall& call);
Result<Variant> IsObject(const BuiltinCall& call);
Result<Variant> TypeName(const BuiltinCall& call);
Result<Variant> VarType(const BuiltinCall& call);
Result<Variant> LBound(const BuiltinCall& call);
Result<Variant> UBound(const BuiltinCall& call);
Result<Variant> Array(const BuiltinCall& call);
Result<Variant> ScriptEngine(const BuiltinCall& call);
Result<Variant> ScriptEngineMajorVersion(const BuiltinCall& call);
Result<Variant> ScriptEngineMinorVersion(const BuiltinCall& call);
Result<Variant> ScriptEngineBuildVersion(const BuiltinCall& call);
Result<Variant> GetLocale(const BuiltinCall& call);
Result<Variant> SetLocale(const BuiltinCall& call);
Result<Variant> MsgBox(const BuiltinCall& call);
Result<Variant> InputBox(const BuiltinCall& call);

}  // namespace builtins
