// How the library reads its arguments and builds its results: one place for the Null, missing
// argument, compare mode and size rules every family shares.

#include "platform/automation/conversion.h"
#include "platform/automation/safearray.h"
#include "platform/vbscript/builtins/builtin_functions_internal.h"

namespace builtins {

Result<VARIANT> ReadValue(const VARIANT& argument, Variant& holder) {
  VARIANT value = PeekValue(argument);
  if (value.vt != VT_DISPATCH) return value;
  holder = TRY(ValueOf(value));
  return PeekValue(holder);
}

Result<TextArgument> ReadText(const VARIANT& argument) {
  TextArgument text;
  VARIANT value = TRY(ReadValue(argument, text.holder));
  if (value.vt == VT_NULL) {
    text.is_null = true;
    return text;
  }
  if (value.vt == VT_BSTR) {
    text.view = BstrView(value.bstrVal);
    return text;
  }
  text.converted = TRY(ToBstr(value));
  text.view = text.converted.view();
  return text;
}

Result<TextArgument> ReadNonNullText(const VARIANT& argument) {
  TextArgument text = TRY(ReadText(argument));
  if (text.is_null) return ErrorNumber::InvalidUseOfNull;
  return text;
}

Result<int32_t> OptionalLong(const BuiltinCall& call, size_t index, int32_t fallback) {
  if (!call.Has(index)) return fallback;
  return ToInt32(call[index]);
}

Result<bool> OptionalBool(const BuiltinCall& call, size_t index, bool fallback) {
  if (!call.Has(index)) return fallback;
  return ToBool(call[index]);
}

Result<CompareMode> ReadCompareMode(const BuiltinCall& call, size_t index) {
  int32_t mode = TRY(OptionalLong(call, index, 0));
  if (mode == 0) return CompareMode::Binary;
  if (mode == 1) return CompareMode::Text;
  return ErrorNumber::InvalidProcedureCall;
}

bool IsNullValue(const VARIANT& value) { return PeekValue(value).vt == VT_NULL; }

Result<void> CheckStringLength(uint64_t length) {
  if (length > kMaxStringLength) return ErrorNumber::OutOfStringSpace;
  return {};
}

Result<Variant> MakeString(std::u16string_view text) {
  TRY(CheckStringLength(text.size()));
  Bstr string(text);
  // Bstr gives a null string when the allocation fails; only "" may legitimately be null.
  if (string.get() == nullptr && !text.empty()) return ErrorNumber::OutOfMemory;
  return Variant::FromBstr(std::move(string));
}

Result<Bstr> AllocateString(uint64_t length) {
  TRY(CheckStringLength(length));
  Bstr string = Bstr::Adopt(SysAllocStringLen(nullptr, static_cast<uint32_t>(length)));
  if (string.get() == nullptr && length > 0) return ErrorNumber::OutOfMemory;
  return string;
}

Result<Variant> NewVariantVector(uint32_t count) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, count);
  if (array == nullptr) return ErrorNumber::OutOfMemory;
  return Variant::FromArray(VT_VARIANT, array);
}

VARIANT* VectorElements(const Variant& vector) { return static_cast<VARIANT*>(vector.parray->pvData); }

Result<SAFEARRAY*> ReadArray(const VARIANT& argument) {
  VARIANT value = PeekValue(argument);
  if ((value.vt & VT_ARRAY) == 0) return ErrorNumber::TypeMismatch;
  if (value.parray == nullptr) return ErrorNumber::SubscriptOutOfRange;
  return value.parray;
}

}  // namespace builtins
