#include "platform/automation/arithmetic.h"

#include <cmath>
#include <limits>

#include "platform/automation/conversion.h"
#include "platform/automation/currency.h"
#include "platform/automation/date_time.h"
#include "platform/automation/locale.h"
#include "platform/automation/number_text.h"

namespace {

// The numeric kinds in the order in which results widen.
enum class Rank { Empty, Bool, Byte, Short, Long, Single, Double, Currency, Date };

// One operand of a numeric operator: its kind, and its value in the widest form of that kind.
struct Operand {
  Rank rank;
  int64_t integer = 0;  // Empty, Bool, Byte, Short, Long
  double real = 0;      // Single, Double, Date
  CY currency{0};       // Currency
};

enum class Operation { Add, Subtract, Multiply };

bool IsIntegerRank(Rank rank) { return rank <= Rank::Long; }

// Values after by-reference levels and default members are resolved; `holder` keeps a default
// value alive for as long as the shallow copy is used.
struct Resolved {
  Variant holder;
  VARIANT value;
};

Result<void> Resolve(const VARIANT& input, Resolved& out) {
  out.value = PeekValue(input);
  if (out.value.vt != VT_DISPATCH && out.value.vt != VT_UNKNOWN) return {};
  out.holder = TRY(ValueOf(out.value));
  out.value = out.holder;
  return {};
}

Result<Operand> ToOperand(const VARIANT& value) {
  switch (value.vt) {
    case VT_EMPTY: return Operand{Rank::Empty};
    case VT_BOOL: return Operand{Rank::Bool, value.boolVal != 0 ? -1 : 0};
    case VT_UI1: return Operand{Rank::Byte, value.bVal};
    case VT_I2: return Operand{Rank::Short, value.iVal};
    case VT_I4: return Operand{Rank::Long, value.lVal};
    case VT_R4: return Operand{Rank::Single, 0, value.fltVal};
    case VT_R8: return Operand{Rank::Double, 0, value.dblVal};
    case VT_CY: return Operand{Rank::Currency, 0, 0, value.cyVal};
    case VT_DATE: return Operand{Rank::Date, 0, value.date};
    case VT_BSTR: {
      double number = TRY(ParseNumber(BstrView(value.bstrVal), CurrentLocale()));
      return Operand{Rank::Double, 0, number};
    }
    case VT_NULL: return ErrorNumber::InvalidUseOfNull;
    default: return ErrorNumber::TypeMismatch;
  }
}

double AsDouble(const Operand& operand) {
  if (IsIntegerRank(operand.rank)) return static_cast<double>(operand.integer);
  if (operand.rank == Rank::Currency) return CurrencyToDouble(operand.currency);
  return operand.real;
}

Result<CY> AsCurrency(const Operand& operand) {
  if (operand.rank == Rank::Currency) return operand.currency;
  if (IsIntegerRank(operand.rank)) return CY{operand.integer * kCurrencyScale};
  return CurrencyFromDouble(operand.real);
}

// The kind of an add, subtract or multiply result before overflow widening.
Rank ResultRank(Rank a, Rank b, Operation operation) {
  if (a == Rank::Date || b == Rank::Date) {
    if (operation == Operation::Multiply) return Rank::Double;
    if (operation == Operation::Subtract && a == Rank::Date && b == Rank::Date) return Rank::Double;
    return Rank::Date;
  }
  if (a == Rank::Currency || b == Rank::Currency) return Rank::Currency;
  if (a == Rank::Double || b == Rank::Double) return Rank::Double;
  if (a == Rank::Single || b == Rank::Single) {
    return (a == Rank::Long || b == Rank::Long) ? Rank::Double : Rank::Single;
  }
  if (a == Rank::Long || b == Rank::Long) return Rank::Long;
  if (a == Rank::Short || b == Rank::Short) return Rank::Short;
  if ((a == Rank::Byte || a == Rank::Empty) && (b == Rank::Byte || b == Rank::Empty) &&
      (a == Rank::Byte || b == Rank::Byte)) {
    return Rank::Byte;
  }
  return Rank::Short;
}

// An integer result in the narrowest of Byte / Integer / Long from `rank` upwards, else Double.
Variant FitInteger(int64_t value, Rank rank) {
  if (rank == Rank::Byte && value >= 0 && value <= 255) {
    return Variant::FromByte(static_cast<uint8_t>(value));
  }
  if (rank <= Rank::Short && value >= -32768 && value <= 32767) {
    return Variant::FromI2(static_cast<int16_t>(value));
  }
  if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max()) {
    return Variant::FromI4(static_cast<int32_t>(value));
  }
  return Variant::FromR8(static_cast<double>(value));
}

Result<Variant> FiniteDouble(double value) {
  if (!std::isfinite(value)) return ErrorNumber::Overflow;
  return Variant::FromR8(value);
}

Result<Variant> SingleOrDouble(double value) {
  if (!std::isfinite(value)) return ErrorNumber::Overflow;
  if (std::fabs(value) > std::numeric_limits<float>::max()) return Variant::FromR8(value);
  return Variant::FromR4(static_cast<float>(value));
}

bool PlainReal(const VARIANT& value, double* real) {
  switch (value.vt) {
    case VT_R8: *real = value.dblVal; return true;
    case VT_I4: *real = value.lVal; return true;
    case VT_I2: *real = value.iVal; return true;
    default: return false;
  }
}

Result<Variant> DateResult(double value) {
  if (!IsValidDate(value)) return ErrorNumber::Overflow;
  return Variant::FromDate(value);
}

int64_t IntegerOperation(int64_t a, int64_t b, Operation operation) {
  switch (operation) {
    case Operation::Add: return a + b;
    case Operation::Subtract: return a - b;
    case Operation::Multiply: return a * b;  // both fit 32 bits: no overflow in 64
  }
  return 0;
}

double RealOperation(double a, double b, Operation operation) {
  switch (operation) {
    case Operation::Add: return a + b;
    case Operation::Subtract: return a - b;
    case Operation::Multiply: return a * b;
  }
  return 0;
}

Result<Variant> CurrencyOperation(const Operand& a, const Operand& b, Operation operation) {
  CY x = TRY(AsCurrency(a));
  CY y = TRY(AsCurrency(b));
  switch (operation) {
    case Operation::Add: return Variant::FromCurrency(TRY(CurrencyAdd(x, y)));
    case Operation::Subtract: return Variant::FromCurrency(TRY(CurrencySubtract(x, y)));
    case Operation::Multiply: return Variant::FromCurrency(TRY(CurrencyMultiply(x, y)));
  }
  return ErrorNumber::TypeMismatch;
}

Result<Variant> NumericOperation(const Operand& a, const Operand& b, Operation operation) {
  Rank rank = ResultRank(a.rank, b.rank, operation);
  if (IsIntegerRank(rank)) return FitInteger(IntegerOperation(a.integer, b.integer, operation), rank);
  if (rank == Rank::Currency) return CurrencyOperation(a, b, operation);
  double result = RealOperation(AsDouble(a), AsDouble(b), operation);
  if (rank == Rank::Date) return DateResult(result);
  if (rank == Rank::Single) return SingleOrDouble(result);
  return FiniteDouble(result);
}

// Resolves both sides and applies a numeric operation; Null on either side gives Null.
Result<Variant> Arithmetic(const VARIANT& left, const VARIANT& right, Operation operation) {
  Resolved a;
  Resolved b;
  TRY(Resolve(left, a));
  TRY(Resolve(right, b));
  if (a.value.vt == VT_NULL || b.value.vt == VT_NULL) return Variant::Null();
  Operand x = TRY(ToOperand(a.value));
  Operand y = TRY(ToOperand(b.value));
  return NumericOperation(x, y, operation);
}

// The integer kind of `\`, Mod and the bitwise operators: Byte for two bytes, Integer when both
// fit it, else Long.
Rank IntegerRank(Rank a, Rank b) {
  if ((a == Rank::Byte || a == Rank::Empty) && (b == Rank::Byte || b == Rank::Empty) &&
      (a == Rank::Byte || b == Rank::Byte)) {
    return Rank::Byte;
  }
  if (a <= Rank::Short && b <= Rank::Short) return Rank::Short;
  return Rank::Long;
}

Result<int64_t> RoundedInteger(const Operand& operand) {
  if (IsIntegerRank(operand.rank)) return operand.integer;
  return int64_t{TRY(DoubleToInt32(AsDouble(operand)))};
}

Result<Variant> FitIntegerStrict(int64_t value, Rank rank) {
  Variant result = FitInteger(value, rank);
  if (result.vt == VT_R8) return ErrorNumber::Overflow;
  return result;
}

enum class IntegerDivision { Quotient, Remainder };

Result<Variant> DivideIntegers(const VARIANT& left, const VARIANT& right, IntegerDivision kind) {
  Resolved a;
  Resolved b;
  TRY(Resolve(left, a));
  TRY(Resolve(right, b));
  if (a.value.vt == VT_NULL || b.value.vt == VT_NULL) return Variant::Null();
  Operand x = TRY(ToOperand(a.value));
  Operand y = TRY(ToOperand(b.value));
  int64_t dividend = TRY(RoundedInteger(x));
  int64_t divisor = TRY(RoundedInteger(y));
  if (divisor == 0) return ErrorNumber::DivisionByZero;
  int64_t result = kind == IntegerDivision::Quotient ? dividend / divisor : dividend % divisor;
  return FitIntegerStrict(result, IntegerRank(x.rank, y.rank));
}

// Text of one side of a concatenation: Null and Empty are "".
Result<Bstr> ConcatenationText(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt == VT_NULL || shallow.vt == VT_EMPTY) return Bstr();
  return ToBstr(shallow);
}

}  // namespace

Result<Variant> Add(const VARIANT& left, const VARIANT& right) {
  VARIANT a = PeekValue(left);
  VARIANT b = PeekValue(right);
  if (a.vt == VT_I4 && b.vt == VT_I4) {
    return FitInteger(int64_t{a.lVal} + b.lVal, Rank::Long);
  }
  // A double beside a double, Long or Integer needs no resolving or promotion tables.
  double x_real = 0;
  double y_real = 0;
  if ((a.vt == VT_R8 || b.vt == VT_R8) && PlainReal(a, &x_real) && PlainReal(b, &y_real)) {
    return FiniteDouble(x_real + y_real);
  }
  Resolved x;
  Resolved y;
  TRY(Resolve(left, x));
  TRY(Resolve(right, y));
  if (x.value.vt == VT_NULL || y.value.vt == VT_NULL) return Variant::Null();
  bool x_text = x.value.vt == VT_BSTR;
  bool y_text = y.value.vt == VT_BSTR;
  // Two strings, or a string and Empty, concatenate; a string beside a number is a number.
  if ((x_text && y_text) || (x_text && y.value.vt == VT_EMPTY) ||
      (y_text && x.value.vt == VT_EMPTY)) {
    return Concatenate(x.value, y.value);
  }
  Operand p = TRY(ToOperand(x.value));
  Operand q = TRY(ToOperand(y.value));
  return NumericOperation(p, q, Operation::Add);
}

Result<Variant> Subtract(const VARIANT& left, const VARIANT& right) {
  return Arithmetic(left, right, Operation::Subtract);
}

Result<Variant> Multiply(const VARIANT& left, const VARIANT& right) {
  return Arithmetic(left, right, Operation::Multiply);
}

Result<Variant> Divide(const VARIANT& left, const VARIANT& right) {
  Resolved a;
  Resolved b;
  TRY(Resolve(left, a));
  TRY(Resolve(right, b));
  if (a.value.vt == VT_NULL || b.value.vt == VT_NULL) return Variant::Null();
  Operand x = TRY(ToOperand(a.value));
  Operand y = TRY(ToOperand(b.value));
  double dividend = AsDouble(x);
  double divisor = AsDouble(y);
  if (divisor == 0) {
    return dividend == 0 ? Error(ErrorNumber::Overflow) : Error(ErrorNumber::DivisionByZero);
  }
  bool single = (x.rank == Rank::Single || y.rank == Rank::Single) && x.rank <= Rank::Single &&
                y.rank <= Rank::Single && x.rank != Rank::Long && y.rank != Rank::Long;
  if (single) return SingleOrDouble(dividend / divisor);
  return FiniteDouble(dividend / divisor);
}

Result<Variant> IntegerDivide(const VARIANT& left, const VARIANT& right) {
  return DivideIntegers(left, right, IntegerDivision::Quotient);
}

Result<Variant> Modulo(const VARIANT& left, const VARIANT& right) {
  return DivideIntegers(left, right, IntegerDivision::Remainder);
}

Result<Variant> Power(const VARIANT& left, const VARIANT& right) {
  Resolved a;
  Resolved b;
  TRY(Resolve(left, a));
  TRY(Resolve(right, b));
  if (a.value.vt == VT_NULL || b.value.vt == VT_NULL) return Variant::Null();
  double base = AsDouble(TRY(ToOperand(a.value)));
  double exponent = AsDouble(TRY(ToOperand(b.value)));
  if (base == 0 && exponent < 0) return ErrorNumber::DivisionByZero;
  double result = std::pow(base, exponent);
  if (std::isnan(result)) return ErrorNumber::InvalidProcedureCall;
  return FiniteDouble(result);
}

// An object stands for its default value (a record set's field may read Null).
Result<Variant> Concatenate(const VARIANT& left, const VARIANT& right) {
  Resolved a;
  Resolved b;
  TRY(Resolve(left, a));
  TRY(Resolve(right, b));
  if (a.value.vt == VT_NULL && b.value.vt == VT_NULL) return Variant::Null();
  Bstr text = TRY(ConcatenationText(a.value));
  Bstr tail = TRY(ConcatenationText(b.value));
  BSTR joined = text.Detach();
  if (!BstrAppend(&joined, tail.view())) {
    SysFreeString(joined);
    return ErrorNumber::OutOfStringSpace;
  }
  return Variant::FromBstr(Bstr::Adopt(joined));
}

Result<Variant> Negate(const VARIANT& value) {
  Resolved a;
  TRY(Resolve(value, a));
  if (a.value.vt == VT_NULL) return Variant::Null();
  Operand x = TRY(ToOperand(a.value));
  switch (x.rank) {
    case Rank::Empty:
    case Rank::Bool:
    case Rank::Byte:
    case Rank::Short: return FitInteger(-x.integer, Rank::Short);
    case Rank::Long: return FitInteger(-x.integer, Rank::Long);
    case Rank::Single: return Variant::FromR4(-static_cast<float>(x.real));
    case Rank::Double: return Variant::FromR8(-x.real);
    case Rank::Currency: return Variant::FromCurrency(TRY(CurrencyNegate(x.currency)));
    case Rank::Date: return DateResult(-x.real);
  }
  return ErrorNumber::TypeMismatch;
}

namespace {

enum class Logic { And, Or, Xor, Eqv, Imp };

int64_t ApplyLogic(int64_t a, int64_t b, Logic logic) {
  switch (logic) {
    case Logic::And: return a & b;
    case Logic::Or: return a | b;
    case Logic::Xor: return a ^ b;
    case Logic::Eqv: return ~(a ^ b);
    case Logic::Imp: return ~a | b;
  }
  return 0;
}

// A logical operand: Booleans stay Booleans, strings read as "True"/"False" or as numbers.
Result<Operand> ToLogicOperand(const VARIANT& value) {
  if (value.vt == VT_BSTR) {
    Result<double> number = ParseNumber(BstrView(value.bstrVal), CurrentLocale());
    if (number.ok()) return Operand{Rank::Long, TRY(DoubleToInt32(number.value()))};
    bool flag = TRY(ToBool(value));
    return Operand{Rank::Bool, flag ? -1 : 0};
  }
  Operand operand = TRY(ToOperand(value));
  if (IsIntegerRank(operand.rank)) return operand;
  return Operand{Rank::Long, TRY(DoubleToInt32(AsDouble(operand)))};
}

Variant LogicResult(int64_t bits, Rank rank) {
  if (rank == Rank::Bool) return Variant::FromBool(bits != 0);
  if (rank == Rank::Byte) return Variant::FromByte(static_cast<uint8_t>(bits));
  if (rank == Rank::Short) return Variant::FromI2(static_cast<int16_t>(bits));
  return Variant::FromI4(static_cast<int32_t>(bits));
}

Rank LogicRank(Rank a, Rank b) {
  if (a == Rank::Bool && b == Rank::Bool) return Rank::Bool;
  return IntegerRank(a, b);
}

// Three-valued logic with one Null side: the result is known when the other side decides it.
Variant LogicWithNull(const Operand* known, bool known_is_left, Logic logic) {
  if (known == nullptr) return Variant::Null();
  Rank rank = known->rank == Rank::Empty ? Rank::Short : known->rank;
  int64_t value = known->integer;
  switch (logic) {
    case Logic::And:
      if (value == 0) return LogicResult(0, rank);
      break;
    case Logic::Or:
      if (value == -1) return LogicResult(-1, rank);
      break;
    case Logic::Imp:
      if (known_is_left && value == 0) return LogicResult(-1, rank);
      if (!known_is_left && value == -1) return LogicResult(-1, rank);
      break;
    default: break;
  }
  return Variant::Null();
}

Result<Variant> LogicOperation(const VARIANT& left, const VARIANT& right, Logic logic) {
  Resolved a;
  Resolved b;
  TRY(Resolve(left, a));
  TRY(Resolve(right, b));
  bool left_null = a.value.vt == VT_NULL;
  bool right_null = b.value.vt == VT_NULL;
  if (left_null && right_null) return Variant::Null();
  if (left_null || right_null) {
    Operand known = TRY(ToLogicOperand(left_null ? b.value : a.value));
    return LogicWithNull(&known, right_null, logic);
  }
  Operand x = TRY(ToLogicOperand(a.value));
  Operand y = TRY(ToLogicOperand(b.value));
  return LogicResult(ApplyLogic(x.integer, y.integer, logic), LogicRank(x.rank, y.rank));
}

}  // namespace

Result<Variant> Not(const VARIANT& value) {
  Resolved a;
  TRY(Resolve(value, a));
  if (a.value.vt == VT_NULL) return Variant::Null();
  Operand x = TRY(ToLogicOperand(a.value));
  Rank rank = x.rank == Rank::Empty ? Rank::Short : x.rank;
  return LogicResult(~x.integer, rank);
}

Result<Variant> And(const VARIANT& left, const VARIANT& right) {
  return LogicOperation(left, right, Logic::And);
}
Result<Variant> Or(const VARIANT& left, const VARIANT& right) {
  return LogicOperation(left, right, Logic::Or);
}
Result<Variant> Xor(const VARIANT& left, const VARIANT& right) {
  return LogicOperation(left, right, Logic::Xor);
}
Result<Variant> Eqv(const VARIANT& left, const VARIANT& right) {
  return LogicOperation(left, right, Logic::Eqv);
}
Result<Variant> Imp(const VARIANT& left, const VARIANT& right) {
  return LogicOperation(left, right, Logic::Imp);
}
