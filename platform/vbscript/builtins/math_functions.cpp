// The math functions: Abs and Sgn, the Double functions (Atn, Cos, Exp, Log, Sin, Sqr, Tan),
// the platform's random-number generator (Rnd, Randomize) and RGB.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/automation/conversion.h"
#include "platform/vbscript/builtins/builtin_functions_internal.h"

namespace builtins {
namespace {

// ---- Abs ----

// Abs keeps the argument's type, widening where the absolute value leaves it: the most
// negative Integer becomes a Long, the most negative Long a Double.
Result<Variant> AbsoluteValue(const VARIANT& value) {
  switch (value.vt) {
    case VT_EMPTY: return Variant::FromI2(0);
    case VT_UI1: return Variant(value);
    case VT_BOOL: return Variant::FromI2(value.boolVal != 0 ? 1 : 0);
    case VT_I2:
      if (value.iVal == std::numeric_limits<int16_t>::min()) return Variant::FromI4(32768);
      return Variant::FromI2(static_cast<int16_t>(value.iVal < 0 ? -value.iVal : value.iVal));
    case VT_I4:
      if (value.lVal == std::numeric_limits<int32_t>::min()) return Variant::FromR8(2147483648.0);
      return Variant::FromI4(value.lVal < 0 ? -value.lVal : value.lVal);
    case VT_R4: return Variant::FromR4(std::fabs(value.fltVal));
    case VT_CY:
      if (value.cyVal.int64 == std::numeric_limits<int64_t>::min()) return ErrorNumber::Overflow;
      return Variant::FromCurrency(CY{value.cyVal.int64 < 0 ? -value.cyVal.int64 : value.cyVal.int64});
    default: return Variant::FromR8(std::fabs(TRY(ToDouble(value))));
  }
}

// ---- Double functions ----

// A result that is no finite Double (Exp(1000)) overflows, as the platform reports it.
Result<Variant> DoubleResult(double result) {
  if (!std::isfinite(result)) return ErrorNumber::Overflow;
  return Variant::FromR8(result);
}

using DoubleFunction = double (*)(double);

Result<Variant> ApplyDouble(const BuiltinCall& call, DoubleFunction function) {
  double number = TRY(ToDouble(call[0]));
  return DoubleResult(function(number));
}

// ---- Random numbers ----

// The platform's generator: a 24-bit linear congruential sequence whose value is the seed as a
// fraction of 2^24, so that scripts reseeded alike see the same numbers as on the platform.
constexpr uint32_t kRandomMultiplier = 0x43FD43FD;
constexpr uint32_t kRandomIncrement = 0xC39EC3;
constexpr uint32_t kRandomMask = 0xFFFFFF;
constexpr float kRandomScale = 1.0f / 16777216.0f;

uint32_t NextSeed(uint32_t seed) { return (seed * kRandomMultiplier + kRandomIncrement) & kRandomMask; }

// Randomize keeps the seed's low byte and replaces the two above it with a mix of 32 bits.
uint32_t MixIntoSeed(uint32_t seed, uint32_t bits) {
  uint32_t mixed = ((bits & 0xFFFF) << 8) ^ ((bits >> 8) & 0xFFFF00);
  return (mixed | (seed & 0xFF0000FF)) & kRandomMask;
}

template <class T>
uint32_t HighBitsOf(T number) {
  static_assert(sizeof(T) == 4 || sizeof(T) == 8);
  if constexpr (sizeof(T) == 4) {
    uint32_t bits;
    std::memcpy(&bits, &number, sizeof(bits));
    return bits;
  } else {
    uint64_t bits;
    std::memcpy(&bits, &number, sizeof(bits));
    return static_cast<uint32_t>(bits >> 32);
  }
}

}  // namespace

// Null gives Null, as for Int and Fix.
Result<Variant> Abs(const BuiltinCall& call) {
  Variant holder;
  VARIANT value = TRY(ReadValue(call[0], holder));
  if (value.vt == VT_NULL) return Variant::Null();
  return AbsoluteValue(value);
}

Result<Variant> Sgn(const BuiltinCall& call) {
  double number = TRY(ToDouble(call[0]));
  return Variant::FromI2(static_cast<int16_t>(number > 0 ? 1 : number < 0 ? -1 : 0));
}

Result<Variant> Atn(const BuiltinCall& call) { return ApplyDouble(call, std::atan); }
Result<Variant> Cos(const BuiltinCall& call) { return ApplyDouble(call, std::cos); }
Result<Variant> Exp(const BuiltinCall& call) { return ApplyDouble(call, std::exp); }
Result<Variant> Sin(const BuiltinCall& call) { return ApplyDouble(call, std::sin); }
Result<Variant> Tan(const BuiltinCall& call) { return ApplyDouble(call, std::tan); }

Result<Variant> Log(const BuiltinCall& call) {
  double number = TRY(ToDouble(call[0]));
  if (!(number > 0)) return ErrorNumber::InvalidProcedureCall;
  return DoubleResult(std::log(number));
}

Result<Variant> Sqr(const BuiltinCall& call) {
  double number = TRY(ToDouble(call[0]));
  if (number < 0) return ErrorNumber::InvalidProcedureCall;
  return DoubleResult(std::sqrt(number));
}

// Rnd(n > 0 or omitted) steps the sequence, Rnd(0) repeats the last value, and Rnd(n < 0)
// restarts it from the bits of n as a Single, so the same negative n gives the same number.
Result<Variant> Rnd(const BuiltinCall& call) {
  float number = call.Has(0) ? TRY(ToSingle(call[0])) : 1.0f;
  BuiltinState& state = call.state;
  if (number != 0) {
    uint32_t seed = state.random_seed;
    if (number < 0) {
      uint32_t bits = HighBitsOf(number);
      seed = (bits + (bits >> 24)) & kRandomMask;
    }
    state.random_seed = NextSeed(seed);
  }
  state.last_random = static_cast<float>(state.random_seed) * kRandomScale;
  return Variant::FromR4(state.last_random);
}

// Randomize mixes the high half of the number as a Double into the seed; without a number,
// the Timer value as a Single.
Result<Variant> Randomize(const BuiltinCall& call) {
  uint32_t bits = call.Has(0) ? HighBitsOf(TRY(ToDouble(call[0]))) : HighBitsOf(SecondsSinceMidnight());
  call.state.random_seed = MixIntoSeed(call.state.random_seed, bits);
  return Variant();
}

// Components above 255 count as 255; negative ones are refused.
Result<Variant> RGB(const BuiltinCall& call) {
  int32_t color = 0;
  for (size_t i = 0; i < 3; ++i) {
    int32_t component = TRY(ToInt32(call[i]));
    if (component < 0) return ErrorNumber::InvalidProcedureCall;
    color |= std::min(component, 255) << (8 * i);
  }
  return Variant::FromI4(color);
}

}  // namespace builtins
