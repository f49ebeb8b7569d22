// Variables: finding a name's storage, reading and assigning with the Let and Set rules,
// appending to strings in place, arrays (Dim, ReDim, Erase, elements) and For loop counters.
#include <algorithm>

#include "platform/automation/arithmetic.h"
#include "platform/automation/compare.h"
#include "platform/automation/conversion.h"
#include "platform/automation/locale.h"
#include "platform/automation/number_text.h"
#include "platform/automation/safearray.h"
#include "platform/vbscript/interpreter.h"
#include "platform/vbscript/interpreter_values.h"
#include "platform/vbscript/script_class.h"

namespace vbscript {
namespace {

// Arrays created by Dim with bounds cannot be resized or freed by ReDim and Erase.
constexpr uint16_t kFixedSizeArray = 0x0010;
// By-reference chains longer than this are broken, not followed.
constexpr int kMaxReferenceChain = 16;

bool IsObjectValue(const VARIANT& value) { return value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN; }

// The variant a chain of VT_BYREF | VT_VARIANT references ends at.
VARIANT* FinalTarget(VARIANT* target) {
  for (int i = 0; i < kMaxReferenceChain && target->vt == (VT_BYREF | VT_VARIANT); ++i) {
    target = target->pvarVal;
  }
  return target;
}

bool IsLockedArray(const VARIANT& value) {
  return (value.vt & VT_ARRAY) != 0 && (value.vt & VT_BYREF) == 0 && value.parray != nullptr &&
         value.parray->cLocks > 0;
}

Error UndefinedVariable(std::u16string_view name) {
  std::u16string text(StandardErrorDescription(static_cast<int32_t>(ErrorNumber::VariableIsUndefined)));
  text += u": '";
  text += name;
  text += u"'";
  return Error::Script(static_cast<int32_t>(ErrorNumber::VariableIsUndefined), std::move(text));
}

// A new array with the given upper bounds (lower bounds 0); no bounds make an empty dynamic
// array, as "Dim a()" does.
Result<Variant> NewArray(const VARIANT* bounds, uint32_t count, bool fixed) {
  if (count == 0) return Variant::FromArray(VT_VARIANT, nullptr);
  if (count > kMaxArrayDimensions) return ErrorNumber::SubscriptOutOfRange;
  SAFEARRAYBOUND layout[kMaxArrayDimensions];
  for (uint32_t i = 0; i < count; ++i) {
    int32_t upper = TRY(ToInt32(bounds[i]));
    if (upper < -1) return ErrorNumber::SubscriptOutOfRange;
    layout[i] = {static_cast<uint32_t>(int64_t{upper} + 1), 0};
  }
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, count, layout);
  if (array == nullptr) return ErrorNumber::OutOfMemory;
  if (fixed) array->fFeatures |= kFixedSizeArray;
  return Variant::FromArray(VT_VARIANT, array);
}

// The bounds "ReDim Preserve" may change: the last dimension's upper bound only.
Result<void> ResizeArray(SAFEARRAY* array, const VARIANT* bounds, uint32_t count) {
  if (array->cDims != count) return ErrorNumber::SubscriptOutOfRange;
  for (uint32_t i = 0; i < count; ++i) {
    int32_t upper = TRY(ToInt32(bounds[i]));
    if (upper < -1) return ErrorNumber::SubscriptOutOfRange;
    const SAFEARRAYBOUND& bound = array->rgsabound[i];
    int64_t elements = int64_t{upper} + 1 - bound.lLbound;
    if (elements < 0) return ErrorNumber::SubscriptOutOfRange;
    if (i + 1 < count) {
      if (elements != bound.cElements) return ErrorNumber::SubscriptOutOfRange;
      continue;
    }
    return SafeArrayRedim(array, {static_cast<uint32_t>(elements), bound.lLbound});
  }
  return {};
}

// A For loop's start, limit or step as a number.
Result<Variant> LoopNumber(const VARIANT& slot) {
  Variant value = TRY(ValueOf(slot));
  switch (value.vt) {
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_UI1: return value;
    case VT_EMPTY: return Variant::FromI2(0);
    case VT_BOOL: return Variant::FromI2(value.boolVal != 0 ? -1 : 0);
    case VT_BSTR: return Variant::FromR8(TRY(ParseNumber(value.StringView(), CurrentLocale())));
    case VT_NULL: return ErrorNumber::InvalidUseOfNull;
    default: return ErrorNumber::TypeMismatch;
  }
}

// Whether a loop at `counter` goes on: up to the limit for a step >= 0, down to it otherwise.
Result<bool> LoopContinues(const VARIANT& counter, const VARIANT& limit, const VARIANT& step) {
  VARIANT value = PeekValue(counter);
  if (IsSmallInteger(value.vt) && IsSmallInteger(limit.vt) && IsSmallInteger(step.vt)) {
    int32_t at = SmallIntegerOf(value);
    int32_t end = SmallIntegerOf(limit);
    return SmallIntegerOf(step) >= 0 ? at <= end : at >= end;
  }
  double direction = TRY(ToDouble(step));
  Comparison comparison = TRY(Compare(value, limit));
  if (comparison == Comparison::Null) return false;
  return direction >= 0 ? comparison != Comparison::Greater : comparison != Comparison::Less;
}

}  // namespace

Result<VARIANT*> Interpreter::GlobalAddress(GlobalSlot* slot, Access access) {
  TRY(ResolveSlot(slot));
  bool for_writing = access != Access::Read;
  switch (slot->kind) {
    case SlotKind::Variable: return slot->storage;
    case SlotKind::Undefined:
      if (access != Access::Declare && frames_.back().unit->code->option_explicit) {
        return UndefinedVariable(slot->name);
      }
      if (!for_writing) return static_cast<VARIANT*>(nullptr);
      Define(slot, SlotKind::Variable);
      return slot->storage;
    case SlotKind::Constant:
    case SlotKind::NamedItem:
      if (for_writing) return ErrorNumber::IllegalAssignment;
      if (slot->kind == SlotKind::NamedItem) TRY(BindNamedItem(slot));
      return slot->storage;
    default:
      if (for_writing) return ErrorNumber::IllegalAssignment;
      return static_cast<VARIANT*>(nullptr);
  }
}

// The storage of the variable an instruction names. Null for a global that is no variable or
// is undefined while only read.
Result<VARIANT*> Interpreter::VariableAddress(const Instruction& instruction, Access access) {
  Frame& frame = frames_.back();
  switch (instruction.mode) {
    case VariableMode::Local: return &frame.locals[instruction.a];
    case VariableMode::Field:
      if (frame.me == nullptr) return ErrorNumber::ObjectRequired;
      return frame.me->field(static_cast<size_t>(instruction.a));
    case VariableMode::Global: return GlobalAddress(frame.links[instruction.a], access);
    case VariableMode::Implicit: {
      GlobalSlot* slot = frame.links[instruction.a];
      TRY(ResolveSlot(slot));
      if (slot->kind != SlotKind::Undefined) return GlobalAddress(slot, access);
      if (access != Access::Declare && !ImplicitLocalAllowed(instruction, frame)) return UndefinedVariable(slot->name);
      return &frame.locals[instruction.b];
    }
  }
  return static_cast<VARIANT*>(nullptr);
}

Result<bool> Interpreter::PushVariableRef(const Instruction& instruction, VARIANT* slot) {
  bool for_writing = instruction.count == 1;
  GlobalSlot* global = nullptr;
  if (instruction.mode == VariableMode::Global || instruction.mode == VariableMode::Implicit) {
    global = frames_.back().links[instruction.a];
    TRY(ResolveSlot(global));
    bool callable = global->kind == SlotKind::Procedure || global->kind == SlotKind::Builtin ||
                    global->kind == SlotKind::EngineFunction || global->kind == SlotKind::GlobalMember ||
                    global->kind == SlotKind::Class;
    if (callable) return false;
    bool executed = instruction.mode == VariableMode::Implicit && global->kind == SlotKind::Undefined &&
                    ExecutedProcedure(frames_.back(), global->name) != nullptr;
    if (executed) return false;
  }
  bool read_only = global != nullptr && (global->kind == SlotKind::Constant || global->kind == SlotKind::NamedItem);
  VARIANT* storage = TRY(VariableAddress(instruction, for_writing && !read_only ? Access::Write : Access::Read));
  if (storage == nullptr) {
    PutEmpty(slot);
    return true;
  }
  if (read_only) {
    VariantInit(slot);
    if (FAILED(VariantCopyInd(slot, storage))) return ErrorNumber::OutOfMemory;
    return true;
  }
  PutReference(slot, storage->vt == (VT_BYREF | VT_VARIANT) ? storage->pvarVal : storage);
  return true;
}

Result<void> Interpreter::StoreVariable(const Instruction& instruction, VARIANT* value, AssignMode mode) {
  Frame& frame = frames_.back();
  if (instruction.mode == VariableMode::Global) return StoreGlobal(frame.links[instruction.a], value, mode);
  if (instruction.mode == VariableMode::Implicit) {
    GlobalSlot* slot = frame.links[instruction.a];
    TRY(ResolveSlot(slot));
    if (slot->kind != SlotKind::Undefined) return StoreGlobal(slot, value, mode);
  }
  VARIANT* target = TRY(VariableAddress(instruction, Access::Write));
  return Assign(target, value, mode);
}

Result<void> Interpreter::StoreGlobal(GlobalSlot* slot, VARIANT* value, AssignMode mode) {
  TRY(ResolveSlot(slot));
  if (slot->kind == SlotKind::GlobalMember) {
    bool is_set = mode == AssignMode::Set;
    Variant assigned = is_set ? Variant(PeekValue(*value)) : TRY(ValueOf(*value));
    TRY(InvokeObject(slot->member_owner.get(), slot->member_id,
                     is_set ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT, &assigned, 1));
    ReleaseSlot(value);
    return {};
  }
  VARIANT* target = TRY(GlobalAddress(slot, Access::Write));
  return Assign(target, value, mode);
}

// target = value with the Let rules (an object gives its default value) or the Set rules (an
// object or Nothing is required). Consumes *value on success; a locked array in the target is
// ArrayFixedOrLocked (10).
Result<void> Interpreter::Assign(VARIANT* target, VARIANT* value, AssignMode mode) {
  bool is_set = mode == AssignMode::Set;
  VARIANT shallow = PeekValue(*value);
  bool is_object = IsObjectValue(shallow);
  if (is_set && !is_object) return ErrorNumber::ObjectRequired;
  Variant converted;
  bool take_slot = false;
  if (!is_set && is_object) {
    converted = TRY(ValueOf(shallow));
  } else if ((value->vt & VT_BYREF) != 0) {
    if (FAILED(VariantCopyInd(&converted, value))) return ErrorNumber::OutOfMemory;
  } else {
    take_slot = true;
  }
  VARIANT* destination = FinalTarget(target);
  if ((destination->vt & VT_BYREF) != 0) {
    // A typed reference from an outside caller: the value is converted to its type.
    TRY(AssignThroughReference(*destination, take_slot ? *value : static_cast<VARIANT&>(converted)));
    ReleaseSlot(value);
    return {};
  }
  if (IsLockedArray(*destination)) return ErrorNumber::ArrayFixedOrLocked;
  VARIANT old = *destination;
  if (take_slot) {
    PutValue(destination, *value);
    PutEmpty(value);
  } else {
    PutValue(destination, converted.Detach());
    ReleaseSlot(value);
  }
  // Released last: a Class_Terminate it triggers sees the new value in place.
  if (OwnsResources(old.vt)) VariantClear(&old);
  return {};
}

Result<void> Interpreter::SetGlobal(GlobalSlot* slot, const VARIANT& value, AssignMode mode) {
  if (slot->kind != SlotKind::Variable) return ErrorNumber::IllegalAssignment;
  Variant copy;
  if (FAILED(VariantCopyInd(&copy, &value))) return ErrorNumber::OutOfMemory;
  VARIANT assigned = copy.Detach();
  Result<void> outcome = Assign(slot->storage, &assigned, mode);
  ReleaseSlot(&assigned);
  return outcome;
}

// x = x & value: a string variable grows in place (linear time over many appends); any other
// content goes through the & operator.
Result<void> Interpreter::AppendVariable(const Instruction& instruction, VARIANT* value) {
  // Anything but a plain variable (a constant, a host's global member, an undefined name under
  // Option Explicit) takes the general path, which also reports its errors.
  Result<VARIANT*> address = VariableAddress(instruction, Access::Write);
  VARIANT* destination = address.ok() && address.value() != nullptr ? FinalTarget(address.value()) : nullptr;
  const VARIANT* piece = Through(value);
  if (destination != nullptr && destination->vt == VT_BSTR && piece->vt != VT_DISPATCH) {
    if (piece->vt == VT_NULL || piece->vt == VT_EMPTY) return {};
    Bstr converted;
    std::u16string_view text;
    if (piece->vt == VT_BSTR) {
      text = BstrView(piece->bstrVal);
    } else {
      converted = TRY(ToBstr(*piece));
      text = converted.view();
    }
    if (uint64_t{SysStringLen(destination->bstrVal)} + text.size() > kMaxStringLength) {
      return ErrorNumber::OutOfStringSpace;
    }
    if (!BstrAppend(&destination->bstrVal, text)) return ErrorNumber::OutOfStringSpace;
    return {};
  }
  Instruction as_load{Opcode::LoadVar, instruction.mode, 0, instruction.a, instruction.b};
  VARIANT current;
  VariantInit(&current);
  bool pushed = TRY(PushVariableRef(as_load, &current));
  if (!pushed) return ErrorNumber::IllegalAssignment;
  Result<Variant> concatenated = Concatenate(PeekValue(current), PeekValue(*value));
  ReleaseSlot(&current);
  Variant joined = TRY(std::move(concatenated));
  VARIANT slot = joined.Detach();
  Result<void> stored = StoreVariable(instruction, &slot, AssignMode::Let);
  ReleaseSlot(&slot);
  return stored;
}

Result<void> Interpreter::DimArray(const Instruction& instruction, VARIANT* bounds) {
  Variant array = TRY(NewArray(bounds, instruction.count, instruction.count > 0));
  VARIANT* target = TRY(VariableAddress(instruction, Access::Declare));
  VARIANT* destination = FinalTarget(target);
  // A later text (ExecuteGlobal) cannot Dim again an array an earlier one declared.
  if (instruction.mode == VariableMode::Global && (destination->vt & VT_ARRAY) != 0) {
    const Frame& frame = frames_.back();
    const GlobalSlot* slot = frame.links[instruction.a];
    if (slot->declared_by != nullptr && slot->declared_by != frame.unit) return ErrorNumber::TypeMismatch;
  }
  ReleaseSlot(destination);
  PutValue(destination, array.Detach());
  return {};
}

// ReDim declares the variable when nothing of its name exists, even under Option Explicit.
Result<void> Interpreter::RedimArray(const Instruction& instruction, VARIANT* bounds, RedimMode mode) {
  VARIANT* target = TRY(VariableAddress(instruction, Access::Declare));
  if (target == nullptr) return ErrorNumber::IllegalAssignment;
  VARIANT* destination = FinalTarget(target);
  if ((destination->vt & VT_BYREF) != 0) return ErrorNumber::TypeMismatch;
  bool is_array = (destination->vt & VT_ARRAY) != 0 && destination->parray != nullptr;
  // Preserve reads its bounds before it looks at the array: a bound that is no number is a
  // type mismatch even on a fixed array.
  if (mode == RedimMode::Preserve) {
    for (uint32_t i = 0; i < instruction.count; ++i) TRY(ToInt32(bounds[i]));
  }
  if (is_array && ((destination->parray->fFeatures & kFixedSizeArray) != 0 || destination->parray->cLocks > 0)) {
    return ErrorNumber::ArrayFixedOrLocked;
  }
  if (mode == RedimMode::Preserve && is_array) return ResizeArray(destination->parray, bounds, instruction.count);
  Variant array = TRY(NewArray(bounds, instruction.count, false));
  VARIANT slot = array.Detach();
  return Assign(destination, &slot, AssignMode::Let);
}

Result<void> Interpreter::EraseArray(const Instruction& instruction) {
  VARIANT* target = TRY(VariableAddress(instruction, Access::Read));
  if (target == nullptr) return ErrorNumber::TypeMismatch;
  VARIANT* destination = FinalTarget(target);
  if ((destination->vt & VT_ARRAY) == 0 || (destination->vt & VT_BYREF) != 0) return ErrorNumber::TypeMismatch;
  SAFEARRAY* array = destination->parray;
  if (array == nullptr) return {};
  if (array->cLocks > 0) return ErrorNumber::ArrayFixedOrLocked;
  if ((array->fFeatures & kFixedSizeArray) == 0) {
    SafeArrayDestroy(array);
    destination->parray = nullptr;
    return {};
  }
  // A fixed-size array keeps its bounds; its elements are emptied.
  SAFEARRAY* fresh = SafeArrayCreate(array->vt, array->cDims, array->rgsabound);
  if (fresh == nullptr) return ErrorNumber::OutOfMemory;
  fresh->fFeatures |= kFixedSizeArray;
  destination->parray = fresh;
  SafeArrayDestroy(array);
  return {};
}

// A reference to an element of the array a variable holds (VT_BYREF | the element type);
// SubscriptOutOfRange (9) for a wrong index or index count, TypeMismatch (13) when the variable
// holds no array.
Result<VARIANT> Interpreter::ElementReference(const VARIANT& array_variable, const VARIANT* indices,
                                              uint32_t count) {
  VARIANT value = PeekValue(array_variable);
  if ((value.vt & VT_ARRAY) == 0) return ErrorNumber::TypeMismatch;
  if (value.parray == nullptr || count != value.parray->cDims) return ErrorNumber::SubscriptOutOfRange;
  int32_t positions[kMaxArrayDimensions];
  for (uint32_t i = 0; i < count; ++i) positions[i] = TRY(ToInt32(indices[i]));
  void* element = TRY(SafeArrayElementAddress(value.parray, positions, count));
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = static_cast<VARTYPE>(VT_BYREF | value.parray->vt);
  reference.byref = element;
  return reference;
}

Result<bool> Interpreter::ForStart(VARIANT* temps, VARIANT* operands) {
  if (operands[0].vt != (VT_BYREF | VT_VARIANT)) return ErrorNumber::TypeMismatch;
  Variant start = TRY(LoopNumber(operands[1]));
  Variant limit = TRY(LoopNumber(operands[2]));
  Variant step = TRY(LoopNumber(operands[3]));
  ReleaseSlot(&temps[0]);
  ReleaseSlot(&temps[1]);
  PutValue(&temps[0], limit.Detach());
  PutValue(&temps[1], step.Detach());
  PutValue(&temps[2], operands[0]);
  PutEmpty(&operands[0]);
  ClearRange(operands + 1, operands + 4);
  VARIANT first = start.Detach();
  TRY(Assign(temps[2].pvarVal, &first, AssignMode::Let));
  return LoopContinues(*temps[2].pvarVal, temps[0], temps[1]);
}

// counter += step, then whether the loop goes on.
Result<bool> Interpreter::ForStep(VARIANT* temps) {
  if (temps[2].vt != (VT_BYREF | VT_VARIANT)) return ErrorNumber::ForLoopNotInitialized;
  VARIANT* counter = FinalTarget(temps[2].pvarVal);
  const VARIANT& limit = temps[0];
  const VARIANT& step = temps[1];
  if (IsSmallInteger(counter->vt) && IsSmallInteger(step.vt) && IsSmallInteger(limit.vt)) {
    VARIANT next;
    if (AddIntegers(*counter, step, &next, 1)) {
      *counter = next;
      int32_t at = SmallIntegerOf(next);
      int32_t end = SmallIntegerOf(limit);
      return SmallIntegerOf(step) >= 0 ? at <= end : at >= end;
    }
  }
  Variant sum = TRY(Add(PeekValue(*counter), step));
  VARIANT slot = sum.Detach();
  TRY(Assign(counter, &slot, AssignMode::Let));
  return LoopContinues(*counter, limit, step);
}

}  // namespace vbscript
