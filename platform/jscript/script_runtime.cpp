#include "platform/jscript/script_runtime.h"

#include <cmath>
#include <utility>

#include "platform/automation/dispatch_call.h"
#include "platform/automation/text_case.h"
#include "platform/com/type_library.h"
#include "platform/jscript/compiled_text.h"
#include "platform/jscript/duktape_internal.h"
#include "platform/jscript/heap_stash.h"
#include "platform/jscript/host_object.h"
#include "platform/jscript/native_function.h"
#include "platform/jscript/script_heap.h"
#include "platform/jscript/script_text.h"
#include "platform/jscript/value_bridge.h"
#include "platform/system/stack_guard.h"

namespace jscript {
namespace {

constexpr std::string_view kRetainedObjects = "objects";

// Runs `body` (a callable taking the context and returning 0 or 1 values) in a protected
// call; afterwards the stack holds one value: the result, or the error on failure.
template <class Body>
duk_int_t ProtectedCall(duk_context* ctx, Body& body) {
  return duk_safe_call(
      ctx, [](duk_context* c, void* data) -> duk_ret_t { return (*static_cast<Body*>(data))(c); }, &body, 0, 1);
}

template <class T>
T ValueOrThrow(duk_context* ctx, Result<T> result) {
  if (!result.ok()) ThrowScriptError(ctx, result.error());
  return std::move(result).value();
}

void DefineDataOnGlobal(duk_context* ctx, duk_idx_t key, duk_idx_t value) {
  key = duk_normalize_index(ctx, key);
  value = duk_normalize_index(ctx, value);
  duk_push_global_object(ctx);
  duk_dup(ctx, key);
  duk_dup(ctx, value);
  duk_def_prop(ctx, -3,
               DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE |
                   DUK_DEFPROP_CLEAR_ENUMERABLE);
  duk_pop(ctx);
}

// Pushes a getter and a setter. They are the same for every name (the key comes as an
// argument), so a heap makes each pair once, under `stash_key`, frozen: no run can change what
// later runs call.
template <duk_ret_t (*Getter)(duk_context*), duk_ret_t (*Setter)(duk_context*)>
void PushSharedAccessors(duk_context* ctx, std::string_view stash_key) {
  PushStashEntry(ctx, stash_key);
  if (duk_is_undefined(ctx, -1)) {
    duk_pop(ctx);
    duk_push_array(ctx);
    PushNative<Getter>(ctx, 1);
    duk_freeze(ctx, -1);
    duk_put_prop_index(ctx, -2, 0);
    PushNative<Setter>(ctx, 2);
    duk_freeze(ctx, -1);
    duk_put_prop_index(ctx, -2, 1);
    duk_dup_top(ctx);
    PutStashEntry(ctx, stash_key);
  }
  duk_get_prop_index(ctx, -1, 0);
  duk_get_prop_index(ctx, -2, 1);
  duk_remove(ctx, -3);
}

template <duk_ret_t (*Getter)(duk_context*), duk_ret_t (*Setter)(duk_context*)>
void DefineAccessorOnGlobal(duk_context* ctx, std::u16string_view name, std::string_view stash_key) {
  duk_push_global_object(ctx);
  PushText(ctx, name);
  PushSharedAccessors<Getter, Setter>(ctx, stash_key);
  duk_def_prop(ctx, -4,
               DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_HAVE_SETTER | DUK_DEFPROP_SET_CONFIGURABLE |
                   DUK_DEFPROP_CLEAR_ENUMERABLE);
  duk_pop(ctx);
}

ScriptRuntime& RequireRuntime(duk_context* ctx) {
  ScriptRuntime* runtime = ScriptRuntime::Of(ctx);
  if (runtime == nullptr) ThrowScriptError(ctx, JScriptError::FreedScript);
  return *runtime;
}

// A named item read the first time (getter with the key as argument): bound through the
// engine, then kept as a plain global.
duk_ret_t NamedItemGet(duk_context* ctx) {
  ComPtr<IDispatch> object = ValueOrThrow(ctx, RequireRuntime(ctx).NamedItemObject(ReadText(ctx, 0)));
  PushHostObject(ctx, object.get());
  DefineDataOnGlobal(ctx, 0, -1);
  return 1;
}

// setter(value, key)
duk_ret_t GlobalValueSet(duk_context* ctx) {
  DefineDataOnGlobal(ctx, 1, 0);
  return 0;
}

// A name a global-members item may supply, read: the member's value, or the function a call
// goes through; "'x' is undefined" when no item has the member.
duk_ret_t GlobalMemberGet(duk_context* ctx) {
  std::u16string name = ReadText(ctx, 0);
  DISPID member = DISPID_UNKNOWN;
  ComPtr<IDispatch> owner = RequireRuntime(ctx).GlobalMemberOwner(name, &member);
  if (!owner) ThrowScriptError(ctx, JScriptError::UndefinedIdentifier, name);
  if (IsReadForCall(ctx)) {
    PushBoundMember(ctx, owner.get(), member);
  } else {
    PushMemberValue(ctx, owner.get(), member);
  }
  return 1;
}

// setter(value, key): the item's member is assigned, or the name becomes the script's own.
duk_ret_t GlobalMemberSet(duk_context* ctx) {
  DISPID member = DISPID_UNKNOWN;
  ComPtr<IDispatch> owner = RequireRuntime(ctx).GlobalMemberOwner(ReadText(ctx, 1), &member);
  if (!owner) return GlobalValueSet(ctx);
  Variant value = ValueOrThrow(ctx, ReadVariant(ctx, 0));
  Result<void> assigned = PutHostMember(owner.get(), member, {}, value);
  if (!assigned.ok()) ThrowScriptError(ctx, assigned.error());
  return 0;
}

// The run's global object (inheriting every built-in from the heap's own) and its table.
duk_ret_t SetUpRun(duk_context* ctx, void*) {
  duk_push_object(ctx);
  PushStashEntry(ctx, kStashPristineGlobal);
  duk_set_prototype(ctx, -2);
  duk_push_string(ctx, "globalThis");
  duk_dup(ctx, -2);
  duk_def_prop(ctx, -3,
               DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE |
                   DUK_DEFPROP_CLEAR_ENUMERABLE);
  duk_set_global_object(ctx);
  duk_push_object(ctx);
  duk_push_object(ctx);
  PutKey(ctx, -2, kRetainedObjects);
  PutStashEntry(ctx, kStashRun);
  return 0;
}

// The run's global object refers to itself (globalThis), a cycle reference counting cannot
// free: left alone, every run's global and what only it holds would pile up until a full
// collection. Broken at the end of the run, they go at once. A script that made the property
// non-configurable keeps the cycle (the deletion fails; the collector frees it later).
duk_ret_t BreakGlobalCycle(duk_context* ctx, void*) {
  duk_push_global_object(ctx);
  duk_idx_t global = duk_get_top_index(ctx);
  duk_push_string(ctx, "globalThis");
  duk_get_prop_desc(ctx, global, 0);  // undefined when a script deleted it
  bool refers_to_itself = duk_is_object(ctx, -1) && duk_get_prop_string(ctx, -1, "value") &&
                          duk_get_heapptr(ctx, -1) == duk_get_heapptr(ctx, global);
  duk_set_top(ctx, global + 1);
  if (refers_to_itself) duk_del_prop_string(ctx, global, "globalThis");
  return 0;
}

void PushRetainedTable(duk_context* ctx) {
  PushStashEntry(ctx, kStashRun);
  GetKey(ctx, -1, kRetainedObjects);
  duk_remove(ctx, -2);
}

HRESULT HresultOfNumber(double number) {
  if (!std::isfinite(number)) return 0;
  return static_cast<HRESULT>(static_cast<uint32_t>(static_cast<int64_t>(number)));
}

// Pushes the property `member` of the object at `index`: the exact name, else the first own
// property whose name matches ignoring case (hosts written in case-blind languages call in).
void PushProperty(duk_context* ctx, duk_idx_t index, std::u16string_view member, std::u16string* actual) {
  index = duk_normalize_index(ctx, index);
  *actual = member;
  PushText(ctx, member);
  if (duk_has_prop(ctx, index)) {
    PushText(ctx, member);
    duk_get_prop(ctx, index);
    return;
  }
  duk_enum(ctx, index, DUK_ENUM_INCLUDE_NONENUMERABLE);
  while (duk_next(ctx, -1, 0)) {
    std::u16string key = ReadText(ctx, -1);
    duk_pop(ctx);
    if (EqualsIgnoringCase(key, member)) {
      *actual = key;
      break;
    }
  }
  duk_pop(ctx);
  PushText(ctx, *actual);
  duk_get_prop(ctx, index);
}

// Calls the function at `function` with `self` as this and `arguments`; leaves the result.
void CallWith(duk_context* ctx, duk_idx_t function, duk_idx_t self, std::span<const VARIANT> arguments) {
  function = duk_normalize_index(ctx, function);
  self = duk_normalize_index(ctx, self);
  duk_dup(ctx, function);
  duk_dup(ctx, self);
  for (const VARIANT& argument : arguments) PushVariantOrThrow(ctx, argument);
  duk_call_method(ctx, static_cast<duk_idx_t>(arguments.size()));
}

}  // namespace

// Entering the heap: the lock, and at the outermost level a clean slate for stops.
class ScriptRuntime::Entry {
 public:
  explicit Entry(ScriptRuntime& runtime) : runtime_(runtime), lock_(runtime.link_->lock) {
    if (runtime_.depth_++ > 0) return;
    runtime_.heap_->ClearStop();
    runtime_.last_throw_place_ = ErrorPlace{};
    std::lock_guard<std::mutex> stop_lock(runtime_.stop_mutex_);
    runtime_.stop_error_.reset();
  }
  ~Entry() { --runtime_.depth_; }
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;

 private:
  ScriptRuntime& runtime_;
  std::lock_guard<std::recursive_mutex> lock_;
};

ScriptRuntime::ScriptRuntime(RuntimeHost* host) : host_(host), link_(std::make_shared<RuntimeLink>()) {}

std::unique_ptr<ScriptRuntime> ScriptRuntime::Create(RuntimeHost* host) {
  std::unique_ptr<ScriptHeap> heap = AcquireHeap();
  if (!heap) return nullptr;
  std::unique_ptr<ScriptRuntime> runtime(new ScriptRuntime(host));
  runtime->link_->runtime = runtime.get();
  heap->BeginRun(runtime.get());
  duk_context* ctx = heap->context();
  runtime->heap_ = std::move(heap);
  bool ready = duk_safe_call(ctx, SetUpRun, nullptr, 0, 1) == DUK_EXEC_SUCCESS;
  duk_pop(ctx);
  if (!ready) return nullptr;
  return runtime;
}

ScriptRuntime::~ScriptRuntime() {
  std::lock_guard<std::recursive_mutex> lock(link_->lock);
  link_->runtime = nullptr;
  items_.clear();
  if (!heap_) return;
  duk_context* ctx = heap_->context();
  duk_safe_call(ctx, BreakGlobalCycle, nullptr, 0, 1);
  duk_pop(ctx);
  bool reusable = heap_->EndRun();
  ReleaseHeap(std::move(heap_), reusable);
}

ScriptRuntime* ScriptRuntime::Of(duk_context* ctx) {
  ScriptHeap* heap = ScriptHeap::Of(ctx);
  return heap == nullptr ? nullptr : heap->runtime();
}

duk_context* ScriptRuntime::context() const { return heap_->context(); }

Result<void> ScriptRuntime::AddNamedItem(std::u16string_view name, bool global_members) {
  Entry entry(*this);
  items_.push_back({std::u16string(name), global_members, nullptr});
  has_global_members_ = has_global_members_ || global_members;
  auto body = [&](duk_context* ctx) -> duk_ret_t {
    DefineAccessorOnGlobal<NamedItemGet, GlobalValueSet>(ctx, name, kStashNamedItemAccessors);
    return 0;
  };
  duk_context* ctx = context();
  bool defined = ProtectedCall(ctx, body) == DUK_EXEC_SUCCESS;
  duk_pop(ctx);
  if (!defined) return ErrorNumber::OutOfMemory;
  return {};
}

Result<void> ScriptRuntime::AddConstants(const TypeLibrary& library) {
  Entry entry(*this);
  auto body = [&](duk_context* ctx) -> duk_ret_t {
    duk_push_global_object(ctx);
    for (const TypeLibraryEnumeration& enumeration : library.enumerations) {
      for (const TypeLibraryConstant& constant : enumeration.constants) {
        PushText(ctx, constant.name);
        duk_push_int(ctx, constant.value);
        duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_CLEAR_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE |
                                  DUK_DEFPROP_CLEAR_ENUMERABLE);
      }
    }
    return 0;
  };
  duk_context* ctx = context();
  bool defined = ProtectedCall(ctx, body) == DUK_EXEC_SUCCESS;
  duk_pop(ctx);
  if (!defined) return ErrorNumber::OutOfMemory;
  return {};
}

Result<ComPtr<IDispatch>> ScriptRuntime::NamedItemObject(std::u16string_view name) {
  for (NamedItem& item : items_) {
    if (item.name != name) continue;
    if (!item.object) item.object = TRY(host_->NamedItemObject(name));
    return item.object;
  }
  return host_->NamedItemObject(name);
}

ComPtr<IDispatch> ScriptRuntime::GlobalMemberOwner(std::u16string_view name, DISPID* member) {
  for (NamedItem& item : items_) {
    if (!item.global_members) continue;
    Result<ComPtr<IDispatch>> object = NamedItemObject(item.name);
    if (!object.ok() || !object.value()) continue;
    Result<DISPID> id = GetDispatchId(object.value().get(), name);
    if (!id.ok()) continue;
    *member = id.value();
    return object.value();
  }
  return nullptr;
}

bool ScriptRuntime::IsNamedItem(std::u16string_view name) const {
  for (const NamedItem& item : items_) {
    if (item.name == name) return true;
  }
  return false;
}

// Names a global-members item may supply become accessors of the run's global object, unless
// the script or the built-ins already define them.
void ScriptRuntime::DefineFreeNames(duk_context* ctx, const CompiledText& text) {
  duk_push_global_object(ctx);
  for (const std::u16string& name : text.free_names) {
    if (free_names_defined_.contains(name)) continue;
    PushText(ctx, name);
    bool known = duk_has_prop(ctx, -2);
    if (!known) DefineAccessorOnGlobal<GlobalMemberGet, GlobalMemberSet>(ctx, name, kStashGlobalMemberAccessors);
    free_names_defined_.insert(name);
  }
  duk_pop(ctx);
}

void ScriptRuntime::DrainReleased(duk_context* ctx) {
  std::vector<uint32_t> released;
  {
    std::lock_guard<std::mutex> lock(link_->released_mutex);
    released.swap(link_->released);
  }
  if (released.empty()) return;
  PushRetainedTable(ctx);
  for (uint32_t key : released) duk_del_prop_index(ctx, -1, key);
  duk_pop(ctx);
}

RunOutcome ScriptRuntime::Run(const CompiledText& text, Variant* result) {
  Entry entry(*this);
  Variant value;
  auto body = [&](duk_context* ctx) -> duk_ret_t {
    DrainReleased(ctx);
    if (has_global_members_) DefineFreeNames(ctx, text);
    duk_push_external_buffer(ctx);
    duk_config_buffer(ctx, -1, const_cast<char*>(text.bytecode.data()), text.bytecode.size());
    duk_load_function(ctx);
    duk_call(ctx, 0);
    if (result != nullptr) value = ValueOrThrow(ctx, ReadVariant(ctx, -1));
    return 0;
  };
  duk_context* ctx = context();
  RunOutcome outcome = Finish(ProtectedCall(ctx, body), ctx);
  duk_pop(ctx);
  if (outcome == RunOutcome::Completed && result != nullptr) *result = std::move(value);
  return outcome;
}

bool ScriptRuntime::FindGlobal(std::u16string_view name, std::u16string* actual) {
  Entry entry(*this);
  std::u16string exact;
  std::u16string folded;
  auto body = [&](duk_context* ctx) -> duk_ret_t {
    duk_push_global_object(ctx);
    duk_enum(ctx, -1, DUK_ENUM_OWN_PROPERTIES_ONLY | DUK_ENUM_INCLUDE_NONENUMERABLE);
    while (exact.empty() && duk_next(ctx, -1, 0)) {
      std::u16string key = ReadText(ctx, -1);
      duk_get_prop_desc(ctx, -3, 0);
      bool is_data = duk_has_prop_string(ctx, -1, "value");
      duk_pop(ctx);
      if (!is_data || IsNamedItem(key) || key == u"globalThis") continue;
      if (key == name) {
        exact = key;
      } else if (folded.empty() && EqualsIgnoringCase(key, name)) {
        folded = key;
      }
    }
    return 0;
  };
  duk_context* ctx = context();
  bool completed = ProtectedCall(ctx, body) == DUK_EXEC_SUCCESS;
  duk_pop(ctx);
  *actual = exact.empty() ? folded : exact;
  return completed && !actual->empty();
}

RunOutcome ScriptRuntime::InvokeGlobal(std::u16string_view name, WORD flags, std::span<const VARIANT> arguments,
                                       Variant* result) {
  Entry entry(*this);
  Variant value;
  auto body = [&](duk_context* ctx) -> duk_ret_t {
    DrainReleased(ctx);
    duk_push_global_object(ctx);
    duk_idx_t global = duk_get_top_index(ctx);
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
      if (arguments.size() != 1) ThrowScriptError(ctx, ErrorNumber::WrongNumberOfArguments);
      PushText(ctx, name);
      PushVariantOrThrow(ctx, arguments[0]);
      duk_put_prop(ctx, global);
      return 0;
    }
    PushText(ctx, name);
    duk_get_prop(ctx, global);
    if (duk_is_callable(ctx, -1)) {
      duk_push_undefined(ctx);
      CallWith(ctx, -2, -1, arguments);
    } else if (!arguments.empty()) {
      ThrowScriptError(ctx, JScriptError::FunctionExpected);
    }
    value = ValueOrThrow(ctx, ReadVariant(ctx, -1));
    return 0;
  };
  duk_context* ctx = context();
  RunOutcome outcome = Finish(ProtectedCall(ctx, body), ctx);
  duk_pop(ctx);
  if (outcome == RunOutcome::Completed && result != nullptr) *result = std::move(value);
  return outcome;
}

uint32_t ScriptRuntime::RetainValue(duk_context* ctx, duk_idx_t index) {
  index = duk_normalize_index(ctx, index);
  uint32_t key = next_key_++;
  if (next_key_ == 0) next_key_ = 1;
  PushRetainedTable(ctx);
  duk_dup(ctx, index);
  duk_put_prop_index(ctx, -2, key);
  duk_pop(ctx);
  return key;
}

void ScriptRuntime::PushRetainedValue(duk_context* ctx, uint32_t key) {
  PushRetainedTable(ctx);
  duk_get_prop_index(ctx, -1, key);
  duk_remove(ctx, -2);
}

RunOutcome ScriptRuntime::InvokeRetained(uint32_t key, std::u16string_view member, WORD flags,
                                         std::span<const VARIANT> arguments, Variant* result) {
  Entry entry(*this);
  Variant value;
  bool is_put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  auto body = [&](duk_context* ctx) -> duk_ret_t {
    DrainReleased(ctx);
    PushRetainedValue(ctx, key);
    duk_idx_t self = duk_get_top_index(ctx);
    if (member.empty()) {
      if (is_put) ThrowScriptError(ctx, JScriptError::IllegalAssignment);
      bool call = duk_is_callable(ctx, self) && ((flags & DISPATCH_METHOD) != 0 || !arguments.empty());
      if (call) {
        duk_push_undefined(ctx);
        CallWith(ctx, self, -1, arguments);
      } else {
        duk_dup(ctx, self);
        duk_to_string(ctx, -1);
      }
      value = ValueOrThrow(ctx, ReadVariant(ctx, -1));
      return 0;
    }
    std::u16string actual;
    if (is_put) {
      if (arguments.empty()) ThrowScriptError(ctx, ErrorNumber::WrongNumberOfArguments);
      PushProperty(ctx, self, member, &actual);
      duk_pop(ctx);
      PushText(ctx, actual);
      PushVariantOrThrow(ctx, arguments.back());
      duk_put_prop(ctx, self);
      return 0;
    }
    PushProperty(ctx, self, member, &actual);
    if (duk_is_callable(ctx, -1) && ((flags & DISPATCH_METHOD) != 0 || !arguments.empty())) {
      CallWith(ctx, -1, self, arguments);
    } else if (!arguments.empty()) {
      ThrowScriptError(ctx, JScriptError::FunctionExpected);
    }
    value = ValueOrThrow(ctx, ReadVariant(ctx, -1));
    return 0;
  };
  duk_context* ctx = context();
  RunOutcome outcome = Finish(ProtectedCall(ctx, body), ctx);
  duk_pop(ctx);
  if (outcome == RunOutcome::Completed && result != nullptr) *result = std::move(value);
  return outcome;
}

Result<std::vector<Variant>> ScriptRuntime::RetainedElements(uint32_t key) {
  Entry entry(*this);
  std::vector<Variant> elements;
  auto body = [&](duk_context* ctx) -> duk_ret_t {
    PushRetainedValue(ctx, key);
    if (!duk_is_array(ctx, -1)) ThrowScriptError(ctx, JScriptError::ObjectNotACollection);
    duk_size_t length = duk_get_length(ctx, -1);
    for (duk_uarridx_t i = 0; i < length; ++i) {
      duk_get_prop_index(ctx, -1, i);
      elements.push_back(ValueOrThrow(ctx, ReadVariant(ctx, -1)));
      duk_pop(ctx);
    }
    return 0;
  };
  duk_context* ctx = context();
  bool completed = ProtectedCall(ctx, body) == DUK_EXEC_SUCCESS;
  duk_pop(ctx);
  if (!completed) return ErrorNumber::ObjectNotACollection;
  return elements;
}

RunOutcome ScriptRuntime::Finish(duk_int_t status, duk_context* ctx) {
  if (status == DUK_EXEC_SUCCESS) return RunOutcome::Completed;
  if (heap_->stop_requested()) {
    std::lock_guard<std::mutex> lock(stop_mutex_);
    if (!stop_error_) return RunOutcome::Stopped;
    last_error_ = *stop_error_;
    return RunOutcome::Failed;
  }
  ErrorFromValue(ctx, -1);
  return RunOutcome::Failed;
}

// The error a script raised, from the value it threw: an Error object's number and
// description, or "Exception thrown and not caught" for any other value. The value is read in
// a protected call: a thrown object's getters or Proxy traps may fail in turn.
void ScriptRuntime::ErrorFromValue(duk_context* ctx, duk_idx_t index) {
  RunError error;
  error.source = kRuntimeErrorSource;
  // A protected call sees the caller's whole stack; the value is its top.
  auto read = [&](duk_context* c) -> duk_ret_t {
    duk_idx_t value = duk_normalize_index(c, -1);
    if (!duk_is_object(c, value)) return 0;
    error.place = PlaceOfError(c, value);
    duk_get_prop_string(c, value, "number");
    if (duk_is_number(c, -1)) error.scode = HresultOfNumber(duk_get_number(c, -1));
    duk_get_prop_string(c, value, "message");
    if (duk_is_string(c, -1)) error.description = ReadText(c, -1);
    // An error made where the hooks could not run (no stack left) is read here.
    duk_get_prop_string(c, value, "name");
    if (error.scode == 0 && duk_is_string(c, -1) && duk_is_error(c, value)) {
      MappedError mapped = MapRuntimeError(ReadText(c, -1), error.description);
      error.scode = ScriptErrorHresult(mapped.number);
      error.description = std::move(mapped.description);
    }
    return 0;
  };
  duk_dup(ctx, index);
  duk_int_t status = duk_safe_call(
      ctx, [](duk_context* c, void* data) -> duk_ret_t { return (*static_cast<decltype(read)*>(data))(c); }, &read, 1, 1);
  duk_pop(ctx);
  // With no stack left even reading the error fails: the error is the lack of stack.
  if (status != DUK_EXEC_SUCCESS && ThreadStackIsLow()) {
    error.scode = JScriptErrorHresult(JScriptError::OutOfStackSpace);
    error.description = JScriptErrorText(static_cast<int32_t>(JScriptError::OutOfStackSpace));
  }
  if (error.place.text_id == 0) error.place = last_throw_place_;
  if (error.scode == 0) {
    error.scode = JScriptErrorHresult(JScriptError::ExceptionNotCaught);
    if (error.description.empty()) {
      error.description = JScriptErrorText(static_cast<int32_t>(JScriptError::ExceptionNotCaught));
    }
  }
  last_error_ = std::move(error);
}

void ScriptRuntime::Interrupt(const EXCEPINFO* exception) {
  if (exception != nullptr) {
    RunError error;
    error.scode = exception->scode != 0 ? exception->scode : ScriptErrorHresult(exception->wCode);
    error.description = BstrView(exception->bstrDescription);
    error.source = BstrView(exception->bstrSource);
    std::lock_guard<std::mutex> lock(stop_mutex_);
    stop_error_ = std::move(error);
  }
  heap_->RequestStop();
}

void ScriptRuntime::StopFromHost() { heap_->RequestStop(); }

}  // namespace jscript
