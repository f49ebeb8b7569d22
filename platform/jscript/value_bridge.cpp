#include "platform/jscript/value_bridge.h"

#include <cmath>
#include <memory>

#include "platform/automation/safearray.h"
#include "platform/com/com_ptr.h"
#include "platform/jscript/duktape_internal.h"
#include "platform/jscript/heap_resource.h"
#include "platform/jscript/heap_stash.h"
#include "platform/jscript/host_object.h"
#include "platform/jscript/ole_date.h"
#include "platform/jscript/script_errors.h"
#include "platform/jscript/script_object.h"
#include "platform/jscript/script_runtime.h"
#include "platform/jscript/script_text.h"

namespace jscript {
namespace {

// The number of a numeric automation value; false for other types.
bool NumberOf(const VARIANT& value, double* number) {
  switch (value.vt) {
    case VT_I1: *number = static_cast<int8_t>(value.bVal); return true;
    case VT_UI1: *number = value.bVal; return true;
    case VT_I2: *number = value.iVal; return true;
    case VT_UI2: *number = static_cast<uint16_t>(value.iVal); return true;
    case VT_I4:
    case VT_INT: *number = value.lVal; return true;
    case VT_UI4:
    case VT_UINT: *number = static_cast<uint32_t>(value.lVal); return true;
    case VT_I8: *number = static_cast<double>(value.llVal); return true;
    case VT_UI8: *number = static_cast<double>(static_cast<uint64_t>(value.llVal)); return true;
    case VT_R4: *number = value.fltVal; return true;
    case VT_R8: *number = value.dblVal; return true;
    case VT_CY: *number = static_cast<double>(value.cyVal.int64) / 10000.0; return true;
    default: return false;
  }
}

// A whole number in the 32-bit range travels as Long, as JScript passes integers.
Variant NumberVariant(double value) {
  if (value >= -2147483648.0 && value <= 2147483647.0 && std::trunc(value) == value &&
      !(value == 0 && std::signbit(value))) {
    return Variant::FromI4(static_cast<int32_t>(value));
  }
  return Variant::FromR8(value);
}

// A VBArray value's array (a copy the value owns).
struct SafeArrayHolder final : HeapResource {
  static constexpr Kind kKind = Kind::SafeArray;
  SafeArrayHolder(duk_context* ctx, SAFEARRAY* owned) : HeapResource(ctx, kKind), array(owned) {}
  ~SafeArrayHolder() override { ReleaseExternal(); }
  void ReleaseExternal() override {
    if (array != nullptr) SafeArrayDestroy(array);
    array = nullptr;
  }
  SAFEARRAY* array;
};

// An object that is not an IDispatch: kept, and handed back as it came.
struct UnknownHolder final : HeapResource {
  static constexpr Kind kKind = Kind::Unknown;
  UnknownHolder(duk_context* ctx, IUnknown* unknown) : HeapResource(ctx, kKind), object(unknown) {}
  void ReleaseExternal() override { object.Reset(); }
  ComPtr<IUnknown> object;
};

void PushUnknown(duk_context* ctx, IUnknown* object) {
  auto holder = std::make_unique<UnknownHolder>(ctx, object);
  duk_push_object(ctx);
  AttachResource(ctx, -1, std::move(holder));
}

IUnknown* UnknownAt(duk_context* ctx, duk_idx_t index) {
  UnknownHolder* holder = ResourceAt<UnknownHolder>(ctx, index);
  return holder == nullptr ? nullptr : holder->object.get();
}

void PushDispatch(duk_context* ctx, IDispatch* object) {
  if (object == nullptr) {
    duk_push_null(ctx);
    return;
  }
  ScriptRuntime* runtime = ScriptRuntime::Of(ctx);
  uint32_t key = runtime == nullptr ? 0 : ScriptObjectKey(object, runtime->link().get());
  if (key != 0) {
    runtime->PushRetainedValue(ctx, key);
    return;
  }
  PushHostObject(ctx, object);
}

Result<Variant> ReadObject(duk_context* ctx, duk_idx_t index) {
  if (IDispatch* host = HostObjectAt(ctx, index)) return Variant::FromDispatch(host);
  double time_value = 0;
  if (ReadDateObject(ctx, index, &time_value)) return Variant::FromDate(TRY(OleDateFromTimeValue(time_value)));
  if (SAFEARRAY* array = SafeArrayAt(ctx, index)) {
    SAFEARRAY* copy = SafeArrayCopy(array);
    if (copy == nullptr) return ErrorNumber::OutOfMemory;
    return Variant::FromArray(array->vt, copy);
  }
  if (IUnknown* unknown = UnknownAt(ctx, index)) return Variant::FromUnknown(unknown);
  ScriptRuntime* runtime = ScriptRuntime::Of(ctx);
  if (runtime == nullptr) return ErrorNumber::TypeMismatch;
  uint32_t key = runtime->RetainValue(ctx, index);
  ComPtr<IDispatch> object = CreateScriptObject(runtime->link(), key);
  return Variant::FromDispatch(object.get());
}

}  // namespace

Result<void> PushVariant(duk_context* ctx, const VARIANT& original) {
  VARIANT value = PeekValue(original);
  if ((value.vt & VT_ARRAY) != 0) {
    if (value.parray == nullptr) {
      duk_push_null(ctx);
    } else {
      PushSafeArray(ctx, value.parray);
    }
    return {};
  }
  double number = 0;
  if (NumberOf(value, &number)) {
    duk_push_number(ctx, number);
    return {};
  }
  switch (value.vt) {
    case VT_EMPTY:
    case VT_ERROR: duk_push_undefined(ctx); return {};
    case VT_NULL: duk_push_null(ctx); return {};
    case VT_BOOL: duk_push_boolean(ctx, value.boolVal != 0); return {};
    case VT_BSTR: PushText(ctx, BstrView(value.bstrVal)); return {};
    case VT_DATE: PushDate(ctx, value.date); return {};
    case VT_DISPATCH: PushDispatch(ctx, value.pdispVal); return {};
    case VT_UNKNOWN: {
      if (value.punkVal == nullptr) {
        duk_push_null(ctx);
        return {};
      }
      ComPtr<IDispatch> dispatch = ComPtr<IUnknown>(value.punkVal).As<IDispatch>(IID_IDispatch);
      if (dispatch) {
        PushDispatch(ctx, dispatch.get());
      } else {
        PushUnknown(ctx, value.punkVal);
      }
      return {};
    }
    default: break;
  }
  auto unsupported = static_cast<int32_t>(JScriptError::UnsupportedAutomationType);
  return Error::Script(unsupported, JScriptErrorText(unsupported));
}

void PushVariantOrThrow(duk_context* ctx, const VARIANT& value) {
  Result<void> pushed = PushVariant(ctx, value);
  if (!pushed.ok()) ThrowScriptError(ctx, pushed.error());
}

Result<Variant> ReadVariant(duk_context* ctx, duk_idx_t index) {
  index = duk_normalize_index(ctx, index);
  switch (duk_get_type(ctx, index)) {
    case DUK_TYPE_NONE:
    case DUK_TYPE_UNDEFINED:
    case DUK_TYPE_POINTER: return Variant();
    case DUK_TYPE_NULL: return Variant::Null();
    case DUK_TYPE_BOOLEAN: return Variant::FromBool(duk_get_boolean(ctx, index) != 0);
    case DUK_TYPE_NUMBER: return NumberVariant(duk_get_number(ctx, index));
    case DUK_TYPE_STRING:
      if (duk_is_symbol(ctx, index)) return Variant();
      return Variant::FromString(ReadText(ctx, index));
    default: return ReadObject(ctx, index);
  }
}

std::vector<Variant> ReadArgumentsOrThrow(duk_context* ctx, duk_idx_t first) {
  std::vector<Variant> values;
  duk_idx_t top = duk_get_top(ctx);
  for (duk_idx_t i = first; i < top; ++i) {
    Result<Variant> value = ReadVariant(ctx, i);
    if (!value.ok()) ThrowScriptError(ctx, value.error());
    values.push_back(std::move(value).value());
  }
  return values;
}

void PushSafeArray(duk_context* ctx, const SAFEARRAY* array) {
  SAFEARRAY* copy = SafeArrayCopy(array);
  if (copy == nullptr) ThrowScriptError(ctx, JScriptError::OutOfMemory);
  auto holder = std::make_unique<SafeArrayHolder>(ctx, copy);
  duk_push_object(ctx);
  PushStashEntry(ctx, kStashVBArray);
  duk_set_prototype(ctx, -2);
  AttachResource(ctx, -1, std::move(holder));
}

SAFEARRAY* SafeArrayAt(duk_context* ctx, duk_idx_t index) {
  SafeArrayHolder* holder = ResourceAt<SafeArrayHolder>(ctx, index);
  return holder == nullptr ? nullptr : holder->array;
}

void PushDate(duk_context* ctx, DATE date) {
  PushStashEntry(ctx, kStashDate);
  duk_push_number(ctx, TimeValueFromOleDate(date));
  duk_new(ctx, 1);
}

}  // namespace jscript
