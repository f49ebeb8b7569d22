// The functions that look at values rather than change them (IsArray ... IsObject, TypeName,
// VarType), the array functions (Array, LBound, UBound), the engine's identity and locale, and
// the dialog functions a server has no screen for.

#include <string>

#include "platform/automation/conversion.h"
#include "platform/automation/locale.h"
#include "platform/automation/safearray.h"
#include "platform/com/object_type_name.h"
#include "platform/vbscript/builtins/builtin_functions_internal.h"

namespace builtins {
namespace {

constexpr int16_t kScriptEngineMajorVersion = 5;
constexpr int16_t kScriptEngineMinorVersion = 8;
constexpr int32_t kScriptEngineBuildVersion = 16384;

// ---- Object values ----

// The type of what an argument stands for when asked about its content: an object with a
// default value counts as that value (VarType(field) is the field's type, IsNull(field) tests
// its value); an object without one, or Nothing, stays an object.
VARTYPE ContentType(const VARIANT& argument) {
  VARIANT value = PeekValue(argument);
  if (value.vt != VT_DISPATCH || value.pdispVal == nullptr) return value.vt;
  Result<Variant> resolved = ValueOf(value);
  return resolved.ok() ? resolved.value().vt : VARTYPE{VT_DISPATCH};
}

// ---- Type names ----

std::u16string_view ScalarTypeName(VARTYPE type) {
  switch (type) {
    case VT_EMPTY: return u"Empty";
    case VT_NULL: return u"Null";
    case VT_I2: return u"Integer";
    case VT_I4: return u"Long";
    case VT_R4: return u"Single";
    case VT_R8: return u"Double";
    case VT_CY: return u"Currency";
    case VT_DATE: return u"Date";
    case VT_BSTR: return u"String";
    case VT_DISPATCH: return u"Object";
    case VT_ERROR: return u"Error";
    case VT_BOOL: return u"Boolean";
    case VT_VARIANT: return u"Variant";
    case VT_DECIMAL: return u"Decimal";
    case VT_UI1: return u"Byte";
    default: return u"Unknown";
  }
}

std::u16string TypeNameOf(const VARIANT& value) {
  if ((value.vt & VT_ARRAY) != 0) return std::u16string(ScalarTypeName(value.vt & VT_TYPEMASK)) + u"()";
  if (value.vt == VT_DISPATCH) return ObjectTypeName(value.pdispVal);
  if (value.vt == VT_UNKNOWN) return value.punkVal == nullptr ? u"Nothing" : u"Unknown";
  return std::u16string(ScalarTypeName(value.vt));
}

// ---- Bounds ----

enum class Bound { Lower, Upper };

// An object is read through its default member: Nothing is 91, an object without one 438, one
// whose default needs arguments 450, and a default that returns an array gives its bounds.
Result<Variant> BoundOf(const BuiltinCall& call, Bound bound) {
  Variant default_value;
  const VARIANT* source = &call[0];
  if (PeekValue(call[0]).vt == VT_DISPATCH) {
    default_value = TRY(ValueOf(call[0]));
    source = &default_value;
  }
  SAFEARRAY* array = TRY(ReadArray(*source));
  int32_t dimension = TRY(OptionalLong(call, 1, 1));
  if (dimension < 1) return ErrorNumber::SubscriptOutOfRange;
  const auto index = static_cast<uint32_t>(dimension);
  int32_t value = bound == Bound::Lower ? TRY(SafeArrayLowerBound(array, index))
                                        : TRY(SafeArrayUpperBound(array, index));
  return Variant::FromI4(value);
}

// ---- Locale ----

// SetLocale takes an LCID (1031), a numeric string ("1031") or a locale name ("de-de", "de").
Result<LCID> ReadLocaleId(const VARIANT& argument) {
  Variant holder;
  VARIANT value = TRY(ReadValue(argument, holder));
  if (value.vt != VT_BSTR || ::IsNumeric(value)) return static_cast<LCID>(TRY(ToInt32(value)));
  LCID lcid = LcidFromLocaleName(BstrView(value.bstrVal));
  if (lcid == 0) return ErrorNumber::InvalidProcedureCall;
  return lcid;
}

}  // namespace

Result<Variant> IsArray(const BuiltinCall& call) {
  return Variant::FromBool((PeekValue(call[0]).vt & VT_ARRAY) != 0);
}

Result<Variant> IsEmpty(const BuiltinCall& call) { return Variant::FromBool(ContentType(call[0]) == VT_EMPTY); }
Result<Variant> IsNull(const BuiltinCall& call) { return Variant::FromBool(ContentType(call[0]) == VT_NULL); }

// An object counts by its default value; a date is no number here, though it converts to one.
Result<Variant> IsNumeric(const BuiltinCall& call) {
  Variant holder;
  Result<VARIANT> value = ReadValue(call[0], holder);
  return Variant::FromBool(value.ok() && value.value().vt != VT_DISPATCH && ::IsNumeric(value.value()));
}

Result<Variant> IsObject(const BuiltinCall& call) {
  VARTYPE type = PeekValue(call[0]).vt;
  return Variant::FromBool(type == VT_DISPATCH || type == VT_UNKNOWN);
}

// An object's own name (TypeName(dictionary) is "Dictionary"), never its default value's.
Result<Variant> TypeName(const BuiltinCall& call) { return MakeString(TypeNameOf(PeekValue(call[0]))); }

// Arrays are vbArray (8192) plus the element type: 8204 for the script's Variant arrays.
Result<Variant> VarType(const BuiltinCall& call) {
  return Variant::FromI2(static_cast<int16_t>(ContentType(call[0])));
}

Result<Variant> LBound(const BuiltinCall& call) { return BoundOf(call, Bound::Lower); }
Result<Variant> UBound(const BuiltinCall& call) { return BoundOf(call, Bound::Upper); }

// The arguments as a 0-based Variant array; references are copied as the values they point at.
Result<Variant> Array(const BuiltinCall& call) {
  Variant vector = TRY(NewVariantVector(static_cast<uint32_t>(call.arguments.size())));
  VARIANT* elements = VectorElements(vector);
  for (size_t i = 0; i < call.arguments.size(); ++i) {
    if (FAILED(VariantCopyInd(&elements[i], &call.arguments[i]))) return ErrorNumber::OutOfMemory;
  }
  return vector;
}

Result<Variant> ScriptEngine(const BuiltinCall& call) { return MakeString(u"VBScript"); }
Result<Variant> ScriptEngineMajorVersion(const BuiltinCall& call) { return Variant::FromI2(kScriptEngineMajorVersion); }
Result<Variant> ScriptEngineMinorVersion(const BuiltinCall& call) { return Variant::FromI2(kScriptEngineMinorVersion); }
Result<Variant> ScriptEngineBuildVersion(const BuiltinCall& call) { return Variant::FromI4(kScriptEngineBuildVersion); }

Result<Variant> GetLocale(const BuiltinCall& call) { return Variant::FromI4(static_cast<int32_t>(GetThreadLocale())); }

// Returns the locale in force before the call; 0 goes back to the system's locale.
Result<Variant> SetLocale(const BuiltinCall& call) {
  LCID previous = GetThreadLocale();
  LCID lcid = call.Has(0) ? TRY(ReadLocaleId(call[0])) : 0;
  if (!SetThreadLocale(lcid)) return ErrorNumber::InvalidProcedureCall;
  return Variant::FromI4(static_cast<int32_t>(previous));
}

// A server has no one to show a dialog to.
Result<Variant> MsgBox(const BuiltinCall& call) { return ErrorNumber::PermissionDenied; }
Result<Variant> InputBox(const BuiltinCall& call) { return ErrorNumber::PermissionDenied; }

}  // namespace builtins
