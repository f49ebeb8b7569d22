#include "platform/jscript/host_object.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/safearray.h"
#include "platform/com/com_ptr.h"
#include "platform/jscript/duktape_internal.h"
#include "platform/jscript/heap_resource.h"
#include "platform/jscript/heap_stash.h"
#include "platform/jscript/native_function.h"
#include "platform/jscript/script_text.h"
#include "platform/jscript/value_bridge.h"

namespace jscript {
namespace {

constexpr WORD kCallFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
// Member ids kept per host object (names beyond are looked up at each use).
constexpr size_t kMaxCachedIds = 64;

// What the target function of a host object's Proxy holds.
struct HostObjectRecord final : HeapResource {
  static constexpr Kind kKind = Kind::HostObject;
  HostObjectRecord(duk_context* ctx, IDispatch* dispatch) : HeapResource(ctx, kKind), object(dispatch) {}
  void ReleaseExternal() override {
    object.Reset();
    ids.clear();
  }

  ComPtr<IDispatch> object;
  std::vector<std::pair<std::u16string, DISPID>> ids;

  Result<DISPID> Find(std::u16string_view name) {
    for (const auto& [known, id] : ids) {
      if (known == name) return id;
    }
    DISPID id = TRY(GetDispatchId(object.get(), name));
    if (ids.size() < kMaxCachedIds) ids.emplace_back(name, id);
    return id;
  }
};

// The record of a host object's Proxy (hidden keys reach through a Proxy to its target) or of
// the target function itself; null for any other value.
HostObjectRecord* RecordAt(duk_context* ctx, duk_idx_t index) { return ResourceAt<HostObjectRecord>(ctx, index); }

HostObjectRecord& RequireRecord(duk_context* ctx, duk_idx_t index) {
  HostObjectRecord* record = RecordAt(ctx, index);
  if (record == nullptr) ThrowScriptError(ctx, JScriptError::ObjectExpected);
  return *record;
}

template <class T>
T ValueOrThrow(duk_context* ctx, Result<T> result) {
  if (!result.ok()) ThrowScriptError(ctx, result.error());
  return std::move(result).value();
}

bool IsArgumentMismatch(const Error& error) {
  return error.Is(ErrorNumber::WrongNumberOfArguments) || error.Is(ErrorNumber::ArgumentNotOptional) ||
         error.Is(ErrorNumber::ObjectDoesNotSupportMember);
}

// Index arguments applied to a value: an object's default member, an array's element.
Result<Variant> ApplyArguments(const VARIANT& value, std::span<const VARIANT> arguments) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt == VT_DISPATCH) return InvokeDispatch(shallow.pdispVal, DISPID_VALUE, kCallFlags, arguments);
  if ((shallow.vt & VT_ARRAY) == 0 || shallow.parray == nullptr) return ErrorNumber::TypeMismatch;
  std::vector<int32_t> indices;
  for (const VARIANT& argument : arguments) indices.push_back(TRY(ToInt32(argument)));
  return SafeArrayGetElement(shallow.parray, indices.data(), static_cast<uint32_t>(indices.size()));
}

bool IsObjectValue(const VARIANT& value) {
  VARTYPE type = PeekValue(value).vt;
  return type == VT_DISPATCH || type == VT_UNKNOWN;
}

// ---- The Proxy handler ----

// A member called as a method: `this` is the host object, the function knows the member's
// name (one function per name, shared by every host object).
duk_ret_t MemberCall(duk_context* ctx) {
  duk_push_this(ctx);
  HostObjectRecord& record = RequireRecord(ctx, -1);
  duk_push_current_function(ctx);
  GetKey(ctx, -1, kHiddenMemberName);
  std::u16string name = ReadText(ctx, -1);
  duk_pop_3(ctx);
  DISPID member = ValueOrThrow(ctx, record.Find(name));
  std::vector<Variant> arguments = ReadArgumentsOrThrow(ctx, 0);
  Variant result = ValueOrThrow(ctx, CallHostMember(record.object.get(), member, AsVariants(arguments)));
  PushVariantOrThrow(ctx, result);
  return 1;
}

// Pushes the shared method-call function of the name at index 1.
void PushMemberCall(duk_context* ctx) {
  PushStashEntry(ctx, kStashMemberCalls);
  duk_idx_t cache = duk_get_top_index(ctx);
  duk_dup(ctx, 1);
  if (duk_get_prop(ctx, cache)) return;
  duk_pop(ctx);
  PushNative<MemberCall>(ctx, DUK_VARARGS);
  duk_idx_t function = duk_get_top_index(ctx);
  duk_dup(ctx, 1);
  PutKey(ctx, function, kHiddenMemberName);
  duk_dup(ctx, 1);
  duk_dup(ctx, function);
  duk_put_prop(ctx, cache);
}

// get(target, key, receiver)
duk_ret_t HostGet(duk_context* ctx) {
  if (!duk_is_string(ctx, 1) || duk_is_symbol(ctx, 1)) return 0;
  HostObjectRecord& record = RequireRecord(ctx, 0);
  Result<DISPID> member = record.Find(ReadText(ctx, 1));
  bool for_call = IsReadForCall(ctx);
  if (!member.ok()) {
    // valueOf and toString give the default value; other unknown names read as undefined
    // (Duktape itself asks for some), and fail only when called.
    PushStashEntry(ctx, kStashDefaultValue);
    duk_dup(ctx, 1);
    if (duk_get_prop(ctx, -2)) return 1;
    if (for_call) ThrowScriptError(ctx, member.error());
    return 0;
  }
  if (for_call) {
    PushMemberCall(ctx);
    return 1;
  }
  PushMemberValue(ctx, record.object.get(), member.value());
  return 1;
}

// set(target, key, value, receiver)
duk_ret_t HostSet(duk_context* ctx) {
  if (!duk_is_string(ctx, 1) || duk_is_symbol(ctx, 1)) ThrowScriptError(ctx, JScriptError::ObjectDoesNotSupportMember);
  HostObjectRecord& record = RequireRecord(ctx, 0);
  DISPID member = ValueOrThrow(ctx, record.Find(ReadText(ctx, 1)));
  Variant value = ValueOrThrow(ctx, ReadVariant(ctx, 2));
  Result<void> assigned = PutHostMember(record.object.get(), member, {}, value);
  if (!assigned.ok()) ThrowScriptError(ctx, assigned.error());
  duk_push_true(ctx);
  return 1;
}

// has(target, key)
duk_ret_t HostHas(duk_context* ctx) {
  bool known = false;
  if (duk_is_string(ctx, 1) && !duk_is_symbol(ctx, 1)) {
    known = RequireRecord(ctx, 0).Find(ReadText(ctx, 1)).ok();
  }
  duk_push_boolean(ctx, known);
  return 1;
}

duk_ret_t HostDelete(duk_context* ctx) {
  duk_push_false(ctx);
  return 1;
}

duk_ret_t HostOwnKeys(duk_context* ctx) {
  duk_push_array(ctx);
  return 1;
}

// The target function: calling the host object calls its default member.
duk_ret_t HostCall(duk_context* ctx) {
  if (duk_is_constructor_call(ctx)) ThrowScriptError(ctx, JScriptError::ObjectDoesNotSupportAction);
  duk_push_current_function(ctx);
  HostObjectRecord& record = RequireRecord(ctx, -1);
  duk_pop(ctx);
  std::vector<Variant> arguments = ReadArgumentsOrThrow(ctx, 0);
  Variant result = ValueOrThrow(ctx, CallHostMember(record.object.get(), DISPID_VALUE, AsVariants(arguments)));
  PushVariantOrThrow(ctx, result);
  return 1;
}

// valueOf of a host object: its default value, or the object itself when it has none (so
// that toString is asked next).
duk_ret_t HostValueOf(duk_context* ctx) {
  duk_push_this(ctx);
  HostObjectRecord& record = RequireRecord(ctx, -1);
  Result<Variant> value = InvokeDispatch(record.object.get(), DISPID_VALUE, DISPATCH_PROPERTYGET);
  if (!value.ok() || IsObjectValue(value.value())) return 1;
  PushVariantOrThrow(ctx, value.value());
  return 1;
}

// toString of a host object: the text of its default value.
duk_ret_t HostToString(duk_context* ctx) {
  duk_push_this(ctx);
  HostObjectRecord& record = RequireRecord(ctx, -1);
  Bstr text = ValueOrThrow(ctx, ToBstr(Variant::FromDispatch(record.object.get())));
  PushText(ctx, text.view());
  return 1;
}

// A member called through a function value: `this` does not matter, the function knows its
// object and member.
duk_ret_t BoundMemberCall(duk_context* ctx) {
  duk_push_current_function(ctx);
  GetKey(ctx, -1, kHiddenBoundObject);
  HostObjectRecord& record = RequireRecord(ctx, -1);
  GetKey(ctx, -2, kHiddenMemberName);
  auto member = static_cast<DISPID>(duk_get_int(ctx, -1));
  duk_pop_3(ctx);
  std::vector<Variant> arguments = ReadArgumentsOrThrow(ctx, 0);
  Variant result = ValueOrThrow(ctx, CallHostMember(record.object.get(), member, AsVariants(arguments)));
  PushVariantOrThrow(ctx, result);
  return 1;
}

// ---- Assignments to calls ----

// __jscriptPutMember(base, name, index...) and __jscriptPutDefault(base, index...): the target
// object of `base.name(index...) = value` and `base(index...) = value`, whose `value`
// accessor reads and assigns.
duk_ret_t MakePutTarget(duk_context* ctx, bool named) {
  duk_idx_t count = duk_get_top(ctx);
  duk_idx_t first_index = named ? 2 : 1;
  duk_push_object(ctx);
  PushStashEntry(ctx, kStashPutTarget);
  duk_set_prototype(ctx, -2);
  duk_dup(ctx, 0);
  PutKey(ctx, -2, kHiddenPutBase);
  if (named) {
    duk_dup(ctx, 1);
    PutKey(ctx, -2, kHiddenPutMember);
  }
  duk_push_array(ctx);
  for (duk_idx_t i = first_index; i < count; ++i) {
    duk_dup(ctx, i);
    duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i - first_index));
  }
  PutKey(ctx, -2, kHiddenPutArguments);
  return 1;
}

duk_ret_t PutMemberTarget(duk_context* ctx) { return MakePutTarget(ctx, true); }
duk_ret_t PutDefaultTarget(duk_context* ctx) { return MakePutTarget(ctx, false); }

struct PutTarget {
  IDispatch* object;
  DISPID member;
  std::vector<Variant> indices;
};

// Reads `this` (an assignment target); an assignment to a call of anything but a host object
// is "Cannot assign to a function result".
PutTarget ReadPutTarget(duk_context* ctx) {
  duk_push_this(ctx);
  duk_idx_t target = duk_get_top_index(ctx);
  GetKey(ctx, target, kHiddenPutBase);
  HostObjectRecord* record = RecordAt(ctx, -1);
  if (record == nullptr) ThrowScriptError(ctx, JScriptError::CannotAssignToFunctionResult);
  PutTarget put{record->object.get(), DISPID_VALUE, {}};
  if (GetKey(ctx, target, kHiddenPutMember)) {
    put.member = ValueOrThrow(ctx, record->Find(ReadText(ctx, -1)));
  }
  GetKey(ctx, target, kHiddenPutArguments);
  duk_size_t count = duk_get_length(ctx, -1);
  for (duk_uarridx_t i = 0; i < count; ++i) {
    duk_get_prop_index(ctx, -1, i);
    put.indices.push_back(ValueOrThrow(ctx, ReadVariant(ctx, -1)));
    duk_pop(ctx);
  }
  duk_pop_n(ctx, 4);
  return put;
}

duk_ret_t PutTargetGet(duk_context* ctx) {
  PutTarget put = ReadPutTarget(ctx);
  Variant value = ValueOrThrow(ctx, CallHostMember(put.object, put.member, AsVariants(put.indices)));
  PushVariantOrThrow(ctx, value);
  return 1;
}

duk_ret_t PutTargetSet(duk_context* ctx) {
  PutTarget put = ReadPutTarget(ctx);
  Variant value = ValueOrThrow(ctx, ReadVariant(ctx, 0));
  Result<void> assigned = PutHostMember(put.object, put.member, AsVariants(put.indices), value);
  if (!assigned.ok()) ThrowScriptError(ctx, assigned.error());
  return 0;
}

void InstallHandler(duk_context* ctx) {
  duk_push_object(ctx);
  DefineNative<HostGet>(ctx, -1, "get", 3);
  DefineNative<HostSet>(ctx, -1, "set", 4);
  DefineNative<HostHas>(ctx, -1, "has", 2);
  DefineNative<HostDelete>(ctx, -1, "deleteProperty", 2);
  DefineNative<HostOwnKeys>(ctx, -1, "ownKeys", 1);
  PutStashEntry(ctx, kStashHostHandler);
  duk_push_object(ctx);
  PutStashEntry(ctx, kStashMemberCalls);
  duk_push_object(ctx);
  DefineNative<HostValueOf>(ctx, -1, "valueOf", 0);
  DefineNative<HostToString>(ctx, -1, "toString", 0);
  PutStashEntry(ctx, kStashDefaultValue);
}

void InstallPutTargets(duk_context* ctx) {
  duk_push_object(ctx);
  duk_push_string(ctx, "value");
  PushNative<PutTargetGet>(ctx, 0);
  PushNative<PutTargetSet>(ctx, 1);
  duk_def_prop(ctx, -4, DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_HAVE_SETTER);
  PutStashEntry(ctx, kStashPutTarget);
  duk_push_global_object(ctx);
  DefineNative<PutMemberTarget>(ctx, -1, "__jscriptPutMember", DUK_VARARGS);
  DefineNative<PutDefaultTarget>(ctx, -1, "__jscriptPutDefault", DUK_VARARGS);
  duk_pop(ctx);
}

}  // namespace

void InstallHostBridge(duk_context* ctx) {
  InstallHandler(ctx);
  InstallPutTargets(ctx);
}

void PushHostObject(duk_context* ctx, IDispatch* object) {
  auto record = std::make_unique<HostObjectRecord>(ctx, object);
  PushNative<HostCall>(ctx, DUK_VARARGS);
  AttachResource(ctx, -1, std::move(record));
  PushStashEntry(ctx, kStashHostHandler);
  duk_push_proxy(ctx, 0);
}

IDispatch* HostObjectAt(duk_context* ctx, duk_idx_t index) {
  HostObjectRecord* record = RecordAt(ctx, index);
  return record == nullptr ? nullptr : record->object.get();
}

void PushMemberValue(duk_context* ctx, IDispatch* object, DISPID member) {
  Result<Variant> value = InvokeDispatch(object, member, DISPATCH_PROPERTYGET);
  if (value.ok()) {
    PushVariantOrThrow(ctx, value.value());
    return;
  }
  if (!IsArgumentMismatch(value.error())) ThrowScriptError(ctx, value.error());
  PushBoundMember(ctx, object, member);
}

void PushBoundMember(duk_context* ctx, IDispatch* object, DISPID member) {
  PushNative<BoundMemberCall>(ctx, DUK_VARARGS);
  PushHostObject(ctx, object);
  PutKey(ctx, -2, kHiddenBoundObject);
  duk_push_int(ctx, member);
  PutKey(ctx, -2, kHiddenMemberName);
}

Result<Variant> CallHostMember(IDispatch* object, DISPID member, std::span<const VARIANT> arguments) {
  Result<Variant> result = InvokeDispatch(object, member, kCallFlags, arguments);
  if (result.ok() || arguments.empty() || member == DISPID_VALUE || !IsArgumentMismatch(result.error())) {
    return result;
  }
  Variant value = TRY(InvokeDispatch(object, member, DISPATCH_PROPERTYGET));
  return ApplyArguments(value, arguments);
}

Result<void> PutHostMember(IDispatch* object, DISPID member, std::span<const VARIANT> indices, const VARIANT& value) {
  WORD flags = IsObjectValue(value) ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
  std::vector<VARIANT> arguments(indices.begin(), indices.end());
  arguments.push_back(value);
  Result<Variant> assigned = InvokeDispatch(object, member, flags, arguments);
  if (assigned.ok()) return {};
  if (indices.empty() || member == DISPID_VALUE || !IsArgumentMismatch(assigned.error())) return assigned.error();
  Variant owner = TRY(InvokeDispatch(object, member, DISPATCH_PROPERTYGET));
  VARIANT shallow = PeekValue(owner);
  if (shallow.vt != VT_DISPATCH || shallow.pdispVal == nullptr) return ErrorNumber::ObjectRequired;
  TRY(InvokeDispatch(shallow.pdispVal, DISPID_VALUE, flags, arguments));
  return {};
}

}  // namespace jscript
