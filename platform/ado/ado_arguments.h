#pragma once
// Reading the optional arguments of the ADO members: a missing argument takes the member's
// default; a present one converts with the value rules (13 and 94 as usual).

#include <cstdint>
#include <string>

#include "platform/automation/conversion.h"
#include "platform/com/dispatch_object.h"

inline Result<int32_t> OptionalInt32(const DispatchArguments& arguments, size_t index,
                                     int32_t fallback) {
  if (index >= arguments.size() || arguments.IsMissing(index)) return fallback;
  return ToInt32(arguments[index]);
}

inline Result<std::u16string> OptionalText(const DispatchArguments& arguments, size_t index,
                                           std::u16string_view fallback) {
  if (index >= arguments.size() || arguments.IsMissing(index)) return std::u16string(fallback);
  Bstr text = TRY(ToBstr(arguments[index]));
  return std::u16string(text.view());
}

inline bool IsPresent(const DispatchArguments& arguments, size_t index) {
  return index < arguments.size() && !arguments.IsMissing(index);
}

/// The object an argument holds (by-reference levels removed); null for anything else.
inline IDispatch* ObjectArgument(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt == VT_DISPATCH) return shallow.pdispVal;
  return nullptr;
}
