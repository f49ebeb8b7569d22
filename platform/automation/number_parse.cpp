// ParseNumber: numeric text in a locale's syntax to a double, the way the platform's
// string-to-number conversion reads it.
//
//   number   -> blanks prefix* digits exponent? suffix* blanks | "&H" hex | "&O" octal
//   prefix   -> sign | "(" | currency          (each at most once, blanks between)
//   digits   -> digit (digit | group)* (decimal digit*)? | decimal digit+
//   exponent -> ("E" | "e" | "D" | "d") sign? digit+
//   suffix   -> sign | ")" | currency

#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/automation/number_text.h"

namespace {

constexpr std::u16string_view kNoBreakSpace = u"\u00A0";

// Exponents are accumulated only up to this size: anything larger over- or underflows a double
// whatever the digits, and the cap keeps the arithmetic far from int64 limits.
constexpr int64_t kExponentCap = 1'000'000'000;

// Decimal exponents (of the first significant digit) past which a double is infinite or zero.
constexpr int64_t kLargestDecimalExponent = 400;
constexpr int64_t kSmallestDecimalExponent = -400;

// Values of &H and &O texts: up to 16 bits read as a 16-bit integer, up to 32 bits as a 32-bit
// one, two's complement either way.
constexpr uint64_t kMax16BitValue = 0xFFFF;
constexpr uint64_t kMax32BitValue = 0xFFFFFFFF;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsSign(char16_t c) { return c == u'+' || c == u'-'; }
bool IsExponentMark(char16_t c) { return c == u'E' || c == u'e' || c == u'D' || c == u'd'; }

// The separators a number may use. Money is often typed with the currency separators, so those
// count too unless they would clash with the number separators of the other kind.
struct Separators {
  std::array<std::u16string_view, 2> decimal;
  std::array<std::u16string_view, 3> group;
};

Separators SeparatorsOf(const LocaleInfo& locale) {
  Separators separators{};
  separators.decimal[0] = locale.decimal_separator;
  if (locale.currency_decimal_separator != locale.group_separator) {
    separators.decimal[1] = locale.currency_decimal_separator;
  }
  separators.group[0] = locale.group_separator;
  if (locale.currency_group_separator != locale.decimal_separator) {
    separators.group[1] = locale.currency_group_separator;
  }
  // A no-break space cannot be typed on most keyboards; people type a plain one.
  if (locale.group_separator == kNoBreakSpace) separators.group[2] = u" ";
  return separators;
}

// A cursor over the text being parsed.
class Scanner {
 public:
  explicit Scanner(std::u16string_view text) : text_(text) {}

  bool AtEnd() const { return position_ >= text_.size(); }
  char16_t Peek(size_t ahead = 0) const {
    return position_ + ahead < text_.size() ? text_[position_ + ahead] : u'\0';
  }
  void Advance() {
    if (!AtEnd()) ++position_;
  }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(Peek())) Advance();
  }
  // True when the text continues with `token`; an empty token never matches.
  bool StartsWith(std::u16string_view token) const {
    return !token.empty() && text_.substr(position_).substr(0, token.size()) == token;
  }
  bool Consume(std::u16string_view token) {
    if (!StartsWith(token)) return false;
    position_ += token.size();
    return true;
  }
  template <size_t N>
  bool StartsWithAny(const std::array<std::u16string_view, N>& tokens) const {
    for (std::u16string_view token : tokens) {
      if (StartsWith(token)) return true;
    }
    return false;
  }
  template <size_t N>
  bool ConsumeAny(const std::array<std::u16string_view, N>& tokens) {
    for (std::u16string_view token : tokens) {
      if (Consume(token)) return true;
    }
    return false;
  }

 private:
  std::u16string_view text_;
  size_t position_ = 0;
};

// What surrounds the digits: sign, parentheses and currency symbol, each allowed once.
struct Affixes {
  char16_t sign = 0;
  bool open_parenthesis = false;
  bool close_parenthesis = false;
  bool currency = false;
};

// prefix* : blanks, a sign, "(" and the currency symbol in any order.
void ScanPrefix(Scanner& scanner, const LocaleInfo& locale, Affixes& affixes) {
  for (;;) {
    scanner.SkipBlanks();
    if (!affixes.open_parenthesis && scanner.Peek() == u'(') {
      affixes.open_parenthesis = true;
      scanner.Advance();
    } else if (affixes.sign == 0 && IsSign(scanner.Peek())) {
      affixes.sign = scanner.Peek();
      scanner.Advance();
    } else if (!affixes.currency && scanner.Consume(locale.currency_symbol)) {
      affixes.currency = true;
    } else {
      return;
    }
  }
}

// suffix* : blanks, a sign, ")" and the currency symbol, each unless already seen.
void ScanSuffix(Scanner& scanner, const LocaleInfo& locale, Affixes& affixes) {
  for (;;) {
    scanner.SkipBlanks();
    if (affixes.open_parenthesis && !affixes.close_parenthesis && scanner.Peek() == u')') {
      affixes.close_parenthesis = true;
      scanner.Advance();
    } else if (affixes.sign == 0 && IsSign(scanner.Peek())) {
      affixes.sign = scanner.Peek();
      scanner.Advance();
    } else if (!affixes.currency && scanner.Consume(locale.currency_symbol)) {
      affixes.currency = true;
    } else {
      return;
    }
  }
}

// The digits of a decimal mantissa, integer and fraction digits together as ASCII:
// value = 0.digits x 10^point_position, before the exponent is applied.
struct Mantissa {
  std::string digits;
  int64_t point_position = 0;
};

// Integer digits, with group separators accepted anywhere after the first digit: the platform
// does not check where they stand, so "1,2,3" is 123.
void ScanIntegerDigits(Scanner& scanner, const Separators& separators, Mantissa& mantissa) {
  for (;;) {
    if (IsDigit(scanner.Peek())) {
      mantissa.digits.push_back(static_cast<char>(scanner.Peek()));
      ++mantissa.point_position;
      scanner.Advance();
      continue;
    }
    if (mantissa.digits.empty() || scanner.StartsWithAny(separators.decimal)) return;
    if (!scanner.ConsumeAny(separators.group)) return;
  }
}

// The decimal separator and the fraction digits after it; no group separators there.
void ScanFraction(Scanner& scanner, const Separators& separators, Mantissa& mantissa) {
  if (!scanner.ConsumeAny(separators.decimal)) return;
  while (IsDigit(scanner.Peek())) {
    mantissa.digits.push_back(static_cast<char>(scanner.Peek()));
    scanner.Advance();
  }
}

// exponent : E/e/D/d, optional sign, digits. Without a digit after the mark nothing is taken,
// so "1e" leaves the "e" behind and fails as stray text.
int64_t ScanExponent(Scanner& scanner) {
  if (!IsExponentMark(scanner.Peek())) return 0;
  const bool signed_exponent = IsSign(scanner.Peek(1));
  if (!IsDigit(scanner.Peek(signed_exponent ? 2 : 1))) return 0;
  const bool negative = scanner.Peek(1) == u'-';
  scanner.Advance();
  if (signed_exponent) scanner.Advance();
  int64_t exponent = 0;
  while (IsDigit(scanner.Peek())) {
    if (exponent < kExponentCap) exponent = exponent * 10 + (scanner.Peek() - u'0');
    scanner.Advance();
  }
  return negative ? -exponent : exponent;
}

// The double nearest 0.digits x 10^point_position; Overflow beyond the double range, zero
// below it.
Result<double> MantissaToDouble(Mantissa mantissa) {
  const size_t first = mantissa.digits.find_first_not_of('0');
  if (first == std::string::npos) return 0.0;
  mantissa.digits.erase(0, first);
  mantissa.point_position -= static_cast<int64_t>(first);
  const int64_t decimal_exponent = mantissa.point_position - 1;
  if (decimal_exponent > kLargestDecimalExponent) return ErrorNumber::Overflow;
  if (decimal_exponent < kSmallestDecimalExponent) return 0.0;
  // "d.ddde<exp>": the exponent is small now, and from_chars reads this form the same in every
  // C locale and rounds correctly.
  std::string text = mantissa.digits.substr(0, 1) + "." + mantissa.digits.substr(1) + "e" +
                     std::to_string(decimal_exponent);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    if (decimal_exponent > 0) return ErrorNumber::Overflow;
    return 0.0;
  }
  if (error != std::errc() || end != text.data() + text.size()) return ErrorNumber::TypeMismatch;
  return value;
}

bool SignsAreConsistent(const Affixes& affixes) {
  if (affixes.open_parenthesis != affixes.close_parenthesis) return false;
  return !(affixes.open_parenthesis && affixes.sign != 0);
}

Result<double> ParseDecimal(std::u16string_view text, const LocaleInfo& locale) {
  const Separators separators = SeparatorsOf(locale);
  Scanner scanner(text);
  Affixes affixes;
  Mantissa mantissa;
  ScanPrefix(scanner, locale, affixes);
  ScanIntegerDigits(scanner, separators, mantissa);
  ScanFraction(scanner, separators, mantissa);
  if (mantissa.digits.empty()) return ErrorNumber::TypeMismatch;
  const int64_t exponent = ScanExponent(scanner);
  ScanSuffix(scanner, locale, affixes);
  if (!scanner.AtEnd() || !SignsAreConsistent(affixes)) return ErrorNumber::TypeMismatch;
  mantissa.point_position += exponent;
  const double magnitude = TRY(MantissaToDouble(std::move(mantissa)));
  const bool negative = affixes.sign == u'-' || affixes.open_parenthesis;
  // A zero stays unsigned: "-0" is plain 0.
  return (negative && magnitude != 0) ? -magnitude : magnitude;
}

int RadixDigitValue(char16_t c, int radix) {
  int value = -1;
  if (c >= u'0' && c <= u'9') value = c - u'0';
  if (c >= u'A' && c <= u'F') value = c - u'A' + 10;
  if (c >= u'a' && c <= u'f') value = c - u'a' + 10;
  return value < radix ? value : -1;
}

// The digits after &H or &O. Any stray character is a type mismatch even when the digits
// before it already overflowed.
Result<double> ParseRadixInteger(std::u16string_view digits, int radix) {
  if (digits.empty()) return ErrorNumber::TypeMismatch;
  uint64_t value = 0;
  bool too_large = false;
  for (char16_t c : digits) {
    const int digit = RadixDigitValue(c, radix);
    if (digit < 0) return ErrorNumber::TypeMismatch;
    if (!too_large) value = value * radix + digit;
    too_large = too_large || value > kMax32BitValue;
  }
  if (too_large) return ErrorNumber::Overflow;
  if (value <= kMax16BitValue) return static_cast<double>(static_cast<int16_t>(value));
  return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)));
}

std::u16string_view TrimBlanks(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

Result<double> ParseNumber(std::u16string_view text, const LocaleInfo& locale) {
  const std::u16string_view trimmed = TrimBlanks(text);
  if (trimmed.size() >= 2 && trimmed[0] == u'&') {
    const char16_t kind = trimmed[1];
    if (kind == u'H' || kind == u'h') return ParseRadixInteger(trimmed.substr(2), 16);
    if (kind == u'O' || kind == u'o') return ParseRadixInteger(trimmed.substr(2), 8);
    return ErrorNumber::TypeMismatch;
  }
  return ParseDecimal(trimmed, locale);
}
