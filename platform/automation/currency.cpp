#include "platform/automation/currency.h"

#include <cmath>
#include <limits>

Result<CY> CurrencyFromDouble(double value) {
  double scaled = std::nearbyint(value * kCurrencyScale);  // the default rounding is to even
  // 2^63 is exactly representable; anything at or beyond it does not fit in an int64.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(scaled > -kLimit && scaled < kLimit)) return ErrorNumber::Overflow;
  return CY{static_cast<int64_t>(scaled)};
}

double CurrencyToDouble(CY value) { return static_cast<double>(value.int64) / kCurrencyScale; }

Result<CY> CurrencyAdd(CY a, CY b) {
  int64_t sum = 0;
  if (__builtin_add_overflow(a.int64, b.int64, &sum)) return ErrorNumber::Overflow;
  return CY{sum};
}

Result<CY> CurrencySubtract(CY a, CY b) {
  int64_t difference = 0;
  if (__builtin_sub_overflow(a.int64, b.int64, &difference)) return ErrorNumber::Overflow;
  return CY{difference};
}

Result<CY> CurrencyMultiply(CY a, CY b) {
  __int128 product = static_cast<__int128>(a.int64) * b.int64;
  // Round half to even when removing the extra scale.
  __int128 quotient = product / kCurrencyScale;
  __int128 remainder = product % kCurrencyScale;
  __int128 twice = remainder < 0 ? -remainder * 2 : remainder * 2;
  if (twice > kCurrencyScale || (twice == kCurrencyScale && (quotient % 2) != 0)) {
    quotient += product < 0 ? -1 : 1;
  }
  if (quotient > std::numeric_limits<int64_t>::max() ||
      quotient < std::numeric_limits<int64_t>::min()) {
    return ErrorNumber::Overflow;
  }
  return CY{static_cast<int64_t>(quotient)};
}

Result<CY> CurrencyNegate(CY value) {
  if (value.int64 == std::numeric_limits<int64_t>::min()) return ErrorNumber::Overflow;
  return CY{-value.int64};
}
