#pragma once
// Currency arithmetic on amounts × 10000 with overflow checks (error 6).

#include "platform/automation/result.h"
#include "platform/automation/variant.h"

inline constexpr int64_t kCurrencyScale = 10000;

/// Rounds half to even to four decimals; Overflow (6) outside the currency range or for NaN.
Result<CY> CurrencyFromDouble(double value);
double CurrencyToDouble(CY value);
Result<CY> CurrencyAdd(CY a, CY b);
Result<CY> CurrencySubtract(CY a, CY b);
Result<CY> CurrencyMultiply(CY a, CY b);
Result<CY> CurrencyNegate(CY value);
