#include "platform/automation/format.h"

#include "platform/automation/conversion.h"
#include "platform/automation/locale.h"
#include "platform/automation/number_text.h"

namespace {

using CurrencyFormatter = Result<std::u16string> (*)(CY, int, TriState, TriState, TriState,
                                                     const LocaleInfo&);

CurrencyFormatter CurrencyFormatterFor(NumberForm form) {
  switch (form) {
    case NumberForm::Percent: return FormatPercentText;
    case NumberForm::Currency: return FormatCurrencyText;
    case NumberForm::Number: break;
  }
  return FormatNumberText;
}

// Doubles and Longs, what pages format most, are read in place and formatted through one
// buffer per thread, so a call allocates only its result.
Result<Bstr> FormatWith(const VARIANT& value, NumberForm form, int digits, TriState leading_zero,
                        TriState parentheses, TriState grouping) {
  const LocaleInfo& locale = CurrentLocale();
  thread_local std::u16string text;
  const VARIANT plain = PeekValue(value);
  double real = 0;
  if (plain.vt == VT_R8 || plain.vt == VT_I4) {
    real = plain.vt == VT_R8 ? plain.dblVal : plain.lVal;
  } else {
    Variant number = TRY(ValueOf(value));
    if (number.vt == VT_CY) {
      std::u16string amount = TRY(CurrencyFormatterFor(form)(number.cyVal, digits, leading_zero,
                                                             parentheses, grouping, locale));
      return Bstr(amount);
    }
    real = TRY(ToDouble(number));
  }
  TRY(FormatDoubleInto(form, real, digits, leading_zero, parentheses, grouping, locale, text));
  return Bstr(text);
}

}  // namespace

Result<Bstr> FormatNumber(const VARIANT& value, int digits, TriState leading_zero,
                          TriState parentheses, TriState grouping) {
  return FormatWith(value, NumberForm::Number, digits, leading_zero, parentheses, grouping);
}

Result<Bstr> FormatPercent(const VARIANT& value, int digits, TriState leading_zero,
                           TriState parentheses, TriState grouping) {
  return FormatWith(value, NumberForm::Percent, digits, leading_zero, parentheses, grouping);
}

Result<Bstr> FormatCurrency(const VARIANT& value, int digits, TriState leading_zero,
                            TriState parentheses, TriState grouping) {
  return FormatWith(value, NumberForm::Currency, digits, leading_zero, parentheses, grouping);
}

Result<Bstr> FormatDateTime(const VARIANT& value, NamedDateFormat format) {
  DATE date = TRY(ToDate(value));
  std::u16string text = TRY(FormatDateTimeText(date, format, CurrentLocale()));
  return Bstr(text);
}
