#include "platform/jscript/builtins.h"

#include <memory>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/safearray.h"
#include "platform/com/creation.h"
#include "platform/com/enum_variant.h"
#include "platform/jscript/heap_resource.h"
#include "platform/jscript/heap_stash.h"
#include "platform/jscript/host_object.h"
#include "platform/jscript/native_function.h"
#include "platform/jscript/prelude.h"
#include "platform/jscript/script_errors.h"
#include "platform/jscript/script_text.h"
#include "platform/jscript/value_bridge.h"

namespace jscript {
namespace {

constexpr int32_t kMajorVersion = 5;
constexpr int32_t kMinorVersion = 8;
constexpr int32_t kBuildVersion = 16384;


template <class T>
T ValueOrThrow(duk_context* ctx, Result<T> result) {
  if (!result.ok()) ThrowScriptError(ctx, result.error());
  return std::move(result).value();
}

// ---- VBArray ----

duk_ret_t VBArrayConstructor(duk_context* ctx) {
  SAFEARRAY* array = SafeArrayAt(ctx, 0);
  if (array == nullptr) ThrowScriptError(ctx, JScriptError::VBArrayExpected);
  PushSafeArray(ctx, array);
  return 1;
}

SAFEARRAY* ThisArray(duk_context* ctx) {
  duk_push_this(ctx);
  SAFEARRAY* array = SafeArrayAt(ctx, -1);
  duk_pop(ctx);
  if (array == nullptr) ThrowScriptError(ctx, JScriptError::VBArrayExpected);
  return array;
}

// The element at a position in storage order (the first dimension varies fastest).
Result<Variant> ElementAt(const SAFEARRAY* array, uint64_t position) {
  std::vector<int32_t> indices(array->cDims);
  for (uint32_t d = 0; d < array->cDims; ++d) {
    const SAFEARRAYBOUND& bound = array->rgsabound[d];
    indices[d] = bound.lLbound + static_cast<int32_t>(position % bound.cElements);
    position /= bound.cElements;
  }
  return SafeArrayGetElement(array, indices.data(), array->cDims);
}

duk_ret_t VBArrayToArray(duk_context* ctx) {
  SAFEARRAY* array = ThisArray(ctx);
  uint64_t count = SafeArrayElementCount(array);
  duk_push_array(ctx);
  for (uint64_t i = 0; i < count; ++i) {
    Variant element = ValueOrThrow(ctx, ElementAt(array, i));
    PushVariantOrThrow(ctx, element);
    duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
  }
  return 1;
}

duk_ret_t VBArrayGetItem(duk_context* ctx) {
  SAFEARRAY* array = ThisArray(ctx);
  std::vector<int32_t> indices;
  for (const Variant& index : ReadArgumentsOrThrow(ctx, 0)) indices.push_back(ValueOrThrow(ctx, ToInt32(index)));
  Variant element = ValueOrThrow(ctx, SafeArrayGetElement(array, indices.data(), static_cast<uint32_t>(indices.size())));
  PushVariantOrThrow(ctx, element);
  return 1;
}

duk_ret_t VBArrayDimensions(duk_context* ctx) {
  duk_push_uint(ctx, SafeArrayGetDim(ThisArray(ctx)));
  return 1;
}

// The dimension argument of lbound and ubound: 1 when omitted.
uint32_t DimensionArgument(duk_context* ctx) {
  if (duk_get_top(ctx) == 0 || duk_is_undefined(ctx, 0)) return 1;
  Variant value = ValueOrThrow(ctx, ReadVariant(ctx, 0));
  int32_t dimension = ValueOrThrow(ctx, ToInt32(value));
  if (dimension < 1) ThrowScriptError(ctx, JScriptError::SubscriptOutOfRange);
  return static_cast<uint32_t>(dimension);
}

duk_ret_t VBArrayLowerBound(duk_context* ctx) {
  SAFEARRAY* array = ThisArray(ctx);
  duk_push_int(ctx, ValueOrThrow(ctx, SafeArrayLowerBound(array, DimensionArgument(ctx))));
  return 1;
}

// ubound of an empty dimension is undefined.
duk_ret_t VBArrayUpperBound(duk_context* ctx) {
  SAFEARRAY* array = ThisArray(ctx);
  uint32_t dimension = DimensionArgument(ctx);
  int32_t upper = ValueOrThrow(ctx, SafeArrayUpperBound(array, dimension));
  if (array->rgsabound[dimension - 1].cElements == 0) return 0;
  duk_push_int(ctx, upper);
  return 1;
}

// ---- Enumerator ----

struct EnumeratorState final : HeapResource {
  static constexpr Kind kKind = Kind::Enumerator;
  explicit EnumeratorState(duk_context* ctx) : HeapResource(ctx, kKind) {}
  void ReleaseExternal() override {
    source.Reset();
    current.Clear();
    at_end = true;
  }

  ComPtr<IEnumVARIANT> source;  // null: an empty enumerator
  Variant current;
  bool at_end = true;

  void Fetch() {
    current.Clear();
    ULONG fetched = 0;
    at_end = !source || source->Next(1, &current, &fetched) != S_OK || fetched != 1;
    if (at_end) current.Clear();
  }
  void Restart() {
    if (source) source->Reset();
    Fetch();
  }
};

// The enumerator a collection gives (its _NewEnum); ObjectNotACollection (451) when it has none.
Result<ComPtr<IEnumVARIANT>> CollectionEnumerator(IDispatch* collection) {
  Result<Variant> result = InvokeDispatch(collection, DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  if (!result.ok()) return ErrorNumber::ObjectNotACollection;
  VARIANT value = PeekValue(result.value());
  IUnknown* object = value.vt == VT_UNKNOWN ? value.punkVal : value.vt == VT_DISPATCH ? value.pdispVal : nullptr;
  ComPtr<IEnumVARIANT> enumerator = ComPtr<IUnknown>(object).As<IEnumVARIANT>(IID_IEnumVARIANT);
  if (!enumerator) return ErrorNumber::ObjectNotACollection;
  return enumerator;
}

// An array's elements, as they are now.
ComPtr<IEnumVARIANT> ArrayEnumerator(duk_context* ctx, duk_idx_t index) {
  std::vector<Variant> values;
  duk_size_t length = duk_get_length(ctx, index);
  for (duk_uarridx_t i = 0; i < length; ++i) {
    duk_get_prop_index(ctx, index, i);
    values.push_back(ValueOrThrow(ctx, ReadVariant(ctx, -1)));
    duk_pop(ctx);
  }
  return CreateValueEnumerator(std::move(values));
}

duk_ret_t EnumeratorConstructor(duk_context* ctx) {
  auto state = std::make_unique<EnumeratorState>(ctx);
  if (IDispatch* collection = HostObjectAt(ctx, 0)) {
    state->source = ValueOrThrow(ctx, CollectionEnumerator(collection));
  } else if (duk_is_array(ctx, 0)) {
    state->source = ArrayEnumerator(ctx, 0);
  } else if (!duk_is_undefined(ctx, 0)) {
    ThrowScriptError(ctx, ErrorNumber::ObjectNotACollection);
  }
  state->Restart();
  duk_push_object(ctx);
  PushStashEntry(ctx, kStashEnumerator);
  duk_set_prototype(ctx, -2);
  AttachResource(ctx, -1, std::move(state));
  return 1;
}

EnumeratorState& ThisEnumerator(duk_context* ctx) {
  duk_push_this(ctx);
  EnumeratorState* state = ResourceAt<EnumeratorState>(ctx, -1);
  duk_pop(ctx);
  if (state == nullptr) ThrowScriptError(ctx, JScriptError::EnumeratorExpected);
  return *state;
}

duk_ret_t EnumeratorAtEnd(duk_context* ctx) {
  duk_push_boolean(ctx, ThisEnumerator(ctx).at_end);
  return 1;
}

duk_ret_t EnumeratorItem(duk_context* ctx) {
  EnumeratorState& state = ThisEnumerator(ctx);
  if (state.at_end) return 0;
  PushVariantOrThrow(ctx, state.current);
  return 1;
}

duk_ret_t EnumeratorMoveNext(duk_context* ctx) {
  EnumeratorState& state = ThisEnumerator(ctx);
  if (!state.at_end) state.Fetch();
  return 0;
}

duk_ret_t EnumeratorMoveFirst(duk_context* ctx) {
  ThisEnumerator(ctx).Restart();
  return 0;
}

// ---- Objects and the engine ----

duk_ret_t ActiveXObjectConstructor(duk_context* ctx) {
  std::u16string prog_id = ReadText(ctx, 0);
  Result<ComPtr<IDispatch>> object = CreateObject(prog_id);
  if (!object.ok()) ThrowScriptError(ctx, JScriptError::CannotCreateObject);
  PushHostObject(ctx, object.value().get());
  return 1;
}

duk_ret_t ScriptEngineName(duk_context* ctx) {
  duk_push_string(ctx, "JScript");
  return 1;
}

template <int32_t kValue>
duk_ret_t ReturnNumber(duk_context* ctx) {
  duk_push_int(ctx, kValue);
  return 1;
}

duk_ret_t CollectGarbageNow(duk_context* ctx) {
  duk_gc(ctx, 0);
  return 0;
}

// A constructor with its prototype's methods; the prototype is also kept in the stash.
template <duk_ret_t (*Constructor)(duk_context*)>
void DefineClass(duk_context* ctx, const char* name, std::string_view stash_key,
                 std::initializer_list<std::pair<const char*, duk_ret_t (*)(duk_context*)>> methods) {
  duk_push_global_object(ctx);
  duk_push_string(ctx, name);
  PushNative<Constructor>(ctx, 1);
  duk_push_object(ctx);
  for (const auto& [method, function] : methods) {
    duk_push_string(ctx, method);
    duk_push_c_function(ctx, function, DUK_VARARGS);
    duk_def_prop(ctx, -3,
                 DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE |
                     DUK_DEFPROP_CLEAR_ENUMERABLE);
  }
  duk_dup_top(ctx);
  PutStashEntry(ctx, stash_key);
  duk_put_prop_string(ctx, -2, "prototype");
  duk_def_prop(ctx, -3,
               DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE |
                   DUK_DEFPROP_CLEAR_ENUMERABLE);
  duk_pop(ctx);
}

void DefineGlobalFunctions(duk_context* ctx) {
  duk_push_global_object(ctx);
  DefineNative<ActiveXObjectConstructor>(ctx, -1, "ActiveXObject", 1);
  DefineNative<ScriptEngineName>(ctx, -1, "ScriptEngine", 0);
  DefineNative<ReturnNumber<kMajorVersion>>(ctx, -1, "ScriptEngineMajorVersion", 0);
  DefineNative<ReturnNumber<kMinorVersion>>(ctx, -1, "ScriptEngineMinorVersion", 0);
  DefineNative<ReturnNumber<kBuildVersion>>(ctx, -1, "ScriptEngineBuildVersion", 0);
  DefineNative<CollectGarbageNow>(ctx, -1, "CollectGarbage", 0);
  duk_pop(ctx);
}

// The built-in constructors as Duktape made them: Date for the bridge, the error types for
// the error hooks (errors they make are the script's own).
void StashBuiltinConstructors(duk_context* ctx) {
  duk_get_global_string(ctx, "Date");
  PutStashEntry(ctx, kStashDate);
  duk_push_array(ctx);
  duk_uarridx_t index = 0;
  for (const char* name : {"Error", "EvalError", "RangeError", "ReferenceError", "SyntaxError", "TypeError", "URIError"}) {
    duk_get_global_string(ctx, name);
    duk_put_prop_index(ctx, -2, index++);
  }
  PutStashEntry(ctx, kStashErrorConstructors);
}

}  // namespace

void InstallBuiltins(duk_context* ctx) {
  StashBuiltinConstructors(ctx);
  InstallErrorHooks(ctx);
  duk_push_global_object(ctx);
  duk_del_prop_string(ctx, -1, "Duktape");
  duk_pop(ctx);
  DefineClass<VBArrayConstructor>(ctx, "VBArray", kStashVBArray,
                                  {{"toArray", &Guarded<VBArrayToArray>},
                                   {"getItem", &Guarded<VBArrayGetItem>},
                                   {"dimensions", &Guarded<VBArrayDimensions>},
                                   {"lbound", &Guarded<VBArrayLowerBound>},
                                   {"ubound", &Guarded<VBArrayUpperBound>}});
  DefineClass<EnumeratorConstructor>(ctx, "Enumerator", kStashEnumerator,
                                     {{"atEnd", &Guarded<EnumeratorAtEnd>},
                                      {"item", &Guarded<EnumeratorItem>},
                                      {"moveNext", &Guarded<EnumeratorMoveNext>},
                                      {"moveFirst", &Guarded<EnumeratorMoveFirst>}});
  DefineGlobalFunctions(ctx);
  RunPrelude(ctx);
  // JScript's Error is one of the constructors whose errors are the script's own.
  PushStashEntry(ctx, kStashErrorConstructors);
  duk_get_global_string(ctx, "Error");
  duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(duk_get_length(ctx, -2)));
  duk_pop(ctx);
}

}  // namespace jscript
