#include "platform/automation/conversion.h"

#include <cmath>
#include <limits>
#include <string>

#include "platform/automation/currency.h"
#include "platform/automation/date_time.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/locale.h"
#include "platform/automation/number_text.h"
#include "platform/automation/text_case.h"

namespace {

// An object's default value may itself be an object; chains longer than this are refused.
constexpr int kMaxDefaultValueDepth = 8;

std::u16string_view TrimBlanks(std::u16string_view text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
  return text;
}

// Reads the texts "True" and "False" (any case, surrounding blanks allowed).
// "True" and "False" in any case, and the platform's locale-free forms "#TRUE#" and "#FALSE#".
bool ParseBooleanText(std::u16string_view text, bool* value) {
  std::u16string_view trimmed = TrimBlanks(text);
  if (EqualsIgnoringCase(trimmed, u"True") || EqualsIgnoringCase(trimmed, u"#TRUE#")) {
    *value = true;
    return true;
  }
  if (EqualsIgnoringCase(trimmed, u"False") || EqualsIgnoringCase(trimmed, u"#FALSE#")) {
    *value = false;
    return true;
  }
  return false;
}

Result<Variant> InvokeDefaultMember(IDispatch* object) {
  return InvokeDispatch(object, DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD);
}

bool IsObjectType(VARTYPE type) { return type == VT_DISPATCH || type == VT_UNKNOWN; }

// The shallow value with objects resolved; `holder` keeps a resolved default value alive.
Result<VARIANT> ResolveValue(const VARIANT& value, Variant& holder) {
  VARIANT current = PeekValue(value);
  for (int depth = 0; depth < kMaxDefaultValueDepth; ++depth) {
    if (current.vt == VT_UNKNOWN) return ErrorNumber::TypeMismatch;
    if (current.vt != VT_DISPATCH) return current;
    Variant next = TRY(InvokeDefaultMember(current.pdispVal));
    holder = std::move(next);
    current = PeekValue(holder);
  }
  return ErrorNumber::TypeMismatch;
}

Result<double> DateCheck(double value) {
  if (!IsValidDate(value)) return ErrorNumber::Overflow;
  return value;
}

Result<double> ScalarToDouble(const VARIANT& value) {
  switch (value.vt) {
    case VT_EMPTY: return 0.0;
    case VT_NULL: return ErrorNumber::InvalidUseOfNull;
    case VT_I2: return static_cast<double>(value.iVal);
    case VT_I4: return static_cast<double>(value.lVal);
    case VT_R4: return double{value.fltVal};
    case VT_R8: return value.dblVal;
    case VT_CY: return CurrencyToDouble(value.cyVal);
    case VT_DATE: return value.date;
    case VT_BOOL: return value.boolVal != 0 ? -1.0 : 0.0;
    case VT_UI1: return static_cast<double>(value.bVal);
    case VT_BSTR: return ParseNumber(BstrView(value.bstrVal), CurrentLocale());
    default: return ErrorNumber::TypeMismatch;
  }
}

std::u16string IntegerText(int64_t value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

Result<std::u16string> ScalarToText(const VARIANT& value) {
  const LocaleInfo& locale = CurrentLocale();
  switch (value.vt) {
    case VT_EMPTY: return std::u16string();
    case VT_NULL: return ErrorNumber::InvalidUseOfNull;
    case VT_I2: return IntegerText(value.iVal);
    case VT_I4: return IntegerText(value.lVal);
    case VT_UI1: return IntegerText(value.bVal);
    case VT_R4: return SingleToText(value.fltVal, locale);
    case VT_R8: return DoubleToText(value.dblVal, locale);
    case VT_CY: return CurrencyToText(value.cyVal, locale);
    case VT_DATE:
      if (!IsValidDate(value.date)) return ErrorNumber::Overflow;
      return DateToText(value.date, locale);
    case VT_BOOL: return std::u16string(value.boolVal != 0 ? u"True" : u"False");
    default: return ErrorNumber::TypeMismatch;
  }
}

}  // namespace

Result<Variant> DefaultValueOf(IDispatch* object) {
  Variant holder;
  VARIANT start;
  VariantInit(&start);
  start.vt = VT_DISPATCH;
  start.pdispVal = object;
  VARIANT resolved = TRY(ResolveValue(start, holder));
  return Variant(resolved);
}

Result<Variant> ValueOf(const VARIANT& value) {
  Variant holder;
  VARIANT resolved = TRY(ResolveValue(value, holder));
  return Variant(resolved);
}

Result<int32_t> DoubleToInt32(double value) {
  double rounded = std::nearbyint(value);
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return ErrorNumber::Overflow;
  return static_cast<int32_t>(rounded);
}

Result<int16_t> DoubleToInt16(double value) {
  double rounded = std::nearbyint(value);
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) return ErrorNumber::Overflow;
  return static_cast<int16_t>(rounded);
}

Result<double> ToDouble(const VARIANT& value) {
  Variant holder;
  VARIANT resolved = TRY(ResolveValue(value, holder));
  return ScalarToDouble(resolved);
}

Result<float> ToSingle(const VARIANT& value) {
  double number = TRY(ToDouble(value));
  if (std::fabs(number) > std::numeric_limits<float>::max()) return ErrorNumber::Overflow;
  return static_cast<float>(number);
}

Result<int32_t> ToInt32(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt == VT_I4) return shallow.lVal;
  if (shallow.vt == VT_I2) return int32_t{shallow.iVal};
  if (shallow.vt == VT_CY) {
    // Exact for amounts: round the scaled integer half to even.
    return DoubleToInt32(CurrencyToDouble(shallow.cyVal));
  }
  return DoubleToInt32(TRY(ToDouble(value)));
}

Result<int16_t> ToInt16(const VARIANT& value) {
  int32_t number = TRY(ToInt32(value));
  if (number < -32768 || number > 32767) return ErrorNumber::Overflow;
  return static_cast<int16_t>(number);
}

Result<uint8_t> ToByte(const VARIANT& value) {
  int32_t number = TRY(ToInt32(value));
  if (number < 0 || number > 255) return ErrorNumber::Overflow;
  return static_cast<uint8_t>(number);
}

Result<CY> ToCurrency(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt == VT_CY) return shallow.cyVal;
  return CurrencyFromDouble(TRY(ToDouble(value)));
}

Result<DATE> ToDate(const VARIANT& value) {
  Variant holder;
  VARIANT resolved = TRY(ResolveValue(value, holder));
  if (resolved.vt == VT_BSTR) return ParseDate(BstrView(resolved.bstrVal), CurrentLocale());
  return DateCheck(TRY(ScalarToDouble(resolved)));
}

Result<bool> ToBool(const VARIANT& value) {
  Variant holder;
  VARIANT resolved = TRY(ResolveValue(value, holder));
  if (resolved.vt == VT_BOOL) return resolved.boolVal != 0;
  if (resolved.vt == VT_BSTR) {
    bool flag = false;
    if (ParseBooleanText(BstrView(resolved.bstrVal), &flag)) return flag;
  }
  return TRY(ScalarToDouble(resolved)) != 0.0;
}

Result<Bstr> ToBstr(const VARIANT& value) {
  Variant holder;
  VARIANT resolved = TRY(ResolveValue(value, holder));
  if (resolved.vt == VT_BSTR) return Bstr(BstrView(resolved.bstrVal));
  std::u16string text = TRY(ScalarToText(resolved));
  return Bstr(text);
}

Result<Variant> ChangeType(const VARIANT& value, VARTYPE type) {
  switch (type) {
    case VT_EMPTY: return Variant();
    case VT_NULL: return Variant::Null();
    case VT_I2: return Variant::FromI2(TRY(ToInt16(value)));
    case VT_I4: return Variant::FromI4(TRY(ToInt32(value)));
    case VT_R4: return Variant::FromR4(TRY(ToSingle(value)));
    case VT_R8: return Variant::FromR8(TRY(ToDouble(value)));
    case VT_CY: return Variant::FromCurrency(TRY(ToCurrency(value)));
    case VT_DATE: return Variant::FromDate(TRY(ToDate(value)));
    case VT_BSTR: return Variant::FromBstr(TRY(ToBstr(value)));
    case VT_BOOL: return Variant::FromBool(TRY(ToBool(value)));
    case VT_UI1: return Variant::FromByte(TRY(ToByte(value)));
    case VT_VARIANT: {
      Variant copy;
      if (FAILED(VariantCopyInd(&copy, &value))) return ErrorNumber::OutOfMemory;
      return copy;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
      VARIANT shallow = PeekValue(value);
      if (!IsObjectType(shallow.vt)) return ErrorNumber::ObjectRequired;
      return type == VT_DISPATCH ? Variant::FromDispatch(shallow.pdispVal)
                                 : Variant::FromUnknown(shallow.punkVal);
    }
    default: return ErrorNumber::TypeMismatch;
  }
}

Result<void> AssignThroughReference(const VARIANT& reference, const VARIANT& value) {
  if ((reference.vt & VT_BYREF) == 0 || reference.byref == nullptr) return ErrorNumber::TypeMismatch;
  VARTYPE type = reference.vt & ~VT_BYREF;
  if (type == VT_VARIANT) {
    Variant copy;
    if (FAILED(VariantCopyInd(&copy, &value))) return ErrorNumber::OutOfMemory;
    VARIANT& target = *reference.pvarVal;
    VariantClear(&target);
    target = copy.Detach();
    return {};
  }
  if ((type & VT_ARRAY) != 0) return ErrorNumber::TypeMismatch;
  Variant converted = TRY(ChangeType(value, type));
  switch (type) {
    case VT_I2: *reference.piVal = converted.iVal; break;
    case VT_I4: *reference.plVal = converted.lVal; break;
    case VT_R4: *reference.pfltVal = converted.fltVal; break;
    case VT_R8: *reference.pdblVal = converted.dblVal; break;
    case VT_CY: *reference.pcyVal = converted.cyVal; break;
    case VT_DATE: *reference.pdate = converted.date; break;
    case VT_BOOL: *reference.pboolVal = converted.boolVal; break;
    case VT_UI1: *reference.pbVal = converted.bVal; break;
    case VT_BSTR:
      SysFreeString(*reference.pbstrVal);
      *reference.pbstrVal = converted.Detach().bstrVal;
      break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      if (*reference.ppunkVal != nullptr) (*reference.ppunkVal)->Release();
      *reference.ppunkVal = converted.Detach().punkVal;
      break;
    default: return ErrorNumber::TypeMismatch;
  }
  return {};
}

bool IsNumberType(VARTYPE type) {
  switch (type) {
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BOOL:
    case VT_UI1: return true;
    default: return false;
  }
}

bool IsNumeric(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  switch (shallow.vt) {
    case VT_EMPTY:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_BOOL:
    case VT_UI1: return true;
    case VT_BSTR: return ParseNumber(BstrView(shallow.bstrVal), CurrentLocale()).ok();
    case VT_DISPATCH: return ToDouble(shallow).ok();
    default: return false;
  }
}

bool IsDate(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt == VT_DATE) return true;
  if (shallow.vt == VT_BSTR) return ParseDate(BstrView(shallow.bstrVal), CurrentLocale()).ok();
  return false;
}
