#include "platform/automation/compare.h"

#include "platform/automation/conversion.h"
#include "platform/automation/currency.h"
#include "platform/automation/locale.h"
#include "platform/automation/number_text.h"
#include "platform/automation/text_case.h"

namespace {

// The value of a resolved number (or Empty) as a double.
double NumberOf(const VARIANT& value) {
  switch (value.vt) {
    case VT_I2: return value.iVal;
    case VT_I4: return value.lVal;
    case VT_R4: return value.fltVal;
    case VT_R8: return value.dblVal;
    case VT_CY: return CurrencyToDouble(value.cyVal);
    case VT_DATE: return value.date;
    case VT_BOOL: return value.boolVal != 0 ? -1.0 : 0.0;
    case VT_UI1: return value.bVal;
    default: return 0.0;
  }
}

template <class T>
Comparison Order(T left, T right) {
  if (left < right) return Comparison::Less;
  if (right < left) return Comparison::Greater;
  return Comparison::Equal;
}

Comparison CompareNumbers(const VARIANT& left, const VARIANT& right) {
  if (left.vt == VT_I4 && right.vt == VT_I4) return Order(left.lVal, right.lVal);
  if (left.vt == VT_R8 && right.vt == VT_R8) return Order(left.dblVal, right.dblVal);
  if (left.vt == VT_CY && right.vt == VT_CY) return Order(left.cyVal.int64, right.cyVal.int64);
  // A Single meets a Double at the Single's precision: CSng(0.1) = 0.1.
  if ((left.vt == VT_R4 && right.vt == VT_R8) || (left.vt == VT_R8 && right.vt == VT_R4)) {
    return Order(static_cast<float>(NumberOf(left)), static_cast<float>(NumberOf(right)));
  }
  return Order(NumberOf(left), NumberOf(right));
}

// A number against a string: as numbers when the string is numeric, else the number is less.
Comparison CompareNumberWithString(const VARIANT& number, std::u16string_view text) {
  Result<double> parsed = ParseNumber(text, CurrentLocale());
  if (!parsed.ok()) return Comparison::Less;
  return Order(NumberOf(number), parsed.value());
}

Comparison Reverse(Comparison comparison) {
  if (comparison == Comparison::Less) return Comparison::Greater;
  if (comparison == Comparison::Greater) return Comparison::Less;
  return comparison;
}

bool IsComparable(VARTYPE type) {
  return type == VT_EMPTY || type == VT_BSTR || IsNumberType(type);
}

}  // namespace

Comparison CompareStrings(std::u16string_view left, std::u16string_view right, CompareMode mode) {
  int order = mode == CompareMode::Text ? CompareIgnoringCase(left, right) : left.compare(right);
  if (order < 0) return Comparison::Less;
  if (order > 0) return Comparison::Greater;
  return Comparison::Equal;
}

Result<Comparison> Compare(const VARIANT& left_input, const VARIANT& right_input, CompareMode mode) {
  Variant left_holder;
  Variant right_holder;
  VARIANT left = PeekValue(left_input);
  VARIANT right = PeekValue(right_input);
  if (left.vt == VT_DISPATCH) {
    left_holder = TRY(ValueOf(left));
    left = left_holder;
  }
  if (right.vt == VT_DISPATCH) {
    right_holder = TRY(ValueOf(right));
    right = right_holder;
  }
  if (left.vt == VT_NULL || right.vt == VT_NULL) return Comparison::Null;
  if (!IsComparable(left.vt) || !IsComparable(right.vt)) return ErrorNumber::TypeMismatch;

  bool left_text = left.vt == VT_BSTR;
  bool right_text = right.vt == VT_BSTR;
  if (left_text && right_text) {
    return CompareStrings(BstrView(left.bstrVal), BstrView(right.bstrVal), mode);
  }
  if (left_text || right_text) {
    const VARIANT& text = left_text ? left : right;
    const VARIANT& other = left_text ? right : left;
    if (other.vt == VT_EMPTY) {
      Comparison order = CompareStrings(u"", BstrView(text.bstrVal), mode);
      return left_text ? Reverse(order) : order;
    }
    Comparison order = CompareNumberWithString(other, BstrView(text.bstrVal));
    return left_text ? Reverse(order) : order;
  }
  return CompareNumbers(left, right);
}
