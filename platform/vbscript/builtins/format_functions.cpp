// FormatNumber, FormatCurrency, FormatPercent and FormatDateTime: the script's optional
// arguments read and handed to the value layer's formatters, which hold every rule. A Null
// value is a type mismatch here (a Null option is "Invalid use of Null").

#include "platform/automation/conversion.h"
#include "platform/automation/format.h"
#include "platform/vbscript/builtins/builtin_functions_internal.h"

namespace builtins {
namespace {

// A tri-state argument: vbTrue (-1), vbFalse (0) or vbUseDefault (-2, also when omitted).
Result<TriState> ReadTriState(const BuiltinCall& call, size_t index) {
  int32_t value = TRY(OptionalLong(call, index, static_cast<int32_t>(TriState::UseDefault)));
  switch (value) {
    case -1: return TriState::True;
    case 0: return TriState::False;
    case -2: return TriState::UseDefault;
    default: return ErrorNumber::InvalidProcedureCall;
  }
}

using NumberFormatter = Result<Bstr> (*)(const VARIANT&, int, TriState, TriState, TriState);

// (expression [, digits [, leading zero [, parentheses [, grouping]]]]); digits -1 (the
// default) means the locale's number of decimals.
Result<Variant> FormatWith(const BuiltinCall& call, NumberFormatter formatter) {
  if (IsNullValue(call[0])) return ErrorNumber::TypeMismatch;  // a Null value is no number to format
  int32_t digits = TRY(OptionalLong(call, 1, -1));
  TriState leading_zero = TRY(ReadTriState(call, 2));
  TriState parentheses = TRY(ReadTriState(call, 3));
  TriState grouping = TRY(ReadTriState(call, 4));
  Bstr text = TRY(formatter(call[0], digits, leading_zero, parentheses, grouping));
  return Variant::FromBstr(std::move(text));
}

}  // namespace

Result<Variant> FormatNumber(const BuiltinCall& call) { return FormatWith(call, ::FormatNumber); }
Result<Variant> FormatCurrency(const BuiltinCall& call) { return FormatWith(call, ::FormatCurrency); }
Result<Variant> FormatPercent(const BuiltinCall& call) { return FormatWith(call, ::FormatPercent); }

// (date [, format]): vbGeneralDate (0, the default) to vbShortTime (4).
Result<Variant> FormatDateTime(const BuiltinCall& call) {
  if (IsNullValue(call[0])) return ErrorNumber::TypeMismatch;
  int32_t format = TRY(OptionalLong(call, 1, static_cast<int32_t>(NamedDateFormat::GeneralDate)));
  Bstr text = TRY(::FormatDateTime(call[0], static_cast<NamedDateFormat>(format)));
  return Variant::FromBstr(std::move(text));
}

}  // namespace builtins
