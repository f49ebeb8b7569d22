// Calls: names applied to arguments (procedures, array elements, default members, the
// library, the engine's functions), members of objects (script class instances directly, other
// objects through IDispatch with a cached DISPID per site), New, For Each iteration, and the
// IDispatch entry points back into the interpreter.
#include <atomic>
#include <cstring>
#include <new>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/safearray.h"
#include "platform/com/creation.h"
#include "platform/automation/direct_invoke.h"
#include "platform/com/enum_variant.h"
#include "platform/com/error_info.h"
#include "platform/vbscript/compiler.h"
#include "platform/vbscript/err_object.h"
#include "platform/vbscript/interpreter.h"
#include "platform/vbscript/interpreter_values.h"
#include "platform/vbscript/regexp_module.h"
#include "platform/vbscript/script_class.h"
#include "platform/automation/text_case.h"

namespace vbscript {
namespace {

constexpr WORD kGetFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
constexpr WORD kPutFlags = DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;
// Arguments of most object calls fit here without touching the heap.
constexpr size_t kInlineArguments = 16;

Error NamedError(ErrorNumber number, std::u16string_view name) {
  std::u16string text(StandardErrorDescription(static_cast<int32_t>(number)));
  if (!name.empty()) {
    text += u": '";
    text += name;
    text += u"'";
  }
  return Error::Script(static_cast<int32_t>(number), std::move(text));
}

// What For Each walks: the elements of an array (locked meanwhile) or a collection's
// enumerator. Lives in a hidden local as a VT_UNKNOWN.
class ForEachIterator final : public IUnknown {
 public:
  ForEachIterator() { Vtable().store(*reinterpret_cast<const void* const*>(this), std::memory_order_relaxed); }
  /// The iterator a hidden local holds, or null when it holds anything else.
  static ForEachIterator* From(const VARIANT& slot) {
    if (slot.vt != VT_UNKNOWN || slot.punkVal == nullptr) return nullptr;
    const void* vtable = *reinterpret_cast<const void* const*>(slot.punkVal);
    if (vtable != Vtable().load(std::memory_order_relaxed)) return nullptr;
    return static_cast<ForEachIterator*>(slot.punkVal);
  }
  ~ForEachIterator() {
    if (array_ != nullptr) SafeArrayUnlock(array_);
  }
  ForEachIterator(const ForEachIterator&) = delete;
  ForEachIterator& operator=(const ForEachIterator&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!(iid == IID_IUnknown)) return E_NOINTERFACE;
    *object = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    ULONG remaining = --references_;
    if (remaining == 0) delete this;
    return remaining;
  }

  // Walks `array`, owning `holder` (a copy of a temporary array) when it holds one.
  void WalkArray(SAFEARRAY* array, Variant holder) {
    owned_ = std::move(holder);
    if (array == nullptr) return;
    array_ = array;
    SafeArrayLock(array_);
    count_ = SafeArrayElementCount(array_);
  }
  void WalkEnumerator(ComPtr<IEnumVARIANT> enumerator) { enumerator_ = std::move(enumerator); }

  // The next element, or false at the end. Arrays go in storage order: the first index
  // varies fastest.
  Result<bool> Next(Variant* element) {
    if (enumerator_) {
      ULONG fetched = 0;
      VARIANT value;
      VariantInit(&value);
      HRESULT hr = enumerator_->Next(1, &value, &fetched);
      if (FAILED(hr)) return Error::FromHresult(hr);
      if (fetched == 0) return false;
      element->Attach(value);
      return true;
    }
    if (array_ == nullptr || index_ >= count_) return false;
    VARIANT reference;
    VariantInit(&reference);
    reference.vt = static_cast<VARTYPE>(VT_BYREF | array_->vt);
    reference.byref = static_cast<char*>(array_->pvData) + index_ * array_->cbElements;
    ++index_;
    if (FAILED(VariantCopyInd(element, &reference))) return ErrorNumber::OutOfMemory;
    return true;
  }

 private:
  static std::atomic<const void*>& Vtable() {
    static std::atomic<const void*> vtable{nullptr};
    return vtable;
  }

  ULONG references_ = 1;
  Variant owned_;
  SAFEARRAY* array_ = nullptr;
  uint64_t index_ = 0;
  uint64_t count_ = 0;
  ComPtr<IEnumVARIANT> enumerator_;
};

constexpr std::u16string_view kRegExpProgId = u"VBScript.RegExp";

Result<Variant> NewRegExp() {
  ComPtr<IDispatch> expression = CreateRegExp();
  if (!expression) return ErrorNumber::OutOfMemory;
  return Variant::FromDispatch(expression.get());
}

// An instance of a script class made by `runtime` in its current run, else null.
ScriptInstance* OwnInstance(IDispatch* object, const Interpreter* runtime) {
  if (object == nullptr || !ScriptInstance::IsInstance(object)) return nullptr;
  auto* instance = static_cast<ScriptInstance*>(object);
  return instance->BelongsTo(runtime) ? instance : nullptr;
}

const void* VtableOf(const IDispatch* object) { return *reinterpret_cast<const void* const*>(object); }

// Where an object's IDirectInvoke lies from its IDispatch; kNoDirectInvoke when it has none.
std::ptrdiff_t DirectInvokeOffset(IDispatch* object) {
  void* direct = nullptr;
  if (FAILED(object->QueryInterface(IID_IDirectInvoke, &direct)) || direct == nullptr) return kNoDirectInvoke;
  static_cast<IDirectInvoke*>(direct)->Release();
  return reinterpret_cast<char*>(direct) - reinterpret_cast<char*>(object);
}

// The arguments of an IDispatch call, first first: positional ones reversed out of DISPPARAMS,
// the assigned value of a put last. Named arguments are refused (script procedures have none).
HRESULT CollectArguments(DISPPARAMS* params, WORD flags, std::vector<VARIANT>& arguments) {
  if (params == nullptr) return S_OK;
  UINT named = params->cNamedArgs;
  bool is_put = (flags & kPutFlags) != 0;
  bool put_named = is_put && named == 1 && params->rgdispidNamedArgs != nullptr &&
                   params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
  if (named > 0 && !put_named) return DISP_E_NONAMEDARGS;
  if (params->cArgs > 0 && params->rgvarg == nullptr) return E_INVALIDARG;
  for (UINT i = params->cArgs; i-- > named;) arguments.push_back(params->rgvarg[i]);
  if (put_named) arguments.push_back(params->rgvarg[0]);
  return S_OK;
}

}  // namespace

// ---- Names applied to arguments ----

// var(arguments), read as a value, a reference (argument position) or a statement. The result
// replaces the arguments at `arguments`; true when a procedure frame was entered instead.
Result<bool> Interpreter::CallVariable(const Instruction& instruction, VARIANT* arguments, uint32_t count,
                                       CallUse use) {
  Frame& frame = frames_.back();
  switch (instruction.mode) {
    case VariableMode::Local:
      return ApplyValue(&frame.locals[instruction.a], arguments, count, use,
                        frame.procedure->local_names[instruction.a]);
    case VariableMode::Field: {
      if (frame.me == nullptr) return ErrorNumber::ObjectRequired;
      return ApplyValue(frame.me->field(static_cast<size_t>(instruction.a)), arguments, count, use, {});
    }
    case VariableMode::Global: return CallSlot(frame.links[instruction.a], arguments, count, use);
    case VariableMode::Implicit: {
      GlobalSlot* slot = frame.links[instruction.a];
      TRY(ResolveSlot(slot));
      if (slot->kind != SlotKind::Undefined) return CallSlot(slot, arguments, count, use);
      if (GlobalSlot* executed = ExecutedProcedure(frame, slot->name)) return CallSlot(executed, arguments, count, use);
      if (!ImplicitLocalAllowed(instruction, frame)) return NamedError(ErrorNumber::VariableIsUndefined, slot->name);
      return ApplyValue(&frame.locals[instruction.b], arguments, count, use, slot->name);
    }
  }
  return false;
}

Result<bool> Interpreter::CallSlot(GlobalSlot* slot, VARIANT* arguments, uint32_t count, CallUse use) {
  TRY(ResolveSlot(slot));
  // Constants and host objects are never passed by reference.
  CallUse by_value = use == CallUse::Reference ? CallUse::Value : use;
  switch (slot->kind) {
    case SlotKind::Variable:
      return ApplyValue(slot->storage, arguments, count, use, slot->name);
    case SlotKind::Constant:
      return ApplyValue(slot->storage, arguments, count, by_value, slot->name);
    case SlotKind::NamedItem:
      TRY(BindNamedItem(slot));
      return ApplyValue(slot->storage, arguments, count, by_value, slot->name);
    case SlotKind::Undefined:
      if (frames_.back().unit->code->option_explicit) return NamedError(ErrorNumber::VariableIsUndefined, slot->name);
      if (count > 0 || use == CallUse::Statement || use == CallUse::Parens) {
        return NamedError(ErrorNumber::TypeMismatch, slot->name);
      }
      PutEmpty(arguments);
      return false;
    case SlotKind::Procedure:
      TRY(EnterProcedure(slot->procedure, slot->unit, slot->unit->links.data(), nullptr, arguments, count,
                         FrameKind::Nested));
      return true;
    case SlotKind::Class: return NamedError(ErrorNumber::TypeMismatch, slot->name);
    case SlotKind::Builtin: {
      if (use != CallUse::Statement && slot->builtin->use == BuiltinUse::StatementOnly) {
        return NamedError(ErrorNumber::TypeMismatch, slot->name);
      }
      // A conversion called as a statement converts first (CStr(Null) is still 94), then
      // fails: its value cannot be thrown away.
      bool entered = TRY(CallBuiltin(slot->builtin, arguments, count));
      if (use == CallUse::Statement && slot->builtin->use == BuiltinUse::ValueOnly) {
        return ErrorNumber::UnsupportedAutomationType;
      }
      return entered;
    }
    case SlotKind::EngineFunction: {
      Variant result = TRY(CallEngineFunction(slot->engine_function, arguments, count));
      ClearRange(arguments, arguments + count);
      PutValue(arguments, result.Detach());
      return false;
    }
    case SlotKind::GlobalMember: {
      ComPtr<IDispatch> owner = slot->member_owner;
      Variant result = TRY(InvokeObject(owner.get(), slot->member_id, kGetFlags, arguments, count));
      ClearRange(arguments, arguments + count);
      PutValue(arguments, result.Detach());
      return false;
    }
  }
  return false;
}

// A variable's value applied to arguments: an array element, the default member of an object,
// or (without arguments) the value itself.
Result<bool> Interpreter::ApplyValue(VARIANT* storage, VARIANT* arguments, uint32_t count, CallUse use,
                                     std::u16string_view name) {
  bool as_reference = use == CallUse::Reference;
  bool as_statement = use == CallUse::Statement;
  VARIANT value = PeekValue(*storage);
  if ((value.vt & VT_ARRAY) != 0 && count > 0) {
    VARIANT element = TRY(ElementReference(*storage, arguments, count));
    VARIANT result;
    VariantInit(&result);
    if (as_reference) {
      result = element;
      int32_t lock = LockElement(value.parray);
      result.wReserved1 = kElementReferenceMark;
      result.wReserved2 = static_cast<uint16_t>(lock & 0xFFFF);
      result.wReserved3 = static_cast<uint16_t>(static_cast<uint32_t>(lock) >> 16);
    } else if (FAILED(VariantCopyInd(&result, &element))) {
      return ErrorNumber::OutOfMemory;
    }
    ClearRange(arguments, arguments + count);
    *arguments = result;
    return false;
  }
  if (value.vt == VT_DISPATCH && (count > 0 || as_statement)) {
    if (value.pdispVal == nullptr) return ErrorNumber::ObjectVariableNotSet;
    ComPtr<IDispatch> object(value.pdispVal);
    WORD flags = as_statement && count == 0 ? DISPATCH_METHOD : kGetFlags;
    Variant result = TRY(InvokeObject(object.get(), DISPID_VALUE, flags, arguments, count));
    ClearRange(arguments, arguments + count);
    PutValue(arguments, result.Detach());
    return false;
  }
  if (use == CallUse::Parens) {
    // x(): an array stays itself, an object's default member is called.
    if ((value.vt & VT_ARRAY) == 0 && value.vt != VT_DISPATCH) return NamedError(ErrorNumber::TypeMismatch, name);
    Variant result = TRY(CallWithEmptyParens(*storage));
    PutValue(arguments, result.Detach());
    return false;
  }
  if (count > 0 || as_statement) return NamedError(ErrorNumber::TypeMismatch, name);
  if (as_reference) {
    PutReference(arguments, storage->vt == (VT_BYREF | VT_VARIANT) ? storage->pvarVal : storage);
    return false;
  }
  VariantInit(arguments);
  if (FAILED(VariantCopyInd(arguments, storage))) return ErrorNumber::OutOfMemory;
  arguments->wReserved1 = 0;
  return false;
}

Result<Variant> Interpreter::CallValue(const VARIANT& callee, VARIANT* arguments, uint32_t count) {
  VARIANT value = PeekValue(callee);
  if ((value.vt & VT_ARRAY) != 0 && count > 0) {
    VARIANT element = TRY(ElementReference(callee, arguments, count));
    Variant copy;
    if (FAILED(VariantCopyInd(&copy, &element))) return ErrorNumber::OutOfMemory;
    return copy;
  }
  if (value.vt == VT_DISPATCH && count > 0) {
    if (value.pdispVal == nullptr) return ErrorNumber::ObjectVariableNotSet;
    ComPtr<IDispatch> object(value.pdispVal);
    return InvokeObject(object.get(), DISPID_VALUE, kGetFlags, arguments, count);
  }
  if (count > 0) return ErrorNumber::TypeMismatch;
  Variant copy;
  if (FAILED(VariantCopyInd(&copy, &callee))) return ErrorNumber::OutOfMemory;
  return copy;
}

// value(): the result of calling an object's default member (GetRef("F")() calls F); an array
// is itself; anything else is Type mismatch.
Result<Variant> Interpreter::CallWithEmptyParens(const VARIANT& callee) {
  VARIANT value = PeekValue(callee);
  if (value.vt == VT_DISPATCH) {
    if (value.pdispVal == nullptr) return ErrorNumber::ObjectVariableNotSet;
    ComPtr<IDispatch> object(value.pdispVal);
    return InvokeObject(object.get(), DISPID_VALUE, kGetFlags, nullptr, 0);
  }
  if ((value.vt & VT_ARRAY) == 0) return ErrorNumber::TypeMismatch;
  Variant copy;
  if (FAILED(VariantCopyInd(&copy, &callee))) return ErrorNumber::OutOfMemory;
  return copy;
}

// var(arguments) = value: an array element, an object's default member, a host item's member.
Result<void> Interpreter::StoreIndexed(const Instruction& instruction, VARIANT* arguments, AssignMode mode) {
  bool is_set = mode == AssignMode::Set;
  Frame& frame = frames_.back();
  uint32_t count = instruction.count;
  VARIANT* value = arguments + count;
  VARIANT* storage = nullptr;
  GlobalSlot* slot = nullptr;
  if (instruction.mode == VariableMode::Global || instruction.mode == VariableMode::Implicit) {
    slot = frame.links[instruction.a];
    TRY(ResolveSlot(slot));
    if (slot->kind == SlotKind::Undefined && instruction.mode == VariableMode::Implicit &&
        ImplicitLocalAllowed(instruction, frame)) {
      slot = nullptr;
    }
  }
  if (slot != nullptr && slot->kind == SlotKind::GlobalMember) {
    if (!is_set) TRY(ValueInPlace(value));
    ComPtr<IDispatch> owner = slot->member_owner;
    TRY(InvokeObject(owner.get(), slot->member_id, is_set ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT,
                     arguments, count + 1));
    return {};
  }
  if (slot != nullptr) {
    if (slot->kind == SlotKind::Undefined) {
      if (frame.unit->code->option_explicit) return NamedError(ErrorNumber::VariableIsUndefined, slot->name);
      return NamedError(ErrorNumber::TypeMismatch, slot->name);
    }
    if (slot->kind == SlotKind::NamedItem) TRY(BindNamedItem(slot));
    bool is_data = slot->kind == SlotKind::Variable || slot->kind == SlotKind::Constant ||
                   slot->kind == SlotKind::NamedItem;
    if (!is_data) return ErrorNumber::IllegalAssignment;
    storage = slot->storage;
  } else {
    Instruction as_local = instruction;
    if (as_local.mode == VariableMode::Implicit) {
      as_local.mode = VariableMode::Local;
      as_local.a = instruction.b;
    }
    storage = TRY(VariableAddress(as_local, Access::Read));
  }
  return StoreInto(*storage, arguments, count, value, mode);
}

// container(arguments) = value for the value a variable holds.
Result<void> Interpreter::StoreInto(const VARIANT& container, VARIANT* arguments, uint32_t count, VARIANT* value,
                                    AssignMode mode) {
  bool is_set = mode == AssignMode::Set;
  VARIANT target = PeekValue(container);
  if ((target.vt & VT_ARRAY) != 0) {
    VARIANT element = TRY(ElementReference(container, arguments, count));
    return Assign(&element, value, mode);
  }
  if (target.vt != VT_DISPATCH) return ErrorNumber::TypeMismatch;
  if (target.pdispVal == nullptr) return ErrorNumber::ObjectVariableNotSet;
  TRY(PrepareAssignedValue(value, mode));
  ComPtr<IDispatch> object(target.pdispVal);
  TRY(InvokeObject(object.get(), DISPID_VALUE, is_set ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT,
                   arguments, count + 1));
  return {};
}

// The value a put passes: Let gives an object's default value, Set requires an object.
Result<void> Interpreter::PrepareAssignedValue(VARIANT* value, AssignMode mode) {
  bool is_set = mode == AssignMode::Set;
  VARIANT shallow = PeekValue(*value);
  bool is_object = shallow.vt == VT_DISPATCH || shallow.vt == VT_UNKNOWN;
  if (is_set) {
    if (!is_object) return ErrorNumber::ObjectRequired;
    return {};
  }
  if (!is_object) return {};
  return ValueInPlace(value);
}

Result<void> Interpreter::ValueInPlace(VARIANT* slot) {
  VARIANT shallow = PeekValue(*slot);
  if (shallow.vt != VT_DISPATCH && shallow.vt != VT_UNKNOWN) return {};
  Variant value = TRY(ValueOf(shallow));
  ReleaseSlot(slot);
  PutValue(slot, value.Detach());
  return {};
}

// ---- Objects ----

// An object's member: stack [object, arguments (, value)] from `base`. The result replaces the
// object; true when a script procedure frame was entered instead.
Result<bool> Interpreter::CallMember(const Instruction& instruction, VARIANT* base, WORD flags) {
  bool is_put = (flags & kPutFlags) != 0;
  uint32_t count = instruction.count + (is_put ? 1u : 0u);
  VARIANT object = PeekValue(*base);
  if (object.vt == VT_UNKNOWN && object.punkVal != nullptr) {
    ComPtr<IDispatch> dispatch = ComPtr<IUnknown>(object.punkVal).As<IDispatch>(IID_IDispatch);
    if (!dispatch) return ErrorNumber::ObjectRequired;
    ReleaseSlot(base);
    PutValue(base, Variant::FromDispatch(dispatch.get()).Detach());
    object = PeekValue(*base);
  }
  // A member of Nothing is "Object required" like a member of any non-object; Nothing's own
  // default value or index is "Object variable not set".
  if (object.vt != VT_DISPATCH || object.pdispVal == nullptr) return ErrorNumber::ObjectRequired;
  bool is_set = (flags & DISPATCH_PROPERTYPUTREF) != 0;
  Frame& frame = frames_.back();
  bool by_index = instruction.op == Opcode::CallClassMember || instruction.op == Opcode::StoreClassMember ||
                  instruction.op == Opcode::SetClassMember;
  ScriptInstance* own = OwnInstance(object.pdispVal, this);
  // A script's Property Let receives an object as it is; its fields and other objects' members
  // get the object's value.
  if (is_put && (own == nullptr || is_set)) TRY(PrepareAssignedValue(base + count, AssignModeOf(is_set)));
  if (ScriptInstance* instance = own) {
    int32_t member = by_index ? instruction.a : TRY(FindInstanceMember(instance, instruction.a));
    // The arguments move down over the object operand, which is released only once the call
    // holds its own reference to the instance.
    VARIANT operand = *base;
    std::memmove(static_cast<void*>(base), base + 1, sizeof(VARIANT) * count);
    PutEmpty(base + count);
    Result<bool> called = CallInstanceMember(instance, member, base, count, flags);
    ReleaseSlot(&operand);
    return called;
  }
  MemberCache& cache = frame.unit->member_caches[instruction.a];
  if (cache.object != object.pdispVal || cache.object_type != VtableOf(object.pdispVal)) {
    cache.dispid = TRY(GetDispatchId(object.pdispVal, frame.unit->code->member_names[instruction.a]));
    cache.direct_offset = DirectInvokeOffset(object.pdispVal);
    cache.object = object.pdispVal;
    cache.object_type = VtableOf(object.pdispVal);
  }
  IDirectInvoke* direct = cache.direct_offset == kNoDirectInvoke
                              ? nullptr
                              : reinterpret_cast<IDirectInvoke*>(reinterpret_cast<char*>(object.pdispVal) +
                                                                 cache.direct_offset);
  Result<Variant> outcome = InvokeObject(object.pdispVal, cache.dispid, flags, base + 1, count, direct);
  if (!outcome.ok() && outcome.error().Is(ErrorNumber::WrongNumberOfArguments)) {
    outcome = ApplyToMemberValue(object.pdispVal, cache.dispid, flags, base + 1, count);
  }
  Variant result = TRY(std::move(outcome));
  ClearRange(base, base + 1 + count);
  PutValue(base, result.Detach());
  return false;
}

// o.Member(arguments) when Member itself takes none: the arguments go to the value it returns
// (an object's default member, an array's element), as "WScript.Arguments(1)" needs.
Result<Variant> Interpreter::ApplyToMemberValue(IDispatch* object, DISPID dispid, WORD flags, VARIANT* arguments,
                                                uint32_t count) {
  bool is_put = (flags & kPutFlags) != 0;
  uint32_t indices = is_put ? count - 1 : count;
  if (indices == 0) return ErrorNumber::WrongNumberOfArguments;
  Variant member = TRY(InvokeObject(object, dispid, kGetFlags, nullptr, 0));
  // A property whose value is neither an array nor an object takes no index.
  VARIANT value = PeekValue(member);
  if ((value.vt & VT_ARRAY) == 0 && value.vt != VT_DISPATCH) return ErrorNumber::ObjectDoesNotSupportMember;
  if (!is_put) return CallValue(member, arguments, indices);
  TRY(StoreInto(member, arguments, indices, arguments + indices, AssignModeOf((flags & DISPATCH_PROPERTYPUTREF) != 0)));
  return Variant();
}

// The public member of a name at a member site (private ones too through Me).
Result<int32_t> Interpreter::FindInstanceMember(ScriptInstance* instance, int32_t site) {
  Frame& frame = frames_.back();
  MemberCache& cache = frame.unit->member_caches[site];
  const ClassInfo* info = instance->class_info();
  if (cache.class_info != info) {
    cache.member = info->FindMember(frame.unit->code->member_names[site]);
    cache.class_info = info;
  }
  int32_t member = cache.member;
  if (member < 0) return ErrorNumber::ObjectDoesNotSupportMember;
  if (!info->members[member].is_public && instance != frame.me) return ErrorNumber::ObjectDoesNotSupportMember;
  return member;
}

// A member of a script instance with its arguments at `arguments` (a put's value last).
Result<bool> Interpreter::CallInstanceMember(ScriptInstance* instance, int32_t member, VARIANT* arguments,
                                             uint32_t count, WORD flags) {
  const ClassInfo* info = instance->class_info();
  const ClassMember& entry = info->members[member];
  bool is_put = (flags & kPutFlags) != 0;
  bool is_set = (flags & DISPATCH_PROPERTYPUTREF) != 0;
  if (entry.field >= 0) {
    VARIANT* field = instance->field(static_cast<size_t>(entry.field));
    if (!is_put) return ApplyValue(field, arguments, count, CallUse::Value, entry.name);
    if (count == 1) {
      TRY(Assign(field, arguments, AssignModeOf(is_set)));
    } else {
      TRY(StoreInto(*field, arguments, count - 1, arguments + count - 1, AssignModeOf(is_set)));
      ClearRange(arguments, arguments + count);
    }
    PutEmpty(arguments);
    return false;
  }
  int32_t procedure = -1;
  if (!is_put) {
    procedure = entry.method >= 0 ? entry.method : entry.property_get;
  } else {
    procedure = is_set ? entry.property_set : entry.property_let;
  }
  if (procedure < 0) return ErrorNumber::ObjectDoesNotSupportMember;
  LoadedUnit* unit = instance->unit();
  const Procedure* code = info->procedures[procedure].get();
  if (!is_put && count > 0 && code->parameter_count == 0) {
    // o.Items(2) with Items taking no arguments: its value is indexed.
    Variant value = TRY(RunEntry(code, unit, unit->links.data(), instance, {}, ArgumentPassing::AsGiven, nullptr));
    Variant applied = TRY(CallValue(value, arguments, count));
    ClearRange(arguments, arguments + count);
    PutValue(arguments, applied.Detach());
    return false;
  }
  TRY(EnterProcedure(code, unit, unit->links.data(), instance, arguments, count, FrameKind::Nested));
  return true;
}

// An IDispatch call with our arguments: an array element passed by reference travels as a
// temporary that is written back after the call.
Result<Variant> Interpreter::InvokeObject(IDispatch* object, DISPID dispid, WORD flags, VARIANT* arguments,
                                          uint32_t count, IDirectInvoke* direct) {
  VARIANT inline_passed[kInlineArguments];
  std::vector<VARIANT> heap_passed;
  VARIANT* passed = inline_passed;
  if (count > kInlineArguments) {
    heap_passed.resize(count);
    passed = heap_passed.data();
  }
  std::vector<Variant> temporaries;  // only for element references, which are rare
  for (uint32_t i = 0; i < count; ++i) {
    passed[i] = arguments[i];
    passed[i].wReserved1 = 0;
    if (!IsMarkedReference(arguments[i])) continue;
    if (temporaries.empty()) temporaries.resize(count);
    if (FAILED(VariantCopyInd(&temporaries[i], &arguments[i]))) return ErrorNumber::OutOfMemory;
    PutReference(&passed[i], &temporaries[i]);
  }
  ClearThreadErrorInfo();
  Result<Variant> result = direct != nullptr
                               ? InvokeDirectly(direct, dispid, flags, std::span<VARIANT>(passed, count))
                               : InvokeDispatch(object, dispid, flags, std::span<const VARIANT>(passed, count));
  for (uint32_t i = 0; i < count && !temporaries.empty(); ++i) {
    if (!IsMarkedReference(arguments[i])) continue;
    VARIANT reference = arguments[i];
    reference.wReserved1 = 0;
    (void)AssignThroughReference(reference, temporaries[i]);
  }
  if (result.ok()) {
    // An error a nested run reported to this object was handled there: it is no longer ours.
    pending_valid_ = false;
    return result;
  }
  if (result.error().HasCustomDescription()) return result;
  // A failure without an exception may still have left its description with the thread.
  std::optional<ThreadErrorInfo> info = TakeThreadErrorInfo();
  if (!info || info->hresult != result.error().Hresult()) return result;
  return Error::FromHresult(info->hresult, info->description, info->source);
}

// New ClassName: the instance, after its Class_Initialize ran.
Result<Variant> Interpreter::NewInstance(GlobalSlot* slot) {
  TRY(ResolveSlot(slot));
  // The built-in RegExp wins even over a script's own class of that name.
  if (EqualsIgnoringCase(slot->name, u"RegExp")) return NewRegExp();
  if (slot->kind != SlotKind::Class) return NamedError(ErrorNumber::ClassNotDefined, slot->name);
  ComPtr<ScriptInstance> instance = TRY(ScriptInstance::Create(this, slot->class_info, slot->unit));
  if (slot->class_info->initialize >= 0) {
    const Procedure* initialize = slot->class_info->procedures[slot->class_info->initialize].get();
    TRY(RunEntry(initialize, slot->unit, slot->unit->links.data(), instance.get(), {}, ArgumentPassing::AsGiven,
                 nullptr));
  }
  return Variant::FromDispatch(instance.get());
}

// ---- The library and the engine's functions ----

Result<bool> Interpreter::CallBuiltin(const BuiltinEntry* entry, VARIANT* arguments, uint32_t count) {
  if (count < entry->min_arguments || count > entry->max_arguments) return ErrorNumber::WrongNumberOfArguments;
  BuiltinCall call{std::span<const VARIANT>(arguments, count), builtin_state_};
  Variant result = TRY(entry->function(call));
  ClearRange(arguments, arguments + count);
  PutValue(arguments, result.Detach());
  return false;
}

Result<Variant> Interpreter::CallEngineFunction(EngineFunction function, VARIANT* arguments, uint32_t count) {
  auto argument_count = [&](uint32_t low, uint32_t high) -> Result<void> {
    if (count < low || count > high) return ErrorNumber::WrongNumberOfArguments;
    return {};
  };
  switch (function) {
    case EngineFunction::Eval:
    case EngineFunction::Execute:
    case EngineFunction::ExecuteGlobal: {
      TRY(argument_count(1, 1));
      VARIANT text = PeekValue(arguments[0]);
      if (text.vt != VT_BSTR) {
        // Eval of a value that is no text is that value; Execute needs text.
        if (function != EngineFunction::Eval) return ErrorNumber::TypeMismatch;
        Variant value;
        if (FAILED(VariantCopyInd(&value, &arguments[0]))) return ErrorNumber::OutOfMemory;
        return value;
      }
      return EvaluateText(arguments[0], function);
    }
    case EngineFunction::GetRef:
      TRY(argument_count(1, 1));
      if (PeekValue(arguments[0]).vt != VT_BSTR) return ErrorNumber::TypeMismatch;
      return MakeFunctionReference(arguments[0]);
    case EngineFunction::CreateObject: {
      TRY(argument_count(1, 2));
      Bstr name = TRY(ToBstr(arguments[0]));
      // The engine's own class needs no registry.
      if (EqualsIgnoringCase(name.view(), kRegExpProgId)) return NewRegExp();
      ComPtr<IDispatch> object = TRY(::CreateObject(name.view()));
      return Variant::FromDispatch(object.get());
    }
    case EngineFunction::GetObject: {
      TRY(argument_count(0, 2));
      // Only the "no path, a class" form makes sense without monikers: a new object.
      bool has_path = count > 0 && PeekValue(arguments[0]).vt != VT_ERROR && !TRY(ToBstr(arguments[0])).empty();
      if (has_path || count < 2) return ErrorNumber::CannotCreateObject;
      Bstr name = TRY(ToBstr(arguments[1]));
      ComPtr<IDispatch> object = TRY(::CreateObject(name.view()));
      return Variant::FromDispatch(object.get());
    }
  }
  return Variant();
}

// Eval, Execute and ExecuteGlobal: the text is compiled and run now. Execute and Eval inside a
// procedure see its locals (and Me); what their code declares stays in that procedure.
Result<Variant> Interpreter::EvaluateText(const VARIANT& text_value, EngineFunction function) {
  Bstr text = TRY(ToBstr(text_value));
  CompileDiagnostic diagnostic;
  CompileRequest request{text.view(), function == EngineFunction::Eval ? TextKind::Expression : TextKind::Script};
  Result<std::shared_ptr<const CodeUnit>> compiled = CompileText(request, diagnostic);
  if (!compiled.ok()) {
    auto number = static_cast<int32_t>(diagnostic.number);
    return Error::Script(number, std::u16string(StandardErrorDescription(number)), std::u16string(kCompileErrorSource));
  }
  Frame& caller = frames_.back();
  Frame* scope = caller.scope;
  if (scope == nullptr && !caller.procedure->is_global_code) scope = &caller;
  if (function == EngineFunction::ExecuteGlobal) scope = nullptr;
  TRY(CheckConstants(*compiled.value(), scope));
  LoadedUnit* unit = LinkUnit(std::move(compiled).value(), scope);
  GlobalSlot* const* links = scope != nullptr ? LinkScopeView(unit, *scope) : unit->links.data();
  ScriptInstance* me = scope != nullptr ? scope->me : caller.me;
  Result<Variant> result = RunEntry(&unit->code->global_code, unit, links, me, {}, ArgumentPassing::AsGiven, scope);
  DropIfSpent(unit);
  if (!result.ok()) {
    // The host knows the page's text, not this one: the error is placed at the statement that
    // ran the text.
    pending_.has_position = false;
    return std::move(result).error();
  }
  if (function != EngineFunction::Eval) return Variant();
  return std::move(result).value();
}

Result<Variant> Interpreter::MakeFunctionReference(const VARIANT& name_value) {
  Bstr name = TRY(ToBstr(name_value));
  GlobalSlot* slot = FindScriptGlobal(name.view());
  if (slot == nullptr || slot->kind != SlotKind::Procedure) return ErrorNumber::InvalidProcedureCall;
  ComPtr<FunctionReference> reference = FunctionReference::Create(this, slot->procedure, slot->unit);
  return Variant::FromDispatch(reference.get());
}

// ---- For Each ----

Result<void> Interpreter::ForEachStart(VARIANT* temps, VARIANT* operands) {
  if (operands[0].vt != (VT_BYREF | VT_VARIANT)) return ErrorNumber::TypeMismatch;
  VARIANT* collection = &operands[1];
  VARIANT value = PeekValue(*collection);
  auto* iterator = new ForEachIterator();
  VARIANT holder_slot;
  VariantInit(&holder_slot);
  holder_slot.vt = VT_UNKNOWN;
  holder_slot.punkVal = iterator;
  Variant holder(holder_slot);  // owns one reference from here
  iterator->Release();
  if ((value.vt & VT_ARRAY) != 0) {
    Variant owned;
    bool borrowed = (collection->vt & VT_BYREF) != 0 && !IsMarkedReference(*collection);
    if (!borrowed) {
      if (FAILED(VariantCopyInd(&owned, collection))) return ErrorNumber::OutOfMemory;
      value = owned;
    }
    iterator->WalkArray(value.parray, std::move(owned));
  } else if (value.vt == VT_DISPATCH && value.pdispVal != nullptr) {
    ComPtr<IDispatch> object(value.pdispVal);
    Result<Variant> enumerator = InvokeObject(object.get(), DISPID_NEWENUM, kGetFlags, nullptr, 0);
    if (!enumerator.ok()) {
      if (enumerator.error().Is(ErrorNumber::ObjectDoesNotSupportMember)) return ErrorNumber::ObjectNotACollection;
      return std::move(enumerator).error();
    }
    VARIANT found = PeekValue(enumerator.value());
    if (found.vt != VT_UNKNOWN && found.vt != VT_DISPATCH) return ErrorNumber::ObjectNotACollection;
    ComPtr<IEnumVARIANT> walker = ComPtr<IUnknown>(found.punkVal).As<IEnumVARIANT>(IID_IEnumVARIANT);
    if (!walker) return ErrorNumber::ObjectNotACollection;
    iterator->WalkEnumerator(std::move(walker));
  } else {
    return ErrorNumber::ObjectNotACollection;
  }
  ReleaseSlot(&temps[0]);
  PutValue(&temps[0], holder.Detach());
  PutValue(&temps[1], operands[0]);
  PutEmpty(&operands[0]);
  ReleaseSlot(collection);
  return {};
}

// Assigns the next element to the loop variable (an object by Set, anything else by Let);
// false at the end.
Result<bool> Interpreter::ForEachStep(VARIANT* temps) {
  ForEachIterator* iterator = ForEachIterator::From(temps[0]);
  // Only a header that failed (and was resumed past) leaves no iterator.
  if (iterator == nullptr || temps[1].vt != (VT_BYREF | VT_VARIANT)) return ErrorNumber::ObjectNotACollection;
  Variant element;
  bool has_element = TRY(iterator->Next(&element));
  if (!has_element) return false;
  bool is_object = element.vt == VT_DISPATCH || element.vt == VT_UNKNOWN;
  VARIANT slot = element.Detach();
  Result<void> assigned = Assign(temps[1].pvarVal, &slot, AssignModeOf(is_object));
  ReleaseSlot(&slot);
  TRY(std::move(assigned));
  return true;
}

// ---- Calls from outside ----

HRESULT Interpreter::InvokeInstance(ScriptInstance* instance, DISPID member, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO* exception) {
  try {
    const ClassInfo* info = instance->class_info();
    int32_t index = member == DISPID_VALUE ? info->default_member : member - 1;
    if (index < 0 || static_cast<size_t>(index) >= info->members.size() || !info->members[index].is_public) {
      return DISP_E_MEMBERNOTFOUND;
    }
    std::vector<VARIANT> arguments;
    HRESULT hr = CollectArguments(params, flags, arguments);
    if (FAILED(hr)) return hr;
    const ClassMember& entry = info->members[index];
    if (entry.field >= 0) return CompleteInvoke(AccessField(instance, entry, flags, arguments), result, exception);
    bool is_put = (flags & kPutFlags) != 0;
    int32_t procedure = is_put ? ((flags & DISPATCH_PROPERTYPUTREF) != 0 ? entry.property_set : entry.property_let)
                               : (entry.method >= 0 ? entry.method : entry.property_get);
    if (procedure < 0) return DISP_E_MEMBERNOTFOUND;
    LoadedUnit* unit = instance->unit();
    Result<Variant> outcome = RunEntry(info->procedures[procedure].get(), unit, unit->links.data(), instance,
                                       arguments, ArgumentPassing::Copied, nullptr);
    return CompleteInvoke(std::move(outcome), result, exception);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

// A public field read or assigned by an outside caller.
Result<Variant> Interpreter::AccessField(ScriptInstance* instance, const ClassMember& entry, WORD flags,
                                         std::vector<VARIANT>& arguments) {
  VARIANT* field = instance->field(static_cast<size_t>(entry.field));
  if ((flags & kPutFlags) == 0) return CallValue(*field, arguments.data(), static_cast<uint32_t>(arguments.size()));
  if (arguments.size() != 1) return ErrorNumber::WrongNumberOfArguments;
  Variant value;
  if (FAILED(VariantCopyInd(&value, &arguments[0]))) return ErrorNumber::OutOfMemory;
  VARIANT slot = value.Detach();
  Result<void> assigned = Assign(field, &slot, AssignModeOf((flags & DISPATCH_PROPERTYPUTREF) != 0));
  ReleaseSlot(&slot);
  TRY(std::move(assigned));
  return Variant();
}

HRESULT Interpreter::InvokeProcedure(const Procedure* procedure, LoadedUnit* unit, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception) {
  try {
    std::vector<VARIANT> arguments;
    HRESULT hr = CollectArguments(params, DISPATCH_METHOD, arguments);
    if (FAILED(hr)) return hr;
    Result<Variant> outcome =
        RunEntry(procedure, unit, unit->links.data(), nullptr, arguments, ArgumentPassing::Copied, nullptr);
    return CompleteInvoke(std::move(outcome), result, exception);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

// Class_Terminate of a dying instance. Its errors are not reported, and whatever error was
// being handled when the instance died stays the one being handled.
void Interpreter::TerminateInstance(ScriptInstance* instance) {
  if (closing_) return;
  const ClassInfo* info = instance->class_info();
  if (info->terminate < 0) return;
  ScriptError saved = pending_;
  bool saved_valid = pending_valid_;
  LoadedUnit* unit = instance->unit();
  try {
    Result<Variant> ignored = RunEntry(info->procedures[info->terminate].get(), unit, unit->links.data(), instance,
                                       {}, ArgumentPassing::AsGiven, nullptr);
  } catch (const std::bad_alloc&) {
  }
  pending_ = std::move(saved);
  pending_valid_ = saved_valid;
}

}  // namespace vbscript
