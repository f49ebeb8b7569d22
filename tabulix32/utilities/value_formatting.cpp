// Value-formatting members of UtilitiesClass: the fixers applied to raw database values, the
// number, percent and currency text of one report cell with its threshold colouring, and the
// inline styles that open data and title cells. Every number text comes from the platform's
// formatters in the calling thread's locale.
#include "tabulix32/utilities/utilities_class.h"

#include <cmath>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <string_view>

#include "platform/automation/arithmetic.h"
#include "platform/automation/compare.h"
#include "platform/automation/conversion.h"
#include "platform/automation/number_text.h"
#include "platform/automation/locale.h"
#include "platform/automation/text_case.h"
#include "tabulix32/utilities/report_data_internal.h"
#include "tabulix32/utilities/value_formatting_internal.h"
#include "tabulix32/utilities/utilities_text_internal.h"

using namespace utilities_internal;
using report_data::KeyedItems;

namespace {

// HTML of a coloured value and of the cell and title styles; the browser page relies on every
// character (mOver and mOut are functions of the report page).
constexpr std::u16string_view kColourOpen = u"<span style=\"color:";
constexpr std::u16string_view kColourTagEnd = u";\">";
constexpr std::u16string_view kColourStyleEnd = u";\"";
constexpr std::u16string_view kMouseOverOpen = u"onMouseOver=\"mOver(this,'";
constexpr std::u16string_view kMouseHandlersEnd = u"');\" onMouseOut=\"mOut(this,2);\" ";
constexpr std::u16string_view kTagEnd = u">";
constexpr std::u16string_view kColourClose = u"</span>";
constexpr std::u16string_view kStyleOpen = u" style=\"font-size:";
constexpr std::u16string_view kFontFamilyLead = u"pt;font-family:";
constexpr std::u16string_view kCellColourLead = u";color:";
constexpr std::u16string_view kCellStyleEnd = u";\" ";
constexpr std::u16string_view kTitleFamilyEnd = u";";
constexpr std::u16string_view kTitleNoBorder = u"border:0;";
constexpr std::u16string_view kTitleStyleEnd = u"\" ";
constexpr std::u16string_view kEuroReference = u"&#8364;";
constexpr std::u16string_view kEmptyDateCell = u"&nbsp;";
constexpr std::u16string_view kNullText = u"<NULL>";
constexpr std::u16string_view kEuroSign = u"\u20AC";

// Keys of a quantity's settings: the quantity's field name followed by one of these.
constexpr std::u16string_view kThresholdValueKey = u"|thresholdvalue";
constexpr std::u16string_view kThresholdColourKey = u"|thresholdcolouring";
constexpr std::u16string_view kDigitsKey = u"|numdigits";
constexpr std::u16string_view kDetailDigitsKey = u"|detail_numdigits";
constexpr std::u16string_view kDenominatorFormulaKey = u"|quantity_formula_dnm";

constexpr std::u16string_view kNumberFormat = u"number";
constexpr std::u16string_view kCurrencyFormat = u"currency";
constexpr std::u16string_view kPercentFormat = u"percent";
constexpr std::u16string_view kDateFormat = u"date";
constexpr std::u16string_view kDetailReport = u"detail";
constexpr std::u16string_view kParenthesesSwitch = u"Yes";
constexpr std::u16string_view kNoCurrencySymbol = u"none";

// Denominators this close to zero give the zero text instead of a quotient.
constexpr double kDivisionLimit = 0.001;
constexpr double kNumberLimit = 0.0001;
constexpr double kPercentLimit = 0.01;
constexpr double kPercentScale = 100.0;
// The whole-percent rule cuts the last two decimals and the percent sign.
constexpr size_t kWholePercentCut = 3;

// How negative values are written: leading zero and parentheses for the number and percent
// forms (the currency form always shows the leading zero).
struct NegativeStyle {
  TriState leading_zero;
  TriState parentheses;
};

// The threshold colouring of one quantity. The colour and the link flag are read only when a
// value is coloured.
struct Threshold {
  const VARIANT& value;    // thresholdvalue
  const VARIANT& colour;   // thresholdcolouring
  const VARIANT& is_link;  // isLink: coloured values get the mouse handlers
};

// The text of a currency cell, and whether the caller's symbol was "none" (and so becomes "").
struct CurrencyCell {
  std::u16string text;
  bool symbol_is_none;
};

// Whether the value's text, as Len sees it, is empty; nothing for Null. Only strings and
// objects need looking at: the text of a number is never empty, so it is not built.
Result<std::optional<bool>> TextIsEmpty(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt == VT_NULL) return std::optional<bool>();
  if (shallow.vt == VT_EMPTY) return std::optional<bool>(true);
  if (shallow.vt == VT_BSTR) return std::optional<bool>(SysStringLen(shallow.bstrVal) == 0);
  // Numbers, dates and Booleans always have a text of their own ("0", "False", a date).
  if (IsNumberType(shallow.vt)) return std::optional<bool>(false);
  Bstr text = TRY(ToBstr(value));
  return std::optional<bool>(text.size() == 0);
}

// Null, Empty or "": the values the render code treats as "no value".
Result<bool> IsNullOrWithoutLength(const VARIANT& value) {
  std::optional<bool> empty = TRY(TextIsEmpty(value));
  return !empty.has_value() || *empty;
}

// "Not flag" in a condition: true for everything but True (-1); a Null complement counts as
// false.
Result<bool> IsNotTrue(const VARIANT& flag) {
  Variant complement = TRY(Not(flag));
  if (complement.IsNull()) return false;
  return ToBool(complement);
}

Result<NegativeStyle> NegativeStyleOf(const VARIANT& negative_num_format) {
  if (TRY(EqualsText(negative_num_format, kParenthesesSwitch))) {
    return NegativeStyle{TriState::True, TriState::True};
  }
  return NegativeStyle{TriState::UseDefault, TriState::UseDefault};
}

// The denominator when |d| exceeds `limit`; nothing otherwise, and for Null (|Null| > limit is
// Null, which counts as false). A non-numeric string fails with type mismatch (13).
Result<std::optional<double>> DenominatorAbove(const VARIANT& d, double limit) {
  if (IsNullValue(d)) return std::optional<double>();
  double denominator = TRY(ToDouble(d));
  if (!(std::fabs(denominator) > limit)) return std::optional<double>();
  return std::optional<double>(denominator);
}

// n / d as a double; a quotient beyond the double range overflows (6).
Result<double> Quotient(const VARIANT& n, double d) {
  double quotient = TRY(ToDouble(n)) / d;
  if (!std::isfinite(quotient)) return ErrorNumber::Overflow;
  return quotient;
}

// The platform's number and percent forms of a double, in the thread's locale, with the
// locale's grouping.
Result<std::u16string> NumberForm(double value, int digits, NegativeStyle style) {
  return FormatNumberText(value, digits, style.leading_zero, style.parentheses,
                          TriState::UseDefault, CurrentLocale());
}

Result<std::u16string> PercentForm(double value, int digits, NegativeStyle style) {
  return FormatPercentText(value, digits, style.leading_zero, style.parentheses,
                           TriState::UseDefault, CurrentLocale());
}

Result<std::u16string> CurrencyForm(double value, int digits, TriState leading_zero,
                                    TriState parentheses) {
  return FormatCurrencyText(value, digits, leading_zero, parentheses, TriState::UseDefault,
                            CurrentLocale());
}

constexpr NegativeStyle kLocaleDefaults{TriState::UseDefault, TriState::UseDefault};

// Whether `compared` ≥ the threshold by the value type's comparison: an Empty threshold counts
// as 0, a Null one makes the test Null, which counts as false (so the value is coloured).
Result<bool> ReachesThreshold(double compared, const VARIANT& threshold) {
  Variant left = Variant::FromR8(compared);
  Comparison outcome = TRY(Compare(left, threshold));
  return outcome == Comparison::Greater || outcome == Comparison::Equal;
}

// The text in a coloured span; inside a link the span also carries the mouse handlers, whose
// quote is followed directly by onMouseOver.
Result<std::u16string> ColouredText(std::u16string_view text, const VARIANT& colour_value,
                                    bool is_link) {
  std::u16string colour = TRY(ConcatenatedText(colour_value));
  std::u16string coloured(kColourOpen);
  coloured += colour;
  if (is_link) {
    coloured += kColourStyleEnd;
    coloured += kMouseOverOpen;
    coloured += colour;
    coloured += kMouseHandlersEnd;
    coloured += kTagEnd;
  } else {
    coloured += kColourTagEnd;
  }
  coloured += text;
  coloured += kColourClose;
  return coloured;
}

// The formatted text, coloured when `compared` lies below the threshold.
Result<std::u16string> ApplyThreshold(std::u16string text, double compared,
                                      const Threshold& threshold) {
  if (TRY(ReachesThreshold(compared, threshold.value))) return text;
  return ColouredText(text, threshold.colour, TRY(IsTrue(threshold.is_link)));
}

// myFormatNumber after its flag: the zero text for a near-zero denominator, else n / d.
Result<std::u16string> NumberCellText(bool show_threshold, const VARIANT& n, const VARIANT& d,
                                      const Threshold& threshold, int digits,
                                      NegativeStyle style) {
  double denominator = TRY(ToDouble(d));
  if (std::fabs(denominator) <= kNumberLimit) return NumberForm(0.0, digits, kLocaleDefaults);
  double quotient = TRY(Quotient(n, denominator));
  std::u16string text = TRY(NumberForm(quotient, digits, style));
  if (!show_threshold) return text;
  return ApplyThreshold(std::move(text), quotient, threshold);
}

// Whole percents for quantities without a denominator formula: the last two decimals go with
// the percent sign ("12.50%" → "12%", "(12.50%)" → "(12)%", "12.345%" → "12.3%"). A text
// without decimals is left alone, since the cut would eat integer digits ("125%" would become
// "1%"); the separator left at the end is the locale's own ("12,50%" → "12%" in German).
std::u16string WholePercent(std::u16string text, std::u16string_view decimal_separator) {
  if (TrimSpaces(text).size() <= kWholePercentCut) return text;
  if (decimal_separator.empty() || text.find(decimal_separator) == std::u16string::npos) {
    return text;
  }
  bool negative = text.find(u'(') != std::u16string::npos;
  if (negative) std::erase_if(text, [](char16_t c) { return c == u'(' || c == u')'; });
  if (text.size() < kWholePercentCut) return text;  // the separator guarantees digits after it
  text.resize(text.size() - kWholePercentCut);
  if (text.ends_with(decimal_separator)) text.resize(text.size() - decimal_separator.size());
  if (negative) text = u"(" + text + u")";
  return text + u"%";
}

Result<std::u16string> PercentCellText(const VARIANT& n, const VARIANT& d,
                                       const Threshold& threshold, int digits,
                                       NegativeStyle style, const VARIANT& denominator_formula) {
  std::optional<double> denominator = TRY(DenominatorAbove(d, kPercentLimit));
  if (!denominator) return PercentForm(0.0, digits, kLocaleDefaults);
  double quotient = TRY(Quotient(n, *denominator));
  std::u16string text = TRY(PercentForm(quotient, digits, style));
  // Trim(Null) is Null, which is not empty: a Null formula keeps the decimals.
  if (!IsNullValue(denominator_formula)) {
    std::u16string formula = TRY(ConcatenatedText(denominator_formula));
    if (TrimSpaces(formula).empty()) {
      text = WholePercent(std::move(text), CurrentLocale().decimal_separator);
    }
  }
  return ApplyThreshold(std::move(text), quotient * kPercentScale, threshold);
}

// The currency text before the symbol rules: the zero text, or n / d coloured.
Result<std::u16string> CurrencyAmountText(const VARIANT& n, const VARIANT& d,
                                          const Threshold& threshold, int digits,
                                          TriState parentheses) {
  std::optional<double> denominator = TRY(DenominatorAbove(d, kPercentLimit));
  if (!denominator) {
    return CurrencyForm(0.0, digits, TriState::UseDefault, TriState::UseDefault);
  }
  double quotient = TRY(Quotient(n, *denominator));
  std::u16string text = TRY(CurrencyForm(quotient, digits, TriState::True, parentheses));
  return ApplyThreshold(std::move(text), quotient, threshold);
}

// myFormatCurrency: the amount with the euro sign as a character reference, then the page's
// currency symbol in place of the system's (over the whole text, markup included). A symbol
// "none" in any case stands for no symbol at all.
Result<CurrencyCell> CurrencyCellText(const VARIANT& n, const VARIANT& d,
                                      const Threshold& threshold, int digits,
                                      const VARIANT& currency_symbol,
                                      const VARIANT& system_currency_symbol,
                                      TriState parentheses) {
  std::u16string amount = TRY(CurrencyAmountText(n, d, threshold, digits, parentheses));
  std::u16string text = TRY(ReplaceAll(amount, kEuroSign, kEuroReference));
  CurrencyCell cell{std::move(text), false};
  // Trim(Null) is Null, whose length is no test: a Null symbol changes nothing.
  if (IsNullValue(currency_symbol)) return cell;
  std::u16string symbol = TRY(ConcatenatedText(currency_symbol));
  if (TrimSpaces(symbol).empty()) return cell;
  if (ToLower(symbol) == kNoCurrencySymbol) {
    cell.symbol_is_none = true;
    symbol.clear();
  }
  std::u16string system_symbol = TRY(RequiredText(system_currency_symbol));
  cell.text = TRY(ReplaceAll(cell.text, system_symbol, symbol));
  return cell;
}

// The item of the settings collection under field & suffix, read through its default member
// (a Scripting.Dictionary adds an absent key with an Empty item).
Result<Variant> ReadSetting(KeyedItems& settings, std::u16string_view field,
                            std::u16string_view suffix) {
  return settings.Read(report_data::KeyText{field, suffix});
}

// The settings argument must hold an object: 424 for anything else, 91 for Nothing.
Result<void> CheckSettingsObject(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt != VT_DISPATCH) return ErrorNumber::ObjectRequired;
  if (shallow.pdispVal == nullptr) return ErrorNumber::ObjectVariableNotSet;
  return {};
}

Result<KeyedItems> SettingsObject(const VARIANT& value) {
  TRY(CheckSettingsObject(value));
  return KeyedItems::Of(PeekValue(value));
}

// The settings of one quantity, as myFormatValue reads them: four reads of the collection.
struct QuantitySettings {
  Variant threshold_value;
  Variant threshold_colour;
  Variant digits;  // after fixZero; converted only by the formats that show digits
  Variant denominator_formula;
};

Result<QuantitySettings> ReadQuantitySettings(KeyedItems& settings, std::u16string_view field,
                                              bool detail_report) {
  QuantitySettings quantity;
  quantity.threshold_value = TRY(ReadSetting(settings, field, kThresholdValueKey));
  quantity.threshold_colour = TRY(ReadSetting(settings, field, kThresholdColourKey));
  quantity.digits =
      TRY(ReadSetting(settings, field, detail_report ? kDetailDigitsKey : kDigitsKey));
  if (TRY(IsNullOrWithoutLength(quantity.digits))) quantity.digits = Variant::FromI2(0);
  quantity.denominator_formula = TRY(ReadSetting(settings, field, kDenominatorFormulaKey));
  return quantity;
}

// The value myFormatValue formats: 0 for Null, Empty and "", a date as it is, else the number.
Result<Variant> CellValue(const VARIANT& n) {
  if (TRY(IsNullOrWithoutLength(n))) return Variant::FromR8(0.0);
  double number = TRY(ToDouble(n));
  VARIANT shallow = PeekValue(n);
  if (shallow.vt == VT_DATE) return Variant::FromDate(shallow.date);
  return Variant::FromR8(number);
}

// The format names of myFormatValue, compared case-sensitively; Other for anything else.
enum class CellFormat { Number, Currency, Percent, Date, Other };

Result<CellFormat> CellFormatOf(const VARIANT& format) {
  if (TRY(EqualsText(format, kNumberFormat))) return CellFormat::Number;
  if (TRY(EqualsText(format, kCurrencyFormat))) return CellFormat::Currency;
  if (TRY(EqualsText(format, kPercentFormat))) return CellFormat::Percent;
  if (TRY(EqualsText(format, kDateFormat))) return CellFormat::Date;
  return CellFormat::Other;
}

// What myFormatValue passes on besides the settings.
struct CellRequest {
  const Variant& value;
  const VARIANT& denominator;
  CellFormat format;
  bool has_denominator;
  const VARIANT& currency_symbol;  // already trimmed by the caller
  const VARIANT& system_currency_symbol;
  const VARIANT& is_link;  // a Boolean
  const VARIANT& negative_num_format;
};

// The cell of a quantity shown without its denominator as a plain number: the threshold test
// compares both sides as doubles, and no near-zero rule applies.
Result<Variant> PlainNumberCell(const CellRequest& request, const QuantitySettings& settings) {
  double value = TRY(ToDouble(request.value));
  int digits = TRY(ToInt32(settings.digits));
  NegativeStyle style = TRY(NegativeStyleOf(request.negative_num_format));
  std::u16string text = TRY(NumberForm(value, digits, style));
  if (value < TRY(ToDouble(settings.threshold_value))) {
    text = TRY(ColouredText(text, settings.threshold_colour, TRY(IsTrue(request.is_link))));
  }
  return TextResult(text);
}

// The text of a number (with its denominator), currency or percent cell; a quantity without
// a denominator divides by 1.
Result<std::u16string> QuantityText(const CellRequest& request,
                                    const QuantitySettings& settings) {
  Threshold threshold{settings.threshold_value, settings.threshold_colour, request.is_link};
  Variant one = Variant::FromR8(1.0);
  const VARIANT& denominator = request.has_denominator ? request.denominator : one;
  int digits = TRY(ToInt32(settings.digits));
  NegativeStyle style = TRY(NegativeStyleOf(request.negative_num_format));
  if (request.format == CellFormat::Number) {
    return NumberCellText(true, request.value, denominator, threshold, digits, style);
  }
  if (request.format == CellFormat::Percent) {
    return PercentCellText(request.value, denominator, threshold, digits, style,
                           settings.denominator_formula);
  }
  CurrencyCell cell = TRY(CurrencyCellText(request.value, denominator, threshold, digits,
                                           request.currency_symbol,
                                           request.system_currency_symbol, style.parentheses));
  return std::move(cell.text);
}

Result<Variant> FormatCell(const CellRequest& request, const QuantitySettings& settings) {
  switch (request.format) {
    case CellFormat::Other:
      return Variant();
    case CellFormat::Date:
      // A date stays a date value; whoever prints it writes it in the locale's date form.
      if (request.has_denominator) return Variant();
      if (TRY(ToDouble(request.value)) == 0.0) return TextResult(kEmptyDateCell);
      return request.value;
    case CellFormat::Number:
      if (!request.has_denominator) return PlainNumberCell(request, settings);
      break;
    case CellFormat::Currency:
    case CellFormat::Percent:
      break;
  }
  std::u16string text = TRY(QuantityText(request, settings));
  return TextResult(text);
}

// Trim(currency_symbol), as myFormatValue hands it on: Null stays Null.
Result<Variant> TrimmedSymbol(const VARIANT& currency_symbol) {
  if (IsNullValue(currency_symbol)) return Variant::Null();
  std::u16string symbol = TRY(ConcatenatedText(currency_symbol));
  return Variant::FromString(TrimSpaces(symbol));
}

// A cell inside a link has no font colour of its own: Empty or "" (Null is no test, so false).
Result<bool> IsLinkColour(const VARIANT& default_font_color) {
  std::optional<bool> empty = TRY(TextIsEmpty(default_font_color));
  return empty.has_value() && *empty;
}

// The bodies of the members the renderer calls for every cell, on either kind of argument list
// (the member's DispatchArguments, or the renderer's arguments first-first).

// fixZero(numToFix)
template <class Arguments>
Result<Variant> FixZeroOf(const Arguments& arguments) {
  if (TRY(IsNullOrWithoutLength(arguments[0]))) return Variant::FromI2(0);
  return ValueOf(arguments[0]);
}

// myDivision(n, d)
template <class Arguments>
Result<Variant> DivisionOf(const Arguments& arguments) {
  std::optional<double> denominator = TRY(DenominatorAbove(arguments[1], kDivisionLimit));
  if (!denominator) return Variant::FromR8(0.0);
  return Divide(arguments[0], arguments[1]);
}

// myFormatPercentNoColor(n, d, numdigits, negative_num_format)
template <class Arguments>
Result<Variant> FormatPercentNoColorOf(const Arguments& arguments) {
  const VARIANT& n = arguments[0];
  const VARIANT& d = arguments[1];
  int digits = TRY(ToInt32(arguments[2]));
  auto zero = [&]() -> Result<Variant> {
    return TextResult(TRY(PercentForm(0.0, digits, kLocaleDefaults)));
  };
  std::optional<bool> empty = TRY(TextIsEmpty(n));
  // IsNumeric guards the |d| test, so a non-numeric d gives the zero text.
  if (!empty.has_value() || *empty || !IsNumeric(d)) return zero();
  std::optional<double> denominator = TRY(DenominatorAbove(d, kPercentLimit));
  if (!denominator) return zero();
  NegativeStyle style = TRY(NegativeStyleOf(arguments[3]));
  double quotient = TRY(Quotient(n, *denominator));
  std::u16string text = TRY(PercentForm(quotient, digits, style));
  return TextResult(text);
}

// myFormatValue(quantityFieldName, n, d, format, hasdenom, cache_schemaReportQuantities,
// currency_symbol, system_currency_symbol, default_font_color, negative_num_format,
// reporttype1)
template <class Arguments>
Result<Variant> FormatValueWith(const Arguments& arguments, const Variant& value,
                                KeyedItems& settings) {
  std::u16string field = TRY(ConcatenatedText(arguments[0]));
  bool detail_report = TRY(EqualsText(arguments[10], kDetailReport));
  QuantitySettings quantity = TRY(ReadQuantitySettings(settings, field, detail_report));
  CellFormat format = TRY(CellFormatOf(arguments[3]));
  // Trim(currency_symbol) is handed on to the currency formatter only.
  Variant symbol;
  if (format == CellFormat::Currency) symbol = TRY(TrimmedSymbol(arguments[6]));
  bool has_denominator = TRY(IsTrue(arguments[4]));
  Variant is_link = Variant::FromBool(TRY(IsLinkColour(arguments[8])));
  CellRequest request{value,  arguments[2], format,  has_denominator,
                      symbol, arguments[7], is_link, arguments[9]};
  return FormatCell(request, quantity);
}

template <class Arguments>
Result<Variant> FormatValueOf(const Arguments& arguments) {
  Variant value = TRY(CellValue(arguments[1]));
  KeyedItems settings = TRY(SettingsObject(arguments[5]));
  return FormatValueWith(arguments, value, settings);
}
}  // namespace

// fixZero(numToFix)
Result<Variant> UtilitiesClass::fixZero(const DispatchArguments& arguments) {
  return FixZeroOf(arguments);
}

// nullFix(inputToFix)
Result<Variant> UtilitiesClass::nullFix(const DispatchArguments& arguments) {
  if (IsNullValue(arguments[0])) return Variant::FromString(kNullText);
  return ValueOf(arguments[0]);
}

// nullFix2(inputToFix)
Result<Variant> UtilitiesClass::nullFix2(const DispatchArguments& arguments) {
  if (IsNullValue(arguments[0])) return Variant::FromString(u"");
  return ValueOf(arguments[0]);
}

// changeValueFormat(n, fmt, numdigits): fmt and numdigits are accepted and have no effect.
Result<Variant> UtilitiesClass::changeValueFormat(const DispatchArguments& arguments) {
  const VARIANT& n = arguments[0];
  if (IsNullValue(n)) return Variant::FromI2(0);
  if (IsNumeric(n)) return Variant::FromR8(TRY(ToDouble(n)));
  return ValueOf(n);
}

// myDivision(n, d)
Result<Variant> UtilitiesClass::myDivision(const DispatchArguments& arguments) {
  return DivisionOf(arguments);
}

// myFormatNumber(showThreshold, n, d, thresholdvalue, thresholdcolouring, numdigits, isLink,
// negative_num_format)
Result<Variant> UtilitiesClass::myFormatNumber(const DispatchArguments& arguments) {
  bool show_threshold = !TRY(IsNotTrue(arguments[0]));
  int digits = TRY(ToInt32(arguments[5]));
  NegativeStyle style = TRY(NegativeStyleOf(arguments[7]));
  Threshold threshold{arguments[3], arguments[4], arguments[6]};
  std::u16string text =
      TRY(NumberCellText(show_threshold, arguments[1], arguments[2], threshold, digits, style));
  return TextResult(text);
}

// myFormatPercent(n, d, thresholdvalue, thresholdcolouring, numdigits, isLink,
// negative_num_format, qtyDnm)
Result<Variant> UtilitiesClass::myFormatPercent(const DispatchArguments& arguments) {
  int digits = TRY(ToInt32(arguments[4]));
  NegativeStyle style = TRY(NegativeStyleOf(arguments[6]));
  Threshold threshold{arguments[2], arguments[3], arguments[5]};
  std::u16string text =
      TRY(PercentCellText(arguments[0], arguments[1], threshold, digits, style, arguments[7]));
  return TextResult(text);
}

// myFormatPercentNoColor(n, d, numdigits, negative_num_format)
Result<Variant> UtilitiesClass::myFormatPercentNoColor(const DispatchArguments& arguments) {
  return FormatPercentNoColorOf(arguments);
}

// myFormatCurrency(n, d, thresholdvalue, thresholdcolouring, numdigits, currency_symbol,
// system_currency_symbol, isLink, negative_num_format). A currency_symbol of "none" (any case)
// is set to "" in the caller's variable, once the text is complete.
Result<Variant> UtilitiesClass::myFormatCurrency(const DispatchArguments& arguments) {
  int digits = TRY(ToInt32(arguments[4]));
  NegativeStyle style = TRY(NegativeStyleOf(arguments[8]));
  Threshold threshold{arguments[2], arguments[3], arguments[7]};
  CurrencyCell cell = TRY(CurrencyCellText(arguments[0], arguments[1], threshold, digits,
                                           arguments[5], arguments[6], style.parentheses));
  Variant result = TRY(TextResult(cell.text));
  if (cell.symbol_is_none) TRY(arguments.Assign(5, Variant::FromString(u"")));
  return result;
}

// myFormatValue(quantityFieldName, n, d, format, hasdenom, cache_schemaReportQuantities,
// currency_symbol, system_currency_symbol, default_font_color, negative_num_format,
// reporttype1)
Result<Variant> UtilitiesClass::myFormatValue(const DispatchArguments& arguments) {
  return FormatValueOf(arguments);
}

// getPreCellHtml(default_font_size, default_font_family, default_font_color)
Result<Variant> UtilitiesClass::getPreCellHtml(const DispatchArguments& arguments) {
  std::u16string html(kStyleOpen);
  html += TRY(ConcatenatedText(arguments[0]));
  html += kFontFamilyLead;
  html += TRY(ConcatenatedText(arguments[1]));
  html += kCellColourLead;
  html += TRY(ConcatenatedText(arguments[2]));
  html += kCellStyleEnd;
  return TextResult(html);
}

// getPreTitleHtml(default_font_size, default_font_family, enable_nondrilldown_hyperlinks)
Result<Variant> UtilitiesClass::getPreTitleHtml(const DispatchArguments& arguments) {
  bool no_border = TRY(IsNotTrue(arguments[2]));
  std::u16string html(kStyleOpen);
  html += TRY(ConcatenatedText(arguments[0]));
  html += kFontFamilyLead;
  html += TRY(ConcatenatedText(arguments[1]));
  html += kTitleFamilyEnd;
  if (no_border) html += kTitleNoBorder;
  html += kTitleStyleEnd;
  return TextResult(html);
}

namespace utilities_internal {

namespace {

// The renderer passes each member exactly the arguments the member table requires.
Result<void> CheckCount(std::span<const VARIANT> arguments, size_t count) {
  if (arguments.size() != count) return ErrorNumber::WrongNumberOfArguments;
  return {};
}

}  // namespace

Result<Variant> FixZero(std::span<const VARIANT> arguments) {
  TRY(CheckCount(arguments, 1));
  return FixZeroOf(arguments);
}

Result<Variant> Division(std::span<const VARIANT> arguments) {
  TRY(CheckCount(arguments, 2));
  return DivisionOf(arguments);
}

Result<Variant> FormatPercentNoColor(std::span<const VARIANT> arguments) {
  TRY(CheckCount(arguments, 4));
  return FormatPercentNoColorOf(arguments);
}

Result<Variant> FormatValue(std::span<const VARIANT> arguments) {
  TRY(CheckCount(arguments, 11));
  return FormatValueOf(arguments);
}

Result<Variant> FormatValue(std::span<const VARIANT> arguments, KeyedItems& settings) {
  TRY(CheckCount(arguments, 11));
  Variant value = TRY(CellValue(arguments[1]));
  TRY(CheckSettingsObject(arguments[5]));
  return FormatValueWith(arguments, value, settings);
}

}  // namespace utilities_internal
