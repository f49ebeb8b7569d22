#pragma once
// Numbers as text: parsing numeric strings in a locale's syntax, the platform's display form of
// numbers (what CStr and concatenation print), and the three platform formatters
// (VarFormatNumber, VarFormatPercent, VarFormatCurrency) on plain values.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/automation/locale.h"
#include "platform/automation/result.h"
#include "platform/automation/variant.h"

/// The three-way switches of the formatters, with the script constants' values
/// (vbTrue, vbFalse, vbUseDefault).
enum class TriState : int32_t { True = -1, False = 0, UseDefault = -2 };

/// Parses a numeric string the way the platform's string-to-number conversion does: optional
/// surrounding blanks, a leading or trailing sign, parentheses for a negative amount, the
/// locale's currency symbol, decimal separator and group separators, an exponent (E or D), and
/// &H / &O hexadecimal and octal integers (&HFFFF is -1: 16-bit, then 32-bit two's complement).
/// Fails with TypeMismatch (13) for anything else, including the empty string; with Overflow (6)
/// for a finite text whose value exceeds a double.
Result<double> ParseNumber(std::u16string_view text, const LocaleInfo& locale);

/// The display form of a double: up to 15 significant digits, E notation ("1E+15", "1.5E-07")
/// when the decimal exponent is below -4 or above 14, the locale's decimal separator, no group
/// separators, "-" for negatives. Infinities and NaN never reach here (arithmetic rejects them).
std::u16string DoubleToText(double value, const LocaleInfo& locale);
/// The same for a single-precision value, with up to 7 significant digits.
std::u16string SingleToText(float value, const LocaleInfo& locale);
/// A currency amount with at most four decimals, trailing zeros removed ("1.5", "-0.0001", "3").
std::u16string CurrencyToText(CY value, const LocaleInfo& locale);

/// VarFormatNumber on a double: rounded half away from zero to `digits` decimals (-1 means the
/// locale's default), grouped, with the locale's negative pattern or parentheses. A value that
/// rounds to zero shows no sign. Fails with InvalidProcedureCall (5) for digits < -1 or > 255.
Result<std::u16string> FormatNumberText(double value, int digits, TriState leading_zero,
                                        TriState parentheses, TriState grouping,
                                        const LocaleInfo& locale);
/// VarFormatPercent: the value times 100 in the number form, followed by "%".
Result<std::u16string> FormatPercentText(double value, int digits, TriState leading_zero,
                                         TriState parentheses, TriState grouping,
                                         const LocaleInfo& locale);
/// VarFormatCurrency: the number form (currency separators and digits) placed in the locale's
/// positive or negative currency pattern with its currency symbol.
Result<std::u16string> FormatCurrencyText(double value, int digits, TriState leading_zero,
                                          TriState parentheses, TriState grouping,
                                          const LocaleInfo& locale);
/// Which of the three formatters.
enum class NumberForm { Number, Percent, Currency };
/// The double formatters above writing into `out` (replacing what it held), for a caller that
/// formats many values through one buffer.
Result<void> FormatDoubleInto(NumberForm form, double value, int digits, TriState leading_zero,
                              TriState parentheses, TriState grouping, const LocaleInfo& locale,
                              std::u16string& out);
/// The same three for an exact currency amount.
Result<std::u16string> FormatNumberText(CY value, int digits, TriState leading_zero,
                                        TriState parentheses, TriState grouping,
                                        const LocaleInfo& locale);
Result<std::u16string> FormatPercentText(CY value, int digits, TriState leading_zero,
                                         TriState parentheses, TriState grouping,
                                         const LocaleInfo& locale);
Result<std::u16string> FormatCurrencyText(CY value, int digits, TriState leading_zero,
                                          TriState parentheses, TriState grouping,
                                          const LocaleInfo& locale);
