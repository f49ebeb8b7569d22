// The conversion functions: the C... casts (the value layer's conversions under their script
// names), Hex and Oct, the integer parts Int and Fix, Round, and the character codes
// Asc / Chr with their wide and byte forms.

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/automation/conversion.h"
#include "platform/automation/currency.h"
#include "platform/system/code_page.h"
#include "platform/vbscript/builtins/builtin_functions_internal.h"

namespace builtins {
namespace {

// ---- Hex and Oct ----

// The platform prints a negative number as the two's complement at the width of its type:
// 16 bits for the Integer family (Hex(-1) = "FFFF"), 32 for everything else, converted to a
// Long first (Hex(-32769) = "FFFF7FFF").
bool HasSixteenBits(VARTYPE type) { return type == VT_I2 || type == VT_BOOL || type == VT_UI1; }

// `bits` in base 2^shift with upper-case digits.
std::u16string DigitsInBase(uint32_t bits, unsigned shift) {
  constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  const uint32_t mask = (1u << shift) - 1;
  std::u16string reversed;
  do {
    reversed.push_back(kDigits[bits & mask]);
    bits >>= shift;
  } while (bits != 0);
  return std::u16string(reversed.rbegin(), reversed.rend());
}

Result<Variant> IntegerInBase(const BuiltinCall& call, unsigned shift) {
  Variant holder;
  VARIANT value = TRY(ReadValue(call[0], holder));
  if (value.vt == VT_NULL) return Variant::Null();
  int32_t number = TRY(ToInt32(value));
  uint32_t bits = HasSixteenBits(value.vt) ? static_cast<uint16_t>(number)
                                           : static_cast<uint32_t>(number);
  return MakeString(DigitsInBase(bits, shift));
}

// ---- Int and Fix ----

enum class Truncation { TowardZero, Down };

double TruncateDouble(double value, Truncation truncation) {
  return truncation == Truncation::Down ? std::floor(value) : std::trunc(value);
}

// Exact on the scaled amount; only Int of the most negative amounts can leave the range.
Result<CY> TruncateCurrency(CY amount, Truncation truncation) {
  int64_t whole = amount.int64 / kCurrencyScale;
  if (truncation == Truncation::Down && amount.int64 % kCurrencyScale < 0) {
    if (whole == std::numeric_limits<int64_t>::min() / kCurrencyScale) return ErrorNumber::Overflow;
    --whole;
  }
  return CY{whole * kCurrencyScale};
}

// The integer part keeps the argument's type: Int of a Double is a Double, of a Currency a
// Currency, of a Date a Date; Empty and Booleans become Integers, text becomes a Double.
Result<Variant> IntegerPart(const BuiltinCall& call, Truncation truncation) {
  Variant holder;
  VARIANT value = TRY(ReadValue(call[0], holder));
  switch (value.vt) {
    case VT_NULL: return Variant::Null();
    case VT_EMPTY: return Variant::FromI2(0);
    case VT_I2:
    case VT_I4:
    case VT_UI1: return Variant(value);
    case VT_BOOL: return Variant::FromI2(value.boolVal != 0 ? -1 : 0);
    case VT_R4: return Variant::FromR4(static_cast<float>(TruncateDouble(value.fltVal, truncation)));
    case VT_R8: return Variant::FromR8(TruncateDouble(value.dblVal, truncation));
    case VT_DATE: return Variant::FromDate(TruncateDouble(value.date, truncation));
    case VT_CY: return Variant::FromCurrency(TRY(TruncateCurrency(value.cyVal, truncation)));
    default: return Variant::FromR8(TruncateDouble(TRY(ToDouble(value)), truncation));
  }
}

// ---- Round ----

// A double has at most 1074 binary fraction digits, so rounding to more decimals changes
// nothing; the fixed-point text of any double fits the buffer below.
constexpr int kMaxFractionDigits = 1074;
constexpr size_t kFixedTextSize = 1600;

// Half to even on the exact binary value, as the platform rounds: Round(2.5) is 2,
// Round(0.125, 2) is 0.12 (an exact tie), and Round(2.675, 2) is 2.67 because 2.675 is stored
// as 2.67499999.... Scaling by 10^digits would round the product first and give 2.68. The C
// library's fixed-point printing rounds the exact value this way, and reading its digits back
// gives the nearest double.
double RoundDouble(double value, int digits) {
  if (!std::isfinite(value) || digits >= kMaxFractionDigits) return value;
  std::array<char, kFixedTextSize> text;
  int length = std::snprintf(text.data(), text.size(), "%.*f", digits, value);
  if (length < 0 || static_cast<size_t>(length) >= text.size()) return value;
  double rounded = std::strtod(text.data(), nullptr);
  return rounded == 0 ? 0.0 : rounded;  // no "-0" from Round(-0.4)
}

Result<CY> RoundCurrency(CY amount, int digits) {
  if (digits >= 4) return amount;
  int64_t unit = 1;
  for (int i = digits; i < 4; ++i) unit *= 10;
  int64_t whole = amount.int64 / unit;
  int64_t remainder = amount.int64 % unit;
  int64_t twice = remainder < 0 ? -2 * remainder : 2 * remainder;
  if (twice > unit || (twice == unit && whole % 2 != 0)) whole += remainder < 0 ? -1 : 1;
  int64_t rounded = 0;
  if (__builtin_mul_overflow(whole, unit, &rounded)) return ErrorNumber::Overflow;
  return CY{rounded};
}

Result<Variant> RoundValue(const VARIANT& value, int digits) {
  switch (value.vt) {
    case VT_EMPTY: return Variant::FromI2(0);
    case VT_I2:
    case VT_I4:
    case VT_UI1:
    case VT_BOOL: return Variant(value);  // Round(True) stays a Boolean
    case VT_R4: return Variant::FromR4(static_cast<float>(RoundDouble(value.fltVal, digits)));
    case VT_CY: return Variant::FromCurrency(TRY(RoundCurrency(value.cyVal, digits)));
    default: return Variant::FromR8(RoundDouble(TRY(ToDouble(value)), digits));
  }
}

// ---- Character codes ----

Result<char16_t> FirstCharacter(const BuiltinCall& call) {
  TextArgument text = TRY(ReadNonNullText(call[0]));
  if (text.view.empty()) return ErrorNumber::InvalidProcedureCall;
  return text.view.front();
}

Result<Variant> SingleCharacter(char16_t character) { return MakeString(std::u16string_view(&character, 1)); }

}  // namespace

Result<Variant> CBool(const BuiltinCall& call) { return ChangeType(call[0], VT_BOOL); }
// True is the byte 255: the Boolean's bits (-1) read as a byte.
Result<Variant> CByte(const BuiltinCall& call) {
  VARIANT value = PeekValue(call[0]);
  if (value.vt == VT_BOOL) return Variant::FromByte(value.boolVal != 0 ? 255 : 0);
  return ChangeType(call[0], VT_UI1);
}
Result<Variant> CCur(const BuiltinCall& call) { return ChangeType(call[0], VT_CY); }
// A string that is no date but a number ("36892.5") is that number as a date.
Result<Variant> CDate(const BuiltinCall& call) {
  Result<Variant> date = ChangeType(call[0], VT_DATE);
  VARIANT value = PeekValue(call[0]);
  if (date.ok() || value.vt != VT_BSTR || !::IsNumeric(value)) return date;
  return Variant::FromDate(TRY(ToDouble(value)));
}
Result<Variant> CDbl(const BuiltinCall& call) { return ChangeType(call[0], VT_R8); }
Result<Variant> CInt(const BuiltinCall& call) { return ChangeType(call[0], VT_I2); }
Result<Variant> CLng(const BuiltinCall& call) { return ChangeType(call[0], VT_I4); }
Result<Variant> CSng(const BuiltinCall& call) { return ChangeType(call[0], VT_R4); }
Result<Variant> CStr(const BuiltinCall& call) { return ChangeType(call[0], VT_BSTR); }

Result<Variant> Hex(const BuiltinCall& call) { return IntegerInBase(call, 4); }
Result<Variant> Oct(const BuiltinCall& call) { return IntegerInBase(call, 3); }

Result<Variant> Fix(const BuiltinCall& call) { return IntegerPart(call, Truncation::TowardZero); }
Result<Variant> Int(const BuiltinCall& call) { return IntegerPart(call, Truncation::Down); }

Result<Variant> Round(const BuiltinCall& call) {
  Variant holder;
  VARIANT value = TRY(ReadValue(call[0], holder));
  if (value.vt == VT_NULL) return Variant::Null();
  int32_t digits = TRY(OptionalLong(call, 1, 0));
  if (digits < 0) return ErrorNumber::InvalidProcedureCall;
  return RoundValue(value, digits);
}

// Asc gives the character's code in the ANSI code page (Windows-1252), '?' for characters the
// code page lacks, as the platform's conversion to ANSI does.
Result<Variant> Asc(const BuiltinCall& call) {
  char16_t first = TRY(FirstCharacter(call));
  int byte = Windows1252ByteOf(first);
  return Variant::FromI2(static_cast<int16_t>(byte >= 0 ? byte : '?'));
}

// AscW is an Integer, so code units above 32767 come back negative (AscW(ChrW(&HFFFF)) = -1).
Result<Variant> AscW(const BuiltinCall& call) {
  char16_t first = TRY(FirstCharacter(call));
  return Variant::FromI2(static_cast<int16_t>(first));
}

// The first byte of the string's UTF-16LE storage: the low byte of its first code unit.
Result<Variant> AscB(const BuiltinCall& call) {
  char16_t first = TRY(FirstCharacter(call));
  return Variant::FromByte(static_cast<uint8_t>(first & 0xFF));
}

Result<Variant> Chr(const BuiltinCall& call) {
  int32_t code = TRY(ToInt32(call[0]));
  if (code < 0 || code > 255) return ErrorNumber::InvalidProcedureCall;
  const char byte = static_cast<char>(code);
  return MakeString(BytesToText(std::string_view(&byte, 1), kCodePageWindows1252));
}

// Negative codes name the upper half as an Integer would (ChrW(-1) = U+FFFF).
Result<Variant> ChrW(const BuiltinCall& call) {
  int32_t code = TRY(ToInt32(call[0]));
  if (code < -32768 || code > 65535) return ErrorNumber::InvalidProcedureCall;
  return SingleCharacter(static_cast<char16_t>(code & 0xFFFF));
}

// Strings hold whole UTF-16 code units here, so a lone byte is padded to one unit with a zero
// high byte (LenB(ChrB(65)) is 2); AscB reads the byte back.
Result<Variant> ChrB(const BuiltinCall& call) {
  int32_t code = TRY(ToInt32(call[0]));
  if (code < 0 || code > 255) return ErrorNumber::Overflow;
  return SingleCharacter(static_cast<char16_t>(code));
}

}  // namespace builtins
