// Numbers to text: the display form of doubles, singles and currency amounts, and the number,
// percent and currency formatters.
//
// Everything works on a decimal digit string taken from the value first (15 significant digits
// for a double, the exact amount for currency), so rounding happens on the digits the user
// would see and never shows binary noise.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <vector>

#include "platform/automation/number_text.h"

namespace {

constexpr int kDoubleSignificantDigits = 15;
constexpr int kSingleSignificantDigits = 7;
// Display form switches to E notation for decimal exponents below this.
constexpr int kSmallestPlainExponent = -4;
// The formatters accept 0..kMaxFormatDigits decimals, or -1 for the locale's default.
constexpr int kMaxFormatDigits = 255;
constexpr int kLocaleDefaultDigits = -1;
constexpr int64_t kCurrencyScale = 10000;
constexpr int kCurrencyDecimals = 4;

// A finite decimal number: value = (negative ? -1 : 1) x 0.digits x 10^point. `digits` holds
// ASCII digits with no leading or trailing zeros and is empty for zero.
struct Decimal {
  bool negative = false;
  std::string digits;
  int point = 0;
};

void StripZeros(Decimal& decimal) {
  const size_t first = decimal.digits.find_first_not_of('0');
  if (first == std::string::npos) {
    decimal.digits.clear();
    decimal.point = 0;
    return;
  }
  decimal.digits.erase(0, first);
  decimal.point -= static_cast<int>(first);
  decimal.digits.erase(decimal.digits.find_last_not_of('0') + 1);
}

// The exponent after the "e" of to_chars' scientific form: a sign, then two or more digits.
int ScientificExponent(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
  int exponent = 0;
  std::from_chars(text.data(), text.data() + text.size(), exponent);
  return negative ? -exponent : exponent;
}

// The decimal of to_chars' scientific text with a precision: "-d.ddde+xx" (the same in every C
// locale), one digit before the point and `precision` after it. The digits are read by their
// places, without the point and trailing zeros; the first is never 0 unless the value is.
Decimal DecimalFromScientific(std::string_view text, int precision) {
  Decimal decimal;
  size_t position = 0;
  if (!text.empty() && text[0] == '-') {
    decimal.negative = true;
    position = 1;
  }
  const size_t exponent_mark = position + 2 + static_cast<size_t>(precision);
  if (precision <= 0 || exponent_mark >= text.size() || text[exponent_mark] != 'e' ||
      text[position] == '0') {
    return Decimal{};
  }
  char digits[64];
  digits[0] = text[position];
  const size_t fraction = static_cast<size_t>(precision);
  std::memcpy(digits + 1, text.data() + position + 2, std::min(fraction, sizeof digits - 1));
  size_t count = std::min(fraction, sizeof digits - 1) + 1;
  while (count > 1 && digits[count - 1] == '0') --count;
  decimal.digits.assign(digits, count);
  decimal.point = ScientificExponent(text.substr(exponent_mark + 1)) + 1;
  return decimal;
}

// The value rounded to `significant_digits` digits.
// The 15 significant digits of a double between 1e-8 and 1e15 in magnitude, worked out in
// integers: with value = m x 2^-s, the digits are m x 10^k / 2^s for the k that leaves 15 of
// them before the point, rounded half to even on the exact remainder (as the C library's
// formatting does). m < 2^53 and 10^k <= 10^22 keep the product below 2^127. Nothing outside
// that range; the caller then asks to_chars.
std::optional<Decimal> DecimalFromDoubleInRange(double value) {
  using Wide = unsigned __int128;
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  if (biased == 0 || biased == 0x7FF) return std::nullopt;  // zero, subnormal, infinite, NaN
  const uint64_t mantissa = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
  const int binary_exponent = biased - 1023;                   // value = 1.f x 2^binary_exponent
  const int shift = 52 - binary_exponent;                       // value = mantissa / 2^shift
  if (binary_exponent < -27 || binary_exponent > 49 || shift <= 0 || shift >= 127) return std::nullopt;
  constexpr uint64_t kLowest = 100000000000000;  // 10^14
  constexpr uint64_t kLimit = 1000000000000000;  // 10^15
  // floor(log10(2) x binary_exponent): the decimal exponent, or one below it.
  int decimal_exponent = (binary_exponent * 78913) >> 18;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int k = 14 - decimal_exponent;
    if (k < 0 || k > 22) return std::nullopt;
    Wide power = 1;
    for (int i = 0; i < k; ++i) power *= 10;
    const Wide product = Wide{mantissa} * power;
    const Wide quotient = product >> shift;
    if (quotient >= kLimit) {
      ++decimal_exponent;
      continue;
    }
    if (quotient < kLowest) return std::nullopt;  // the estimate is never too high
    const Wide remainder = product - (quotient << shift);
    const Wide half = Wide{1} << (shift - 1);
    uint64_t digits_value = static_cast<uint64_t>(quotient);
    if (remainder > half || (remainder == half && (digits_value & 1) != 0)) ++digits_value;
    int exponent = decimal_exponent;
    if (digits_value == kLimit) {  // 999...9.5 rounds up to the next power of ten
      digits_value = kLowest;
      ++exponent;
    }
    char digits[15];
    for (int i = 14; i >= 0; --i) {
      digits[i] = static_cast<char>('0' + digits_value % 10);
      digits_value /= 10;
    }
    size_t count = 15;
    while (count > 1 && digits[count - 1] == '0') --count;
    Decimal decimal;
    decimal.negative = negative;
    decimal.digits.assign(digits, count);
    decimal.point = exponent + 1;
    return decimal;
  }
  return std::nullopt;
}

template <class Binary>
Decimal DecimalFromBinary(Binary value, int significant_digits) {
  if constexpr (std::is_same_v<Binary, double>) {
    if (significant_digits == kDoubleSignificantDigits) {
      if (std::optional<Decimal> decimal = DecimalFromDoubleInRange(value)) return *std::move(decimal);
    }
  }
  char buffer[64];
  const std::to_chars_result written = std::to_chars(
      buffer, buffer + sizeof buffer, value, std::chars_format::scientific, significant_digits - 1);
  if (written.ec != std::errc()) return Decimal{};
  return DecimalFromScientific(std::string_view(buffer, static_cast<size_t>(written.ptr - buffer)),
                               significant_digits - 1);
}

Decimal DecimalFromCurrency(CY value) {
  // Negating through unsigned arithmetic keeps the most negative amount exact.
  const bool negative = value.int64 < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value.int64)
                                      : static_cast<uint64_t>(value.int64);
  Decimal decimal;
  decimal.negative = negative;
  decimal.digits = std::to_string(magnitude);
  decimal.point = static_cast<int>(decimal.digits.size()) - kCurrencyDecimals;
  StripZeros(decimal);
  if (decimal.digits.empty()) decimal.negative = false;
  return decimal;
}

// The digits before the decimal point, zero-filled up to it; empty below 1.
std::string IntegerDigits(const Decimal& decimal) {
  if (decimal.point <= 0) return {};
  const size_t length = static_cast<size_t>(decimal.point);
  std::string digits = decimal.digits.substr(0, length);
  digits.resize(length, '0');
  return digits;
}

// `count` digits after the decimal point, zero-filled past the known digits.
std::string FractionDigits(const Decimal& decimal, int count) {
  std::string digits(static_cast<size_t>(count), '0');
  for (int i = 0; i < count; ++i) {
    const int64_t index = static_cast<int64_t>(decimal.point) + i;
    if (index >= 0 && index < static_cast<int64_t>(decimal.digits.size())) {
      digits[static_cast<size_t>(i)] = decimal.digits[static_cast<size_t>(index)];
    }
  }
  return digits;
}

// The digits after the point that the value actually has.
int FractionLength(const Decimal& decimal) {
  const int length = static_cast<int>(decimal.digits.size()) - decimal.point;
  return length > 0 ? length : 0;
}

void AppendAscii(std::u16string& out, std::string_view ascii) {
  out.append(ascii.begin(), ascii.end());
}

// Plain notation with every known digit and no grouping: "-0.0001", "1234.5".
std::u16string PlainText(const Decimal& decimal, std::u16string_view decimal_separator) {
  std::u16string text;
  if (decimal.negative) text.push_back(u'-');
  const std::string integer = IntegerDigits(decimal);
  AppendAscii(text, integer.empty() ? "0" : integer);
  const int fraction_length = FractionLength(decimal);
  if (fraction_length == 0) return text;
  text.append(decimal_separator);
  AppendAscii(text, FractionDigits(decimal, fraction_length));
  return text;
}

// E notation as the platform spells it: "1.5E-07", "1E+15", at least two exponent digits.
std::u16string ScientificText(const Decimal& decimal, std::u16string_view decimal_separator) {
  std::u16string text;
  if (decimal.negative) text.push_back(u'-');
  text.push_back(static_cast<char16_t>(decimal.digits[0]));
  if (decimal.digits.size() > 1) {
    text.append(decimal_separator);
    AppendAscii(text, std::string_view(decimal.digits).substr(1));
  }
  const int exponent = decimal.point - 1;
  text.append(exponent < 0 ? u"E-" : u"E+");
  std::string exponent_digits = std::to_string(std::abs(exponent));
  if (exponent_digits.size() < 2) exponent_digits.insert(0, "0");
  AppendAscii(text, exponent_digits);
  return text;
}

// E notation for exponents below -4 or from the precision up, as C's %G chooses.
std::u16string DisplayText(const Decimal& decimal, int significant_digits,
                           const LocaleInfo& locale) {
  if (decimal.digits.empty()) return u"0";
  const int exponent = decimal.point - 1;
  if (exponent < kSmallestPlainExponent || exponent >= significant_digits) {
    return ScientificText(decimal, locale.decimal_separator);
  }
  return PlainText(decimal, locale.decimal_separator);
}

// Infinities and NaN are rejected by arithmetic; should one arrive anyway it gets a fixed,
// recognisable spelling instead of digits.
std::u16string NonFiniteText(double value) {
  if (std::isnan(value)) return u"NaN";
  return value < 0 ? u"-Infinity" : u"Infinity";
}

}  // namespace

std::u16string DoubleToText(double value, const LocaleInfo& locale) {
  if (!std::isfinite(value)) return NonFiniteText(value);
  return DisplayText(DecimalFromBinary(value, kDoubleSignificantDigits),
                     kDoubleSignificantDigits, locale);
}

std::u16string SingleToText(float value, const LocaleInfo& locale) {
  if (!std::isfinite(value)) return NonFiniteText(value);
  return DisplayText(DecimalFromBinary(value, kSingleSignificantDigits),
                     kSingleSignificantDigits, locale);
}

std::u16string CurrencyToText(CY value, const LocaleInfo& locale) {
  const Decimal decimal = DecimalFromCurrency(value);
  if (decimal.digits.empty()) return u"0";
  return PlainText(decimal, locale.decimal_separator);
}

namespace {

enum class FormatKind { Number, Percent, Currency };

// Negative number patterns: N stands for the digits.
constexpr std::u16string_view kNegativeNumberPatterns[] = {u"(N)", u"-N", u"- N", u"N-",
                                                           u"N -"};
constexpr int kDefaultNegativeNumberPattern = 1;

// Currency patterns: N for the digits, S for the currency symbol.
constexpr std::u16string_view kPositiveCurrencyPatterns[] = {u"SN", u"NS", u"S N", u"N S"};
constexpr std::u16string_view kNegativeCurrencyPatterns[] = {
    u"(SN)", u"-SN",  u"S-N",  u"SN-",  u"(NS)",  u"-NS",   u"N-S",   u"NS-",
    u"-N S", u"-S N", u"N S-", u"S N-", u"S -N", u"N- S", u"(S N)", u"(N S)"};
constexpr int kDefaultPositiveCurrencyPattern = 0;
constexpr int kDefaultNegativeCurrencyPattern = 1;

// The minus-sign pattern that replaces each parentheses pattern when parentheses are refused.
struct PatternReplacement {
  int parentheses_pattern;
  int minus_pattern;
};
constexpr PatternReplacement kCurrencyParenthesesReplacements[] = {
    {0, 1}, {4, 5}, {14, 9}, {15, 8}};
constexpr int kNumberParenthesesPattern = 0;

// How the digits of one formatted value are laid out.
struct Layout {
  int decimals = 0;
  bool leading_zero = true;
  bool grouping = true;
  std::u16string_view decimal_separator;
  std::u16string_view group_separator;
  std::span<const uint8_t> group_sizes;
};

bool Resolve(TriState setting, bool locale_default) {
  if (setting == TriState::UseDefault) return locale_default;
  return setting != TriState::False;
}

Result<int> ResolveDigits(int digits, int locale_default) {
  if (digits == kLocaleDefaultDigits) return std::clamp(locale_default, 0, kMaxFormatDigits);
  if (digits < 0 || digits > kMaxFormatDigits) return ErrorNumber::InvalidProcedureCall;
  return digits;
}

Result<Layout> LayoutFor(FormatKind kind, int digits, TriState leading_zero, TriState grouping,
                         const LocaleInfo& locale) {
  const bool currency = kind == FormatKind::Currency;
  Layout layout;
  layout.decimals = TRY(ResolveDigits(digits, currency ? locale.currency_digits : locale.digits));
  layout.leading_zero = Resolve(leading_zero, locale.leading_zero);
  // The platform's formatters group unless told not to.
  layout.grouping = Resolve(grouping, true);
  layout.decimal_separator =
      currency ? locale.currency_decimal_separator : locale.decimal_separator;
  layout.group_separator = currency ? locale.currency_group_separator : locale.group_separator;
  const size_t group_count = std::min<size_t>(locale.grouping_count, locale.grouping.size());
  layout.group_sizes = std::span<const uint8_t>(locale.grouping.data(), group_count);
  return layout;
}

// Rounds half away from zero to `decimals` places; a value that rounds to zero loses its sign.
void RoundToDecimals(Decimal& decimal, int decimals) {
  const int64_t keep = static_cast<int64_t>(decimal.point) + decimals;
  if (keep >= static_cast<int64_t>(decimal.digits.size())) return;
  if (keep < 0) {
    decimal = Decimal{};
    return;
  }
  const bool round_up = decimal.digits[static_cast<size_t>(keep)] >= '5';
  decimal.digits.resize(static_cast<size_t>(keep));
  if (round_up) {
    size_t index = decimal.digits.size();
    while (index > 0 && decimal.digits[index - 1] == '9') decimal.digits[--index] = '0';
    if (index == 0) {
      decimal.digits.insert(0, "1");
      ++decimal.point;
    } else {
      ++decimal.digits[index - 1];
    }
  }
  // The first digit stays non-zero (a carry past it writes a 1), so only trailing zeros can
  // appear.
  while (!decimal.digits.empty() && decimal.digits.back() == '0') decimal.digits.pop_back();
  if (decimal.digits.empty()) decimal = Decimal{};
}

// Lengths of the digit groups from the decimal point leftwards. A 0 size repeats the size
// before it; when the sizes run out the remaining digits form one group. At most `capacity`
// groups are written (a separator between every digit of a 255-digit number still fits);
// returns the count.
constexpr size_t kMaxGroups = 320;
size_t GroupLengths(size_t digit_count, std::span<const uint8_t> sizes,
                    std::array<uint16_t, kMaxGroups>& lengths) {
  size_t count = 0;
  size_t remaining = digit_count;
  size_t index = 0;
  size_t size = 0;
  while (remaining > 0 && count < lengths.size()) {
    if (index < sizes.size() && sizes[index] != 0) {
      size = sizes[index++];
    } else if (index >= sizes.size() || size == 0) {
      size = remaining;  // no (more) grouping
    }
    if (count + 1 == lengths.size()) size = remaining;
    const size_t length = std::min(size, remaining);
    lengths[count++] = static_cast<uint16_t>(length);
    remaining -= length;
  }
  return count;
}

// The digit at `index` of the value's digits counted from the first, '0' past the known ones.
char DigitAt(const Decimal& decimal, int64_t index) {
  if (index < 0 || index >= static_cast<int64_t>(decimal.digits.size())) return '0';
  return decimal.digits[static_cast<size_t>(index)];
}

// Appends the integer digits, grouped as the layout says.
void AppendIntegerDigits(std::u16string& text, const Decimal& rounded, const Layout& layout) {
  const size_t length = static_cast<size_t>(rounded.point);
  if (!layout.grouping || layout.group_separator.empty()) {
    for (size_t i = 0; i < length; ++i) text.push_back(static_cast<char16_t>(DigitAt(rounded, static_cast<int64_t>(i))));
    return;
  }
  std::array<uint16_t, kMaxGroups> lengths;
  const size_t groups = GroupLengths(length, layout.group_sizes, lengths);
  size_t position = 0;
  for (size_t g = groups; g-- > 0;) {
    if (position > 0) text.append(layout.group_separator);
    for (size_t i = 0; i < lengths[g]; ++i, ++position) {
      text.push_back(static_cast<char16_t>(DigitAt(rounded, static_cast<int64_t>(position))));
    }
  }
}

// Appends the unsigned digits of a rounded value: "1,234.50", "0.5" or ".5".
void AppendMagnitude(std::u16string& text, const Decimal& rounded, const Layout& layout) {
  if (rounded.point > 0) {
    AppendIntegerDigits(text, rounded, layout);
  } else if (layout.leading_zero || layout.decimals == 0) {
    text.push_back(u'0');  // a lone decimal separator would not read as a number
  }
  if (layout.decimals == 0) return;
  text.append(layout.decimal_separator);
  for (int i = 0; i < layout.decimals; ++i) {
    text.push_back(static_cast<char16_t>(DigitAt(rounded, static_cast<int64_t>(rounded.point) + i)));
  }
}

std::u16string MagnitudeText(const Decimal& rounded, const Layout& layout) {
  std::u16string text;
  text.reserve(static_cast<size_t>(std::max(rounded.point, 1)) * 2 + layout.decimals + 4);
  AppendMagnitude(text, rounded, layout);
  return text;
}

std::u16string ExpandPattern(std::u16string_view pattern, std::u16string_view number,
                             std::u16string_view symbol) {
  std::u16string text;
  for (char16_t c : pattern) {
    if (c == u'N') {
      text.append(number);
    } else if (c == u'S') {
      text.append(symbol);
    } else {
      text.push_back(c);
    }
  }
  return text;
}

template <size_t N>
std::u16string_view PatternAt(const std::u16string_view (&patterns)[N], int index,
                              int fallback) {
  if (index < 0 || static_cast<size_t>(index) >= N) index = fallback;
  return patterns[index];
}

int NegativeNumberPattern(TriState parentheses, int locale_pattern) {
  if (parentheses == TriState::True) return kNumberParenthesesPattern;
  if (parentheses == TriState::False && locale_pattern == kNumberParenthesesPattern) {
    return kDefaultNegativeNumberPattern;
  }
  return locale_pattern;
}

int NegativeCurrencyPattern(TriState parentheses, int locale_pattern) {
  if (parentheses != TriState::False) return locale_pattern;
  for (const PatternReplacement& replacement : kCurrencyParenthesesReplacements) {
    if (replacement.parentheses_pattern == locale_pattern) return replacement.minus_pattern;
  }
  return locale_pattern;
}

// Places the digits in the locale's currency pattern. Parentheses forced on wrap the positive
// form, so the symbol keeps its usual place.
std::u16string CurrencyText(std::u16string_view magnitude, bool negative, TriState parentheses,
                            const LocaleInfo& locale) {
  const std::u16string_view symbol = locale.currency_symbol;
  const std::u16string_view positive = PatternAt(
      kPositiveCurrencyPatterns, locale.positive_currency, kDefaultPositiveCurrencyPattern);
  if (!negative) return ExpandPattern(positive, magnitude, symbol);
  if (parentheses == TriState::True) {
    return u"(" + ExpandPattern(positive, magnitude, symbol) + u")";
  }
  const int pattern = NegativeCurrencyPattern(parentheses, locale.negative_currency);
  return ExpandPattern(
      PatternAt(kNegativeCurrencyPatterns, pattern, kDefaultNegativeCurrencyPattern), magnitude,
      symbol);
}

std::u16string NumberText(std::u16string&& magnitude, bool negative, TriState parentheses,
                          const LocaleInfo& locale) {
  if (!negative) return std::move(magnitude);
  const int pattern = NegativeNumberPattern(parentheses, locale.negative_number);
  return ExpandPattern(
      PatternAt(kNegativeNumberPatterns, pattern, kDefaultNegativeNumberPattern), magnitude, {});
}

// The formatted value into `out`. A positive number or percentage, what pages format most, is
// written straight into it.
Result<void> FormatDecimalInto(Decimal value, FormatKind kind, int digits, TriState leading_zero,
                               TriState parentheses, TriState grouping, const LocaleInfo& locale,
                               std::u16string& out) {
  const Layout layout = TRY(LayoutFor(kind, digits, leading_zero, grouping, locale));
  if (kind == FormatKind::Percent && !value.digits.empty()) value.point += 2;
  RoundToDecimals(value, layout.decimals);
  out.clear();
  if (kind != FormatKind::Currency && !value.negative) {
    AppendMagnitude(out, value, layout);
    if (kind == FormatKind::Percent) out.push_back(u'%');
    return {};
  }
  std::u16string magnitude = MagnitudeText(value, layout);
  if (kind == FormatKind::Currency) {
    out = CurrencyText(magnitude, value.negative, parentheses, locale);
    return {};
  }
  // The percent sign belongs to the amount, so a negative pattern encloses it: "(12.50%)".
  if (kind == FormatKind::Percent) magnitude.push_back(u'%');
  out = NumberText(std::move(magnitude), value.negative, parentheses, locale);
  return {};
}

Result<std::u16string> FormatDecimal(Decimal value, FormatKind kind, int digits,
                                     TriState leading_zero, TriState parentheses,
                                     TriState grouping, const LocaleInfo& locale) {
  std::u16string out;
  TRY(FormatDecimalInto(std::move(value), kind, digits, leading_zero, parentheses, grouping,
                        locale, out));
  return out;
}

Result<void> FormatDoubleAs(FormatKind kind, double value, int digits, TriState leading_zero,
                            TriState parentheses, TriState grouping, const LocaleInfo& locale,
                            std::u16string& out) {
  if (!std::isfinite(value)) return ErrorNumber::Overflow;
  return FormatDecimalInto(DecimalFromBinary(value, kDoubleSignificantDigits), kind, digits,
                           leading_zero, parentheses, grouping, locale, out);
}

Result<std::u16string> FormatDouble(double value, FormatKind kind, int digits,
                                    TriState leading_zero, TriState parentheses,
                                    TriState grouping, const LocaleInfo& locale) {
  std::u16string out;
  TRY(FormatDoubleAs(kind, value, digits, leading_zero, parentheses, grouping, locale, out));
  return out;
}

}  // namespace

Result<void> FormatDoubleInto(NumberForm form, double value, int digits, TriState leading_zero,
                              TriState parentheses, TriState grouping, const LocaleInfo& locale,
                              std::u16string& out) {
  const FormatKind kind = form == NumberForm::Percent    ? FormatKind::Percent
                          : form == NumberForm::Currency ? FormatKind::Currency
                                                         : FormatKind::Number;
  return FormatDoubleAs(kind, value, digits, leading_zero, parentheses, grouping, locale, out);
}

Result<std::u16string> FormatNumberText(double value, int digits, TriState leading_zero,
                                        TriState parentheses, TriState grouping,
                                        const LocaleInfo& locale) {
  return FormatDouble(value, FormatKind::Number, digits, leading_zero, parentheses, grouping,
                      locale);
}

Result<std::u16string> FormatPercentText(double value, int digits, TriState leading_zero,
                                         TriState parentheses, TriState grouping,
                                         const LocaleInfo& locale) {
  return FormatDouble(value, FormatKind::Percent, digits, leading_zero, parentheses, grouping,
                      locale);
}

Result<std::u16string> FormatCurrencyText(double value, int digits, TriState leading_zero,
                                          TriState parentheses, TriState grouping,
                                          const LocaleInfo& locale) {
  return FormatDouble(value, FormatKind::Currency, digits, leading_zero, parentheses, grouping,
                      locale);
}

Result<std::u16string> FormatNumberText(CY value, int digits, TriState leading_zero,
                                        TriState parentheses, TriState grouping,
                                        const LocaleInfo& locale) {
  return FormatDecimal(DecimalFromCurrency(value), FormatKind::Number, digits, leading_zero,
                       parentheses, grouping, locale);
}

Result<std::u16string> FormatPercentText(CY value, int digits, TriState leading_zero,
                                         TriState parentheses, TriState grouping,
                                         const LocaleInfo& locale) {
  return FormatDecimal(DecimalFromCurrency(value), FormatKind::Percent, digits, leading_zero,
                       parentheses, grouping, locale);
}

Result<std::u16string> FormatCurrencyText(CY value, int digits, TriState leading_zero,
                                          TriState parentheses, TriState grouping,
                                          const LocaleInfo& locale) {
  return FormatDecimal(DecimalFromCurrency(value), FormatKind::Currency, digits, leading_zero,
                       parentheses, grouping, locale);
}
