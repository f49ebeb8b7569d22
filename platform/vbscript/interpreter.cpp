// The machine: the dispatch loop, procedure entry and exit, the value stack, and the handling
// of run-time errors (On Error Resume Next, unwinding, stops).
#include "platform/vbscript/interpreter.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "platform/automation/arithmetic.h"
#include "platform/automation/bstr.h"
#include "platform/automation/compare.h"
#include "platform/automation/conversion.h"
#include "platform/automation/safearray.h"
#include "platform/com/error_info.h"
#include "platform/scripting/active_script.h"
#include "platform/vbscript/err_object.h"
#include "platform/vbscript/interpreter_values.h"
#include "platform/vbscript/script_class.h"
#include "platform/vbscript/stack_guard.h"

namespace vbscript {
namespace {

// Value-stack chunks: a small first one (most runs are shallow), larger ones after.
constexpr uint32_t kFirstChunkSlots = 1024;
constexpr uint32_t kChunkSlots = 16384;

bool IsStop(const Error& error) { return error.Hresult() == SCRIPT_E_STOP_WITHOUT_ERROR; }

// The value of a condition: Null and Empty count as False.
Result<bool> ConditionValue(const VARIANT& slot) {
  const VARIANT* value = Through(&slot);
  switch (value->vt) {
    case VT_BOOL: return value->boolVal != 0;
    case VT_I2: return value->iVal != 0;
    case VT_I4: return value->lVal != 0;
    case VT_NULL:
    case VT_EMPTY: return false;
    default: return ToBool(*value);
  }
}

bool IsNumberType(VARTYPE type) {
  switch (type) {
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_UI1:
    case VT_DECIMAL: return true;
    default: return false;
  }
}

// The language's rules for a string beside a number or a Boolean, before the value layer's
// Compare: a number written as a literal reads the string as a number (a non-numeric string is
// a Type mismatch); any other number compares as its text; a Boolean compares as its text.
// `number_is_literal` tells whether the non-string operand was a literal.
Result<std::optional<Comparison>> CompareWithString(const VARIANT& left, const VARIANT& right,
                                                    bool string_on_left, bool number_is_literal) {
  const VARIANT& other = string_on_left ? right : left;
  std::u16string_view text = BstrView((string_on_left ? left : right).bstrVal);
  if (other.vt != VT_BOOL && !IsNumberType(other.vt)) return std::optional<Comparison>();
  if (other.vt != VT_BOOL && number_is_literal) {
    double number = TRY(ToDouble(string_on_left ? left : right));
    Variant as_number = Variant::FromR8(number);
    Comparison order = string_on_left ? TRY(Compare(as_number, right)) : TRY(Compare(left, as_number));
    return std::optional<Comparison>(order);
  }
  Bstr other_text = TRY(ToBstr(other));
  Comparison order = string_on_left ? CompareStrings(text, other_text.view(), CompareMode::Binary)
                                    : CompareStrings(other_text.view(), text, CompareMode::Binary);
  return std::optional<Comparison>(order);
}

// The comparison of two stack values; Null when either is Null. `literals` says which operands
// were number literals (kLeftIsNumberLiteral, kRightIsNumberLiteral).
Result<Comparison> CompareValues(const VARIANT& left_slot, const VARIANT& right_slot, int32_t literals) {
  const VARIANT* left = Through(&left_slot);
  const VARIANT* right = Through(&right_slot);
  if (IsSmallInteger(left->vt) && IsSmallInteger(right->vt)) {
    int32_t l = SmallIntegerOf(*left);
    int32_t r = SmallIntegerOf(*right);
    return l < r ? Comparison::Less : (l > r ? Comparison::Greater : Comparison::Equal);
  }
  if (left->vt == VT_R8 && right->vt == VT_R8) {
    if (left->dblVal < right->dblVal) return Comparison::Less;
    return left->dblVal > right->dblVal ? Comparison::Greater : Comparison::Equal;
  }
  if (left->vt == VT_BSTR && right->vt == VT_BSTR) {
    return CompareStrings(BstrView(left->bstrVal), BstrView(right->bstrVal), CompareMode::Binary);
  }
  if (left->vt == VT_BSTR || right->vt == VT_BSTR) {
    bool string_on_left = left->vt == VT_BSTR;
    bool literal = (literals & (string_on_left ? kRightIsNumberLiteral : kLeftIsNumberLiteral)) != 0;
    std::optional<Comparison> order = TRY(CompareWithString(*left, *right, string_on_left, literal));
    if (order) return *order;
  }
  return Compare(*left, *right, CompareMode::Binary);
}

// And, Or, Xor, Eqv, Imp and Not beside Empty give a Long, whatever the other operand's type.
bool IsLogicalOperator(Opcode op) {
  return op == Opcode::And || op == Opcode::Or || op == Opcode::Xor || op == Opcode::Eqv || op == Opcode::Imp;
}

void WidenLogicalResult(Variant& result) {
  if (result.vt == VT_I2) result = Variant::FromI4(result.iVal);
  if (result.vt == VT_BOOL) result = Variant::FromI4(result.boolVal != 0 ? -1 : 0);
  if (result.vt == VT_UI1) result = Variant::FromI4(result.bVal);
}

bool ComparisonHolds(Opcode op, Comparison comparison) {
  switch (op) {
    case Opcode::Equal: return comparison == Comparison::Equal;
    case Opcode::NotEqual: return comparison != Comparison::Equal;
    case Opcode::Less: return comparison == Comparison::Less;
    case Opcode::Greater: return comparison == Comparison::Greater;
    case Opcode::LessEqual: return comparison != Comparison::Greater;
    default: return comparison != Comparison::Less;
  }
}

// The operators without inline fast paths, through the value layer.
Result<Variant> Arithmetic(Opcode op, const VARIANT& left_slot, const VARIANT& right_slot) {
  VARIANT left = PeekValue(left_slot);
  VARIANT right = PeekValue(right_slot);
  switch (op) {
    case Opcode::Add: return Add(left, right);
    case Opcode::Subtract: return Subtract(left, right);
    case Opcode::Multiply: return Multiply(left, right);
    case Opcode::Divide: return Divide(left, right);
    case Opcode::IntegerDivide: return IntegerDivide(left, right);
    case Opcode::Modulo: return Modulo(left, right);
    case Opcode::Power: return Power(left, right);
    case Opcode::Concatenate: return Concatenate(left, right);
    case Opcode::And: return And(left, right);
    case Opcode::Or: return Or(left, right);
    case Opcode::Xor: return Xor(left, right);
    case Opcode::Eqv: return Eqv(left, right);
    default: return Imp(left, right);
  }
}

Result<Variant> LogicalWithEmpty(Opcode op, const VARIANT& left_slot, const VARIANT& right_slot) {
  Variant result = TRY(Arithmetic(op, left_slot, right_slot));
  bool beside_empty = Through(&left_slot)->vt == VT_EMPTY || Through(&right_slot)->vt == VT_EMPTY;
  if (beside_empty && IsLogicalOperator(op)) WidenLogicalResult(result);
  return result;
}

bool IsObject(const VARIANT& value) { return value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN; }

// Strings stop at the library's length limit rather than growing without bound.
Result<void> CheckConcatenation(const VARIANT& left_slot, const VARIANT& right_slot) {
  const VARIANT* left = Through(&left_slot);
  const VARIANT* right = Through(&right_slot);
  uint64_t length = (left->vt == VT_BSTR ? SysStringLen(left->bstrVal) : 0) +
                    (right->vt == VT_BSTR ? SysStringLen(right->bstrVal) : 0);
  if (length > kMaxStringLength) return ErrorNumber::OutOfStringSpace;
  return {};
}

// Copies a number, Empty, Null or object reference onto the stack; false for what needs a deep
// copy (strings, arrays) or a reference to follow.
inline bool PushSimpleCopy(const VARIANT& value, VARIANT* slot) {
  if (value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN) {
    PutValue(slot, value);
    if (value.punkVal != nullptr) value.punkVal->AddRef();
    return true;
  }
  if (OwnsResources(value.vt) || (value.vt & VT_BYREF) != 0) return false;
  PutValue(slot, value);
  return true;
}

// Both operands as doubles when one is a Double and the other a Double, Integer or Long.
inline bool DoubleOperands(const VARIANT& left, const VARIANT& right, double* l, double* r) {
  if (left.vt == VT_R8 && (right.vt == VT_R8 || IsSmallInteger(right.vt))) {
    *l = left.dblVal;
    *r = right.vt == VT_R8 ? right.dblVal : SmallIntegerOf(right);
    return true;
  }
  if (right.vt == VT_R8 && IsSmallInteger(left.vt)) {
    *l = SmallIntegerOf(left);
    *r = right.dblVal;
    return true;
  }
  return false;
}

// *, \ and Mod on Integers and Longs, with the value layer's result types; false when the
// value layer must decide (overflow, division by zero).
inline bool IntegerArithmetic(Opcode op, const VARIANT& left, const VARIANT& right, VARIANT* result) {
  if (op == Opcode::Multiply) return MultiplyIntegers(left, right, result);
  if (op != Opcode::IntegerDivide && op != Opcode::Modulo) return false;
  int32_t l = SmallIntegerOf(left);
  int32_t r = SmallIntegerOf(right);
  if (r == 0 || (l == INT32_MIN && r == -1)) return false;
  int32_t value = op == Opcode::Modulo ? l % r : l / r;
  if (left.vt == VT_I2 && right.vt == VT_I2) {
    if (value < -32768 || value > 32767) return false;
    PutInteger(result, static_cast<int16_t>(value));
  } else {
    PutLong(result, value);
  }
  return true;
}

// l Is r: both objects (Nothing included), the same object.
Result<bool> SameObject(const VARIANT& left_slot, const VARIANT& right_slot) {
  VARIANT left = PeekValue(left_slot);
  VARIANT right = PeekValue(right_slot);
  if (!IsObject(left) || !IsObject(right)) return ErrorNumber::ObjectRequired;
  if (left.punkVal == nullptr || right.punkVal == nullptr) return left.punkVal == right.punkVal;
  ComPtr<IUnknown> a = ComPtr<IUnknown>(left.punkVal).As<IUnknown>(IID_IUnknown);
  ComPtr<IUnknown> b = ComPtr<IUnknown>(right.punkVal).As<IUnknown>(IID_IUnknown);
  return a.get() == b.get();
}

}  // namespace

Interpreter::Interpreter(InterpreterHost* host) : host_(host), err_(MakeObject<ErrObject>()) {}

Interpreter::~Interpreter() {
  closing_ = true;
  frames_.clear();
  units_.clear();
  global_index_.clear();
  globals_.clear();
}

// ---- Value stack ----

// Makes room for a frame of `needed` slots starting at `base`, where `count` arguments already
// lie; when the current chunk is too small the arguments move to the next chunk.
Result<VARIANT*> Interpreter::ReserveFrame(VARIANT* base, uint32_t count, uint32_t needed,
                                           uint32_t* chunk) {
  if (chunks_.empty()) {
    uint32_t size = std::max(kFirstChunkSlots, needed);
    chunks_.emplace_back(new VARIANT[size]);
    chunk_sizes_.push_back(size);
    stack_slots_ = size;
    *chunk = 0;
    return chunks_[0].get();
  }
  if (base == nullptr) base = chunks_[*chunk].get();
  VARIANT* end = chunks_[*chunk].get() + chunk_sizes_[*chunk];
  if (base + needed <= end) return base;
  uint32_t next = *chunk + 1;
  if (next == chunks_.size() || chunk_sizes_[next] < needed) {
    uint32_t size = std::max(kChunkSlots, needed);
    size_t replaced = next < chunks_.size() ? chunk_sizes_[next] : 0;
    if (stack_slots_ - replaced + size > kMaxStackSlots) return ErrorNumber::OutOfStackSpace;
    if (next == chunks_.size()) {
      chunks_.emplace_back();
      chunk_sizes_.push_back(0);
    }
    chunks_[next].reset(new VARIANT[size]);
    stack_slots_ = stack_slots_ - replaced + size;
    chunk_sizes_[next] = size;
  }
  VARIANT* moved = chunks_[next].get();
  if (count > 0) std::memcpy(static_cast<void*>(moved), base, sizeof(VARIANT) * count);
  for (uint32_t i = 0; i < count; ++i) VariantInit(&base[i]);
  *chunk = next;
  return moved;
}

// Releases what a stack slot or local holds; an element reference gives back its array lock.
void Interpreter::ReleaseSlot(VARIANT* slot) {
  if (IsMarkedReference(*slot)) {
    UnlockElement(static_cast<int32_t>(slot->wReserved2 | (uint32_t{slot->wReserved3} << 16)));
  } else if (OwnsResources(slot->vt) && FAILED(VariantClear(slot))) {
    // A locked array cannot be freed; forgetting it is safer than freeing it under its lock.
    VariantInit(slot);
  }
  PutEmpty(slot);
}

// Clears slots from the top down: temporaries (which may lock arrays) go before variables.
void Interpreter::ClearRange(VARIANT* from, VARIANT* to) {
  for (VARIANT* slot = to; slot-- > from;) ReleaseSlot(slot);
}

int32_t Interpreter::LockElement(SAFEARRAY* array) {
  SafeArrayLock(array);
  element_locks_.push_back(array);
  return static_cast<int32_t>(element_locks_.size() - 1);
}

void Interpreter::UnlockElement(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= element_locks_.size()) return;
  if (element_locks_[index] != nullptr) SafeArrayUnlock(element_locks_[index]);
  element_locks_[index] = nullptr;
  while (!element_locks_.empty() && element_locks_.back() == nullptr) element_locks_.pop_back();
}

// ---- Frames ----

Result<void> Interpreter::EnterProcedure(const Procedure* procedure, LoadedUnit* unit,
                                         GlobalSlot* const* links, ScriptInstance* me,
                                         VARIANT* arguments, uint32_t count, FrameKind kind) {
  bool is_entry = kind == FrameKind::Entry;
  if (count != procedure->parameter_count) return ErrorNumber::WrongNumberOfArguments;
  if (frames_.size() >= kMaxCallDepth) return ErrorNumber::OutOfStackSpace;
  // ByVal parameters take copies before anything moves.
  for (uint32_t i = 0; i < count; ++i) {
    if (!procedure->by_value[i] || (arguments[i].vt & VT_BYREF) == 0) continue;
    Variant copy;
    if (FAILED(VariantCopyInd(&copy, &arguments[i]))) return ErrorNumber::OutOfMemory;
    ReleaseSlot(&arguments[i]);
    PutValue(&arguments[i], copy.Detach());
  }
  uint32_t chunk = stack_chunk_;
  uint32_t needed = procedure->local_count + procedure->max_stack;
  VARIANT* base = TRY(ReserveFrame(arguments, count, needed, &chunk));
  for (uint32_t i = count; i < needed; ++i) VariantInit(&base[i]);
  if (!is_entry && !frames_.empty()) frames_.back().sp = arguments;
  Frame& frame = frames_.emplace_back();
  frame.procedure = procedure;
  frame.unit = unit;
  frame.links = links;
  frame.me = me;
  frame.locals = base;
  frame.stack_base = base + procedure->local_count;
  frame.sp = frame.stack_base;
  frame.pc = procedure->code.data();
  frame.return_slot = arguments;
  frame.chunk = chunk;
  frame.is_entry = is_entry;
  if (me != nullptr) me->AddRef();
  stack_top_ = base + needed;
  stack_chunk_ = chunk;
  return {};
}

// Pops the running frame, returning its result. Locals are released while the frame is still
// the running one, so Class_Terminate code they trigger runs above it.
Variant Interpreter::LeaveProcedure() {
  Frame& frame = frames_.back();
  VARIANT* result_slot = &frame.locals[frame.procedure->result_slot];
  Variant result;
  result.Attach(*result_slot);
  result.wReserved1 = 0;
  VariantInit(result_slot);
  ClearRange(frame.stack_base, frame.sp);
  ClearRange(frame.locals, frame.locals + frame.procedure->local_count);
  ScriptInstance* me = frame.me;
  frames_.pop_back();
  if (frames_.empty()) {
    stack_top_ = nullptr;
    stack_chunk_ = 0;
  } else {
    const Frame& caller = frames_.back();
    stack_top_ = caller.locals + caller.procedure->local_count + caller.procedure->max_stack;
    stack_chunk_ = caller.chunk;
  }
  if (me != nullptr) me->Release();
  return result;
}

void Interpreter::UnwindFrame() {
  Frame& frame = frames_.back();
  VARIANT* return_slot = frame.return_slot;
  bool is_entry = frame.is_entry;
  Variant discarded = LeaveProcedure();
  if (!is_entry && !frames_.empty()) frames_.back().sp = return_slot;
}

namespace {

const ResumeOverride* FindResumeOverride(const Procedure& procedure, size_t failed_instruction) {
  // Loop headers never overlap, so at most one override covers an instruction.
  for (const ResumeOverride& override : procedure.resume_overrides) {
    if (failed_instruction >= override.first && failed_instruction <= override.last) return &override;
  }
  return nullptr;
}

}  // namespace

// Where Resume Next continues after the failing instruction: the next statement, or the end of
// a loop whose header failed.
uint32_t Interpreter::ResumePoint(const Frame& frame, size_t failed_instruction) const {
  if (const ResumeOverride* override = FindResumeOverride(*frame.procedure, failed_instruction)) {
    return override->target;
  }
  return NextStatement(frame, failed_instruction);
}

// The first statement after the failing instruction (the procedure's Return at the latest).
uint32_t Interpreter::NextStatement(const Frame& frame, size_t failed_instruction) const {
  const std::vector<uint32_t>& starts = frame.procedure->statement_starts;
  auto next = std::upper_bound(starts.begin(), starts.end(), static_cast<uint32_t>(failed_instruction));
  if (next == starts.end()) return static_cast<uint32_t>(frame.procedure->code.size() - 1);
  return *next;
}

// Remembers what failed and where, for Err and for the site. An error coming back out of a
// nested run keeps the number, text and place the inner run recorded.
void Interpreter::CaptureError(const Error& error) {
  // Codes the platform reads as script errors (DISP_E_BADPARAMCOUNT is 450, ...) are reported
  // as those errors.
  int32_t number = error.Number();
  bool mapped = !IsScriptErrorHresult(error.Hresult()) && number != error.Hresult();
  HRESULT hresult = mapped ? ScriptErrorHresult(number) : error.Hresult();
  if (std::optional<ScriptError> raised = err_->TakeRaised()) {
    pending_ = std::move(*raised);
  } else if (!(pending_valid_ && pending_.hresult == hresult)) {
    pending_ = ScriptError{};
    pending_.number = number;
    pending_.hresult = hresult;
    pending_.description = error.Description();
    pending_.source = error.Source().empty() ? std::u16string(kRuntimeErrorSource)
                                             : std::u16string(error.Source());
  }
  pending_valid_ = true;
  if (pending_.has_position || frames_.empty()) return;
  const Frame& frame = frames_.back();
  size_t index = static_cast<size_t>(frame.pc - frame.procedure->code.data());
  if (index > 0) --index;
  if (index < frame.procedure->positions.size()) pending_.position = frame.procedure->positions[index];
  pending_.unit = frame.unit->code;
  pending_.has_position = true;
}

// Finds the handler of an error: the innermost frame with On Error Resume Next continues at
// its next statement (true); otherwise frames unwind up to the entry frame and the error leaves
// the run (false). Stops unwind everything and are never handled.
bool Interpreter::HandleError(Error error, size_t entry_depth) {
  bool stop = IsStop(error);
  // A stop ends every run of this thread's script, even where some object in between would
  // have turned it into another error.
  if (stop) interrupt_requested_.store(true);
  if (!stop) CaptureError(error);
  while (frames_.size() > entry_depth) {
    Frame& frame = frames_.back();
    if (!stop && frame.resume_next) {
      size_t failed_at = static_cast<size_t>(frame.pc - frame.procedure->code.data()) - 1;
      if (const ResumeOverride* override = FindResumeOverride(*frame.procedure, failed_at);
          override != nullptr && override->number != 0) {
        pending_.number = override->number;
        pending_.hresult = ScriptErrorHresult(override->number);
        pending_.description = StandardErrorDescription(override->number);
        pending_.source = kRuntimeErrorSource;
      }
      err_->Set(pending_);
      pending_valid_ = false;
      ClearRange(frame.stack_base, frame.sp);
      frame.sp = frame.stack_base;
      size_t failed = static_cast<size_t>(frame.pc - frame.procedure->code.data()) - 1;
      frame.pc = frame.procedure->code.data() + ResumePoint(frame, failed);
      return true;
    }
    ClearRange(frame.stack_base, frame.sp);
    frame.sp = frame.stack_base;
    bool is_entry = frame.is_entry;
    UnwindFrame();
    if (is_entry) break;
  }
  return false;
}

Result<void> Interpreter::CheckInterrupt() {
  if (step_limit_ != 0 && ++steps_taken_ > step_limit_) interrupt_requested_.store(true);
  if (!interrupt_requested_.load(std::memory_order_relaxed)) return {};
  return Error::FromHresult(SCRIPT_E_STOP_WITHOUT_ERROR);
}

void Interpreter::Interrupt(const EXCEPINFO* exception) {
  if (exception != nullptr) {
    ScriptError error;
    error.hresult = exception->scode != 0 ? exception->scode : ScriptErrorHresult(exception->wCode);
    error.number = ScriptErrorNumberFromHresult(error.hresult);
    error.description = BstrView(exception->bstrDescription);
    error.source = BstrView(exception->bstrSource);
    std::lock_guard<std::mutex> lock(interrupt_mutex_);
    interrupt_error_ = std::move(error);
  }
  interrupt_requested_.store(true);
}

// ---- Entry points ----

// Runs a procedure for a C++ caller: arguments are placed above everything running (copied or
// as given) and the machine runs until this call returns.
Result<Variant> Interpreter::RunEntry(const Procedure* procedure, LoadedUnit* unit,
                                      GlobalSlot* const* links, ScriptInstance* me,
                                      std::span<const VARIANT> arguments, ArgumentPassing passing,
                                      Frame* scope) {
  bool copy_values = passing == ArgumentPassing::Copied;
  if (StackIsLow()) return ErrorNumber::OutOfStackSpace;
  if (frames_.empty()) {
    // A new top-level run: stops and interrupts of earlier runs are over.
    interrupt_requested_.store(false);
    pending_valid_ = false;
    std::lock_guard<std::mutex> lock(interrupt_mutex_);
    interrupt_error_.reset();
  }
  auto count = static_cast<uint32_t>(arguments.size());
  uint32_t chunk = stack_chunk_;
  VARIANT* base = TRY(ReserveFrame(stack_top_, 0, count + procedure->local_count + procedure->max_stack, &chunk));
  uint32_t saved_chunk = stack_chunk_;
  stack_chunk_ = chunk;
  for (uint32_t i = 0; i < count; ++i) {
    VariantInit(&base[i]);
    const VARIANT& argument = arguments[i];
    if (!copy_values || (argument.vt & VT_BYREF) != 0) {
      PutValue(&base[i], argument);
    } else if (FAILED(VariantCopy(&base[i], &argument))) {
      ClearRange(base, base + i);
      stack_chunk_ = saved_chunk;
      return ErrorNumber::OutOfMemory;
    }
  }
  size_t depth = frames_.size();
  Result<void> entered = EnterProcedure(procedure, unit, links, me, base, count, FrameKind::Entry);
  if (!entered.ok()) {
    // By-reference arguments belong to the caller; copies are ours to release.
    for (uint32_t i = 0; i < count; ++i) {
      if (copy_values && (arguments[i].vt & VT_BYREF) == 0) ReleaseSlot(&base[i]);
    }
    stack_chunk_ = saved_chunk;
    Error error = std::move(entered).error();
    if (!IsStop(error)) CaptureError(error);
    return error;
  }
  frames_.back().scope = scope;
  return Execute(depth);
}

RunOutcome Interpreter::Finish(Result<Variant> outcome, Variant* result) {
  if (outcome.ok()) {
    if (result != nullptr) *result = std::move(outcome).value();
    return RunOutcome::Completed;
  }
  const Error& error = outcome.error();
  pending_valid_ = false;
  if (IsStop(error)) {
    std::lock_guard<std::mutex> lock(interrupt_mutex_);
    if (!interrupt_error_) return RunOutcome::Stopped;
    last_error_ = std::move(*interrupt_error_);
    interrupt_error_.reset();
    return RunOutcome::Failed;
  }
  last_error_ = pending_;
  if (last_error_.number != error.Number()) {
    last_error_ = ScriptError{};
    last_error_.hresult = error.Hresult();
    last_error_.number = error.Number();
    last_error_.description = error.Description();
    last_error_.source = error.Source().empty() ? std::u16string(kRuntimeErrorSource) : std::u16string(error.Source());
  }
  return RunOutcome::Failed;
}

RunOutcome Interpreter::Run(LoadedUnit* unit, Variant* result) {
  Result<Variant> outcome = RunEntry(&unit->code->global_code, unit, unit->links.data(), nullptr, {},
                                     ArgumentPassing::AsGiven, nullptr);
  DropIfSpent(unit);
  return Finish(std::move(outcome), result);
}

RunOutcome Interpreter::CallProcedure(const GlobalSlot& slot, std::span<const VARIANT> arguments,
                                      Variant* result) {
  if (slot.kind != SlotKind::Procedure) return Finish(Error(ErrorNumber::TypeMismatch), result);
  Result<Variant> outcome = RunEntry(slot.procedure, slot.unit, slot.unit->links.data(), nullptr,
                                     arguments, ArgumentPassing::Copied, nullptr);
  return Finish(std::move(outcome), result);
}

// Reports a nested run's outcome to an IDispatch caller.
HRESULT Interpreter::CompleteInvoke(Result<Variant> outcome, VARIANT* result, EXCEPINFO* exception) {
  if (outcome.ok()) {
    if (result != nullptr) {
      VariantClear(result);
      *result = std::move(outcome).value().Detach();
      result->wReserved1 = 0;
    }
    return S_OK;
  }
  const Error& error = outcome.error();
  if (IsStop(error)) return SCRIPT_E_STOP_WITHOUT_ERROR;
  ScriptError details = pending_valid_ ? pending_ : ScriptError{};
  if (!pending_valid_) {
    details.hresult = error.Hresult();
    details.description = error.Description();
    details.source = kRuntimeErrorSource;
  }
  Error carried = Error::FromHresult(details.hresult, details.description, details.source);
  return ReportInvokeException(carried, details.source, exception);
}

// The storage of a field of Me, or of an undeclared name that is known to be no global (so
// the procedure's own local); null when the general lookup must decide.
VARIANT* Interpreter::DirectVariable(const Instruction& instruction, const Frame& frame) const {
  if (instruction.mode == VariableMode::Field) {
    return frame.me != nullptr ? frame.me->field(static_cast<size_t>(instruction.a)) : nullptr;
  }
  if (instruction.mode != VariableMode::Implicit) return nullptr;
  const GlobalSlot* slot = frame.links[instruction.a];
  // Once an Execute ran in this procedure, it may have defined a procedure of the name.
  bool known_local = slot->kind == SlotKind::Undefined && slot->checked_generation == definitions_ &&
                     frame.execute == nullptr && ImplicitLocalAllowed(instruction, frame);
  return known_local ? &frame.locals[instruction.b] : nullptr;
}

// ---- The dispatch loop ----

// Evaluates an expression that can fail; on failure the error goes to the handler.
#define PROTECT(expression)                                              \
  ({                                                                     \
    auto&& protect_result_ = (expression);                               \
    if (!protect_result_.ok()) {                                         \
      failure.emplace(std::move(protect_result_).error());               \
      goto fail;                                                         \
    }                                                                    \
    std::move(protect_result_).value();                                  \
  })

// Reloads the registers from the running frame (after a call, return or handled error).
#define LOAD_FRAME()                                \
  do {                                              \
    frame = &frames_.back();                        \
    code = frame->procedure->code.data();           \
    pc = frame->pc;                                 \
    sp = frame->sp;                                 \
    locals = frame->locals;                         \
    links = frame->links;                           \
  } while (0)

// Saves the registers before anything that may run other frames or fail.
#define SAVE_FRAME()   \
  do {                 \
    frame->pc = pc;    \
    frame->sp = sp;    \
  } while (0)

// Runs frames until the entry frame at `entry_depth` returns. One switch, so that the hot cases
// (locals, globals, integer arithmetic, comparisons, jumps, loops) stay inline with the
// registers in hand; everything slower is a member function called with the frame saved.
Result<Variant> Interpreter::Execute(size_t entry_depth) {
  Frame* frame;
  const Instruction* code;
  const Instruction* pc;
  VARIANT* sp;
  VARIANT* locals;
  GlobalSlot* const* links;
  std::optional<Error> failure;
  LOAD_FRAME();
  for (;;) {
    for (;;) {
      const Instruction& ins = *pc++;
      switch (ins.op) {
        case Opcode::PushConst: {
          VariantInit(sp);
          if (FAILED(VariantCopy(sp, &frame->unit->code->constants[ins.a]))) {
            PROTECT(Result<void>(ErrorNumber::OutOfMemory));
          }
          ++sp;
          break;
        }
        case Opcode::PushConstRef:
          PutReference(sp++, const_cast<Variant*>(&frame->unit->code->constants[ins.a]));
          break;
        case Opcode::PushInteger: PutInteger(sp++, static_cast<int16_t>(ins.a)); break;
        case Opcode::PushLong: PutLong(sp++, ins.a); break;
        case Opcode::PushEmpty: PutEmpty(sp++); break;
        case Opcode::PushNull:
          PutEmpty(sp);
          (sp++)->vt = VT_NULL;
          break;
        case Opcode::PushNothing:
          PutEmpty(sp);
          sp->vt = VT_DISPATCH;
          (sp++)->pdispVal = nullptr;
          break;
        case Opcode::PushBoolean: PutBoolean(sp++, ins.a != 0); break;
        case Opcode::PushMissing:
          PutEmpty(sp);
          sp->vt = VT_ERROR;
          (sp++)->scode = DISP_E_PARAMNOTFOUND;
          break;
        case Opcode::PushMe: {
          if (frame->me == nullptr) PROTECT(Result<void>(ErrorNumber::ObjectRequired));
          PutEmpty(sp);
          sp->vt = VT_DISPATCH;
          sp->pdispVal = frame->me;
          frame->me->AddRef();
          ++sp;
          break;
        }
        case Opcode::Pop: ReleaseSlot(--sp); break;

        case Opcode::LoadLocal: {
          const VARIANT* value = Through(&locals[ins.a]);
          if (PushSimpleCopy(*value, sp)) {
            ++sp;
            break;
          }
          VariantInit(sp);
          if (FAILED(VariantCopyInd(sp, value))) PROTECT(Result<void>(ErrorNumber::OutOfMemory));
          ++sp;
          break;
        }
        case Opcode::LoadLocalRef: {
          VARIANT* local = &locals[ins.a];
          if (local->vt == (VT_BYREF | VT_VARIANT)) {
            PutReference(sp++, local->pvarVal);
          } else {
            PutReference(sp++, local);
          }
          break;
        }
        case Opcode::StoreLocal: {
          VARIANT* target = &locals[ins.a];
          VARIANT* value = sp - 1;
          bool plain = !OwnsResources(target->vt) && (target->vt & VT_BYREF) == 0 &&
                       (value->vt & VT_BYREF) == 0 && value->vt != VT_DISPATCH && value->vt != VT_UNKNOWN;
          if (plain) {
            PutValue(target, *value);
            PutEmpty(--sp);
            break;
          }
          SAVE_FRAME();
          PROTECT(Assign(target, value, AssignMode::Let));
          PutEmpty(--sp);
          break;
        }
        case Opcode::SetLocal:
        case Opcode::AssignLocal: {
          SAVE_FRAME();
          VARIANT* value = sp - 1;
          if (ins.op == Opcode::AssignLocal) {
            ReleaseSlot(&locals[ins.a]);
            PutValue(&locals[ins.a], *value);
            PutEmpty(--sp);
            break;
          }
          PROTECT(Assign(&locals[ins.a], value, AssignMode::Set));
          PutEmpty(--sp);
          break;
        }
        case Opcode::ClearLocal:
          SAVE_FRAME();
          ReleaseSlot(&locals[ins.a]);
          break;
        case Opcode::LoadGlobal:
        case Opcode::LoadGlobalRef: {
          GlobalSlot* slot = links[ins.a];
          if (slot->kind == SlotKind::Variable) {
            VARIANT* storage = slot->storage;
            if (ins.op == Opcode::LoadGlobalRef) {
              PutReference(sp++, storage->vt == (VT_BYREF | VT_VARIANT) ? storage->pvarVal : storage);
              break;
            }
            if (PushSimpleCopy(*Through(storage), sp)) {
              ++sp;
              break;
            }
          } else if (slot->kind == SlotKind::NamedItem && slot->value.vt == VT_DISPATCH) {
            // A bound host object (Response, Request, ...): a new reference to it.
            PutValue(sp, slot->value);
            if (sp->pdispVal != nullptr) sp->pdispVal->AddRef();
            ++sp;
            break;
          }
          SAVE_FRAME();
          Instruction as_variable{Opcode::LoadVar, VariableMode::Global, ins.count, ins.a, 0};
          bool pushed = PROTECT(PushVariableRef(as_variable, sp));
          if (!pushed) {
            // Not a variable: read by calling it without arguments.
            bool entered = PROTECT(CallVariable(as_variable, sp, 0, CallUse::Value));
            if (entered) {
              LOAD_FRAME();
              break;
            }
          } else if (ins.op == Opcode::LoadGlobal && sp->vt == (VT_BYREF | VT_VARIANT)) {
            VARIANT* target = sp->pvarVal;
            VariantInit(sp);
            if (FAILED(VariantCopyInd(sp, target))) PROTECT(Result<void>(ErrorNumber::OutOfMemory));
          }
          ++sp;
          break;
        }
        case Opcode::StoreGlobal: {
          GlobalSlot* slot = links[ins.a];
          VARIANT* value = sp - 1;
          VARIANT* target = slot->storage;
          bool plain = slot->kind == SlotKind::Variable && !OwnsResources(target->vt) &&
                       (target->vt & VT_BYREF) == 0 && (value->vt & VT_BYREF) == 0 &&
                       value->vt != VT_DISPATCH && value->vt != VT_UNKNOWN;
          if (plain) {
            PutValue(target, *value);
            PutEmpty(--sp);
            break;
          }
          SAVE_FRAME();
          PROTECT(StoreGlobal(slot, value, AssignMode::Let));
          PutEmpty(--sp);
          break;
        }
        case Opcode::LoadVar:
        case Opcode::LoadVarRef: {
          if (VARIANT* direct = DirectVariable(ins, *frame)) {
            if (ins.op == Opcode::LoadVarRef) {
              PutReference(sp++, direct->vt == (VT_BYREF | VT_VARIANT) ? direct->pvarVal : direct);
              break;
            }
            if (PushSimpleCopy(*Through(direct), sp)) {
              ++sp;
              break;
            }
          }
          SAVE_FRAME();
          bool pushed = PROTECT(PushVariableRef(ins, sp));
          if (!pushed) {
            bool entered = PROTECT(CallVariable(ins, sp, 0, CallUse::Value));
            if (entered) {
              LOAD_FRAME();
              break;
            }
          } else if (ins.op == Opcode::LoadVar && sp->vt == (VT_BYREF | VT_VARIANT)) {
            VARIANT* target = sp->pvarVal;
            VariantInit(sp);
            if (FAILED(VariantCopyInd(sp, target))) PROTECT(Result<void>(ErrorNumber::OutOfMemory));
          }
          ++sp;
          break;
        }
        case Opcode::StoreVar:
        case Opcode::SetVar:
          SAVE_FRAME();
          if (VARIANT* direct = DirectVariable(ins, *frame)) {
            PROTECT(Assign(direct, sp - 1, AssignModeOf(ins.op == Opcode::SetVar)));
            PutEmpty(--sp);
            break;
          }
          PROTECT(StoreVariable(ins, sp - 1, AssignModeOf(ins.op == Opcode::SetVar)));
          PutEmpty(--sp);
          break;
        case Opcode::AppendVar:
          SAVE_FRAME();
          PROTECT(AppendVariable(ins, sp - 1));
          ReleaseSlot(--sp);
          break;
        case Opcode::DimArray:
          SAVE_FRAME();
          PROTECT(DimArray(ins, sp - ins.count));
          sp -= ins.count;
          break;
        case Opcode::Redim:
        case Opcode::RedimPreserve:
          SAVE_FRAME();
          PROTECT(RedimArray(ins, sp - ins.count,
                             ins.op == Opcode::RedimPreserve ? RedimMode::Preserve : RedimMode::Fresh));
          ClearRange(sp - ins.count, sp);
          sp -= ins.count;
          break;
        case Opcode::Erase:
          SAVE_FRAME();
          PROTECT(EraseArray(ins));
          break;

        case Opcode::CallVar:
        case Opcode::CallVarRef:
        case Opcode::CallVarParens:
        case Opcode::CallSub: {
          SAVE_FRAME();
          VARIANT* base = sp - ins.count;
          CallUse use = ins.op == Opcode::CallVarRef      ? CallUse::Reference
                        : ins.op == Opcode::CallSub       ? CallUse::Statement
                        : ins.op == Opcode::CallVarParens ? CallUse::Parens
                                                          : CallUse::Value;
          bool entered = PROTECT(CallVariable(ins, base, ins.count, use));
          if (entered) {
            if (ins.op == Opcode::CallSub) frames_.back().discard_result = true;
            LOAD_FRAME();
            break;
          }
          sp = base + 1;
          if (ins.op == Opcode::CallSub) ReleaseSlot(--sp);
          break;
        }
        case Opcode::StoreIndexed:
        case Opcode::SetIndexed: {
          SAVE_FRAME();
          VARIANT* base = sp - ins.count - 1;
          PROTECT(StoreIndexed(ins, base, AssignModeOf(ins.op == Opcode::SetIndexed)));
          ClearRange(base, sp);
          sp = base;
          break;
        }
        case Opcode::StoreValueIndexed:
        case Opcode::SetValueIndexed: {
          SAVE_FRAME();
          VARIANT* base = sp - ins.count - 2;
          PROTECT(StoreInto(*base, base + 1, ins.count, sp - 1, AssignModeOf(ins.op == Opcode::SetValueIndexed)));
          ClearRange(base, sp);
          sp = base;
          break;
        }
        case Opcode::CallValue: {
          SAVE_FRAME();
          VARIANT* base = sp - ins.count - 1;
          Variant result = PROTECT(ins.count == 0 ? CallWithEmptyParens(*base) : CallValue(*base, base + 1, ins.count));
          ClearRange(base, sp);
          PutValue(base, result.Detach());
          sp = base + 1;
          break;
        }
        case Opcode::CallMember:
        case Opcode::StoreMember:
        case Opcode::SetMember:
        case Opcode::CallClassMember:
        case Opcode::StoreClassMember:
        case Opcode::SetClassMember: {
          SAVE_FRAME();
          bool is_put = ins.op != Opcode::CallMember && ins.op != Opcode::CallClassMember;
          VARIANT* base = sp - ins.count - 1 - (is_put ? 1 : 0);
          WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
          if (ins.op == Opcode::StoreMember || ins.op == Opcode::StoreClassMember) flags = DISPATCH_PROPERTYPUT;
          if (ins.op == Opcode::SetMember || ins.op == Opcode::SetClassMember) flags = DISPATCH_PROPERTYPUTREF;
          bool entered = PROTECT(CallMember(ins, base, flags));
          if (entered) {
            if (is_put) frames_.back().discard_result = true;
            LOAD_FRAME();
            break;
          }
          sp = base + 1;
          if (is_put) ReleaseSlot(--sp);
          break;
        }
        case Opcode::NewObject: {
          SAVE_FRAME();
          Variant instance = PROTECT(NewInstance(links[ins.a]));
          PutValue(sp++, instance.Detach());
          break;
        }

        case Opcode::Add:
        case Opcode::Subtract: {
          const VARIANT* left = Through(sp - 2);
          const VARIANT* right = Through(sp - 1);
          if (IsSmallInteger(left->vt) && IsSmallInteger(right->vt) &&
              AddIntegers(*left, *right, sp - 2, ins.op == Opcode::Add ? 1 : -1)) {
            ReleaseSlot(--sp);
            break;
          }
          double l = 0;
          double r = 0;
          if (DoubleOperands(*left, *right, &l, &r)) {
            double value = ins.op == Opcode::Add ? l + r : l - r;
            if (value - value == 0) {  // finite
              ReleaseSlot(sp - 1);
              ReleaseSlot(sp - 2);
              PutDouble(sp - 2, value);
              --sp;
              break;
            }
          }
          [[fallthrough]];
        }
        case Opcode::Multiply:
        case Opcode::Divide:
        case Opcode::IntegerDivide:
        case Opcode::Modulo:
        case Opcode::Power:
        case Opcode::Concatenate:
        case Opcode::And:
        case Opcode::Or:
        case Opcode::Xor:
        case Opcode::Eqv:
        case Opcode::Imp: {
          {
            const VARIANT* left = Through(sp - 2);
            const VARIANT* right = Through(sp - 1);
            if (IsSmallInteger(left->vt) && IsSmallInteger(right->vt) &&
                IntegerArithmetic(ins.op, *left, *right, sp - 2)) {
              ReleaseSlot(--sp);
              break;
            }
          }
          SAVE_FRAME();
          if (ins.op == Opcode::Concatenate) PROTECT(CheckConcatenation(sp[-2], sp[-1]));
          Variant result = PROTECT(LogicalWithEmpty(ins.op, sp[-2], sp[-1]));
          ReleaseSlot(sp - 1);
          ReleaseSlot(sp - 2);
          PutValue(sp - 2, result.Detach());
          --sp;
          break;
        }
        case Opcode::Equal:
        case Opcode::NotEqual:
        case Opcode::Less:
        case Opcode::Greater:
        case Opcode::LessEqual:
        case Opcode::GreaterEqual: {
          const VARIANT* left = Through(sp - 2);
          const VARIANT* right = Through(sp - 1);
          if (IsSmallInteger(left->vt) && IsSmallInteger(right->vt)) {
            int32_t l = SmallIntegerOf(*left);
            int32_t r = SmallIntegerOf(*right);
            Comparison order = l < r ? Comparison::Less : (l > r ? Comparison::Greater : Comparison::Equal);
            --sp;
            PutBoolean(sp - 1, ComparisonHolds(ins.op, order));
            break;
          }
          SAVE_FRAME();
          Comparison comparison = PROTECT(CompareValues(sp[-2], sp[-1], ins.a));
          ReleaseSlot(sp - 1);
          ReleaseSlot(sp - 2);
          --sp;
          if (comparison == Comparison::Null) {
            sp[-1].vt = VT_NULL;
          } else {
            PutBoolean(sp - 1, ComparisonHolds(ins.op, comparison));
          }
          break;
        }
        case Opcode::Is: {
          SAVE_FRAME();
          bool same = PROTECT(SameObject(sp[-2], sp[-1]));
          ReleaseSlot(sp - 1);
          ReleaseSlot(sp - 2);
          PutBoolean(sp - 2, same);
          --sp;
          break;
        }
        case Opcode::Negate:
        case Opcode::Not:
        case Opcode::ToValue: {
          SAVE_FRAME();
          const VARIANT* value = Through(sp - 1);
          if (ins.op == Opcode::Negate && value->vt == VT_I4 && value->lVal != INT32_MIN) {
            PutLong(sp - 1, -value->lVal);
            break;
          }
          VARIANT shallow = PeekValue(sp[-1]);
          Variant result;
          if (ins.op == Opcode::ToValue) {
            if (FAILED(VariantCopyInd(&result, &shallow))) PROTECT(Result<void>(ErrorNumber::OutOfMemory));
          } else {
            result = PROTECT(ins.op == Opcode::Negate ? ::Negate(shallow) : ::Not(shallow));
            if (ins.op == Opcode::Not && shallow.vt == VT_EMPTY) WidenLogicalResult(result);
          }
          ReleaseSlot(sp - 1);
          PutValue(sp - 1, result.Detach());
          break;
        }

        case Opcode::RequireObject: {
          VARTYPE type = Through(sp - 1)->vt;
          if (type != VT_DISPATCH && type != VT_UNKNOWN) {
            SAVE_FRAME();
            PROTECT(Result<void>(ErrorNumber::ObjectRequired));
          }
          break;
        }
        case Opcode::Jump:
          if (ins.a <= pc - code - 1) {
            SAVE_FRAME();
            PROTECT(CheckInterrupt());
          }
          pc = code + ins.a;
          break;
        case Opcode::JumpIfFalse:
        case Opcode::JumpIfTrue: {
          bool condition;
          if (sp[-1].vt == VT_BOOL) {
            condition = (--sp)->boolVal != 0;
          } else {
            SAVE_FRAME();
            condition = PROTECT(ConditionValue(sp[-1]));
            ReleaseSlot(--sp);
          }
          if (condition == (ins.op == Opcode::JumpIfTrue)) {
            if (ins.a <= pc - code - 1) {
              frame->sp = sp;
              PROTECT(CheckInterrupt());
            }
            pc = code + ins.a;
          }
          break;
        }
        case Opcode::ForPrep: {
          SAVE_FRAME();
          bool run = PROTECT(ForStart(locals + ins.a, sp - 4));
          sp -= 4;
          if (!run) pc = code + ins.b;
          break;
        }
        case Opcode::ForNext: {
          SAVE_FRAME();
          PROTECT(CheckInterrupt());
          bool again = PROTECT(ForStep(locals + ins.a));
          if (again) pc = code + ins.b;
          break;
        }
        case Opcode::ForEachPrep: {
          SAVE_FRAME();
          PROTECT(ForEachStart(locals + ins.a, sp - 2));
          sp -= 2;
          frame->sp = sp;
          bool has_element = PROTECT(ForEachStep(locals + ins.a));
          if (!has_element) pc = code + ins.b;
          break;
        }
        case Opcode::ForEachNext: {
          SAVE_FRAME();
          PROTECT(CheckInterrupt());
          bool has_element = PROTECT(ForEachStep(locals + ins.a));
          if (has_element) pc = code + ins.b;
          break;
        }
        case Opcode::OnErrorResumeNext:
        case Opcode::OnErrorGoto0:
          frame->resume_next = ins.op == Opcode::OnErrorResumeNext;
          err_->Clear();
          break;
        case Opcode::Raise:
          SAVE_FRAME();
          PROTECT(Result<void>(Error(static_cast<ErrorNumber>(ins.a))));
          break;
        case Opcode::Return: {
          SAVE_FRAME();
          bool is_entry = frame->is_entry;
          bool discard = frame->discard_result;
          VARIANT* return_slot = frame->return_slot;
          Variant result = LeaveProcedure();
          if (is_entry) return result;
          LOAD_FRAME();
          if (discard) {
            sp = return_slot;
          } else {
            PutValue(return_slot, result.Detach());
            sp = return_slot + 1;
          }
          PROTECT(CheckInterrupt());
          break;
        }
      }
    }
  fail:
    frame->pc = pc;
    frame->sp = sp;
    Error error = std::move(*failure);
    failure.reset();
    if (!HandleError(error, entry_depth)) return error;
    LOAD_FRAME();
  }
}

}  // namespace vbscript
