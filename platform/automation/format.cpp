#include "platform/automation/format.h"

#include "platform/automation/conversion.h"
#include "platform/automation/locale.h"

namespace {

using DoubleFormatter = Result<std::u16string> (*)(double, int, TriState, TriState, TriState,
                                                   const LocaleInfo&);
using CurrencyFormatter = Result<std::u16string> (*)(CY, int, TriState, TriState, TriState,
                                                     const LocaleInfo&);

Result<Bstr> FormatWith(const VARIANT& value, DoubleFormatter format_double,
                        CurrencyFormatter format_currency, int digits, TriState leading_zero,
                        TriState parentheses, TriState grouping) {
  const LocaleInfo& locale = CurrentLocale();
  // Doubles and Longs, what pages format most, are read in place.
  const VARIANT plain = PeekValue(value);
  if (plain.vt == VT_R8 || plain.vt == VT_I4) {
    double real = plain.vt == VT_R8 ? plain.dblVal : plain.lVal;
    std::u16string text = TRY(format_double(real, digits, leading_zero, parentheses, grouping, locale));
    return Bstr(text);
  }
  Variant number = TRY(ValueOf(value));
  if (number.vt == VT_CY) {
    std::u16string text =
        TRY(format_currency(number.cyVal, digits, leading_zero, parentheses, grouping, locale));
    return Bstr(text);
  }
  double real = TRY(ToDouble(number));
  std::u16string text = TRY(format_double(real, digits, leading_zero, parentheses, grouping, locale));
  return Bstr(text);
}

}  // namespace

Result<Bstr> FormatNumber(const VARIANT& value, int digits, TriState leading_zero,
                          TriState parentheses, TriState grouping) {
  return FormatWith(value, FormatNumberText, FormatNumberText, digits, leading_zero, parentheses,
                    grouping);
}

Result<Bstr> FormatPercent(const VARIANT& value, int digits, TriState leading_zero,
                           TriState parentheses, TriState grouping) {
  return FormatWith(value, FormatPercentText, FormatPercentText, digits, leading_zero,
                    parentheses, grouping);
}

Result<Bstr> FormatCurrency(const VARIANT& value, int digits, TriState leading_zero,
                            TriState parentheses, TriState grouping) {
  return FormatWith(value, FormatCurrencyText, FormatCurrencyText, digits, leading_zero,
                    parentheses, grouping);
}

Result<Bstr> FormatDateTime(const VARIANT& value, NamedDateFormat format) {
  DATE date = TRY(ToDate(value));
  std::u16string text = TRY(FormatDateTimeText(date, format, CurrentLocale()));
  return Bstr(text);
}
