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

// The element a(i) of a Variant vector held in a local (or what the local refers to), when `i`
// is an Integer or Long inside the bounds; null for anything the general path must decide.
VARIANT* LocalVectorElement(VARIANT& local, const VARIANT& index_slot) {
  const VARIANT* holder = Through(&local);
  if (holder->vt != (VT_ARRAY | VT_VARIANT) || holder->parray == nullptr || holder->parray->cDims != 1) {
    return nullptr;
  }
  const VARIANT* index = Through(&index_slot);
  if (!IsSmallInteger(index->vt)) return nullptr;
  SAFEARRAY* array = holder->parray;
  int64_t offset = int64_t{SmallIntegerOf(*index)} - array->rgsabound[0].lLbound;
  if (offset < 0 || offset >= array->rgsabound[0].cElements) return nullptr;
  return static_cast<VARIANT*>(array->pvData) + offset;
}

// The number subtypes a string is compared with as text or as a number (Booleans and dates
// have rules of their own).
bool IsNumberType(VARTYPE type) {
  return type == VT_I2 || type == VT_I4 || type == VT_R4 || type == VT_R8 || type == VT_CY ||
         type == VT_UI1 || type == VT_DECIMAL;
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

// Per comparison opcode (from Equal on, in opcodes.def order), the orders that satisfy it as
// bits (1 << Less, 1 << Equal, 1 << Greater): a table lookup, no branch to mispredict.
constexpr uint8_t kLess = 1 << static_cast<int>(Comparison::Less);
constexpr uint8_t kSame = 1 << static_cast<int>(Comparison::Equal);
constexpr uint8_t kMore = 1 << static_cast<int>(Comparison::Greater);
constexpr uint8_t kComparisonOrders[] = {
    kSame,           // Equal
    kLess | kMore,   // NotEqual
    kLess,           // Less
    kMore,           // Greater
    kLess | kSame,   // LessEqual
    kSame | kMore,   // GreaterEqual
};
static_assert(static_cast<int>(Opcode::GreaterEqual) - static_cast<int>(Opcode::Equal) == 5,
              "the comparison opcodes are consecutive");

bool ComparisonHolds(Opcode op, Comparison comparison) {
  uint8_t orders = kComparisonOrders[static_cast<int>(op) - static_cast<int>(Opcode::Equal)];
  return ((orders >> static_cast<int>(comparison)) & 1) != 0;
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

void Interpreter::ReleaseOwningSlot(VARIANT* slot) {
  if (IsMarkedReference(*slot)) {
    UnlockElement(static_cast<int32_t>(slot->wReserved2 | (uint32_t{slot->wReserved3} << 16)));
  } else if (OwnsResources(slot->vt) && FAILED(VariantClear(slot))) {
    // A locked array cannot be freed; forgetting it is safer than freeing it under its lock.
    VariantInit(slot);
  }
  PutEmpty(slot);
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
  for (uint32_t i = 0; i < count && procedure->any_by_value; ++i) {
    if (!procedure->by_value[i] || (arguments[i].vt & VT_BYREF) == 0) continue;
    Variant copy;
    if (FAILED(VariantCopyInd(&copy, &arguments[i]))) return ErrorNumber::OutOfMemory;
    ReleaseSlot(&arguments[i]);
    PutValue(&arguments[i], copy.Detach());
  }
  uint32_t chunk = stack_chunk_;
  uint32_t needed = procedure->local_count + procedure->max_stack;
  VARIANT* base = arguments;
  // Usually the frame fits where its arguments lie in the current chunk.
  bool fits = !chunks_.empty() && arguments != nullptr &&
              arguments + needed <= chunks_[chunk].get() + chunk_sizes_[chunk];
  if (!fits) base = TRY(ReserveFrame(arguments, count, needed, &chunk));
  for (uint32_t i = count; i < needed; ++i) PutEmptySlot(&base[i]);
  if (!is_entry && !frames_.empty()) frames_.back().sp = arguments;
  Frame& frame = frames_.push();
  frame.resume_next = false;
  frame.discard_result = false;
  frame.scope = nullptr;
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
  Variant result;
  LeaveProcedure(&result);
  return result;
}

// As above, the result moved into `*result` (which held nothing the caller owns).
void Interpreter::LeaveProcedure(VARIANT* result) {
  Frame& frame = frames_.back();
  VARIANT* result_slot = &frame.locals[frame.procedure->result_slot];
  *result = *result_slot;
  result->wReserved1 = 0;
  PutEmptySlot(result_slot);
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
}

void Interpreter::UnwindFrame() {
  Frame& frame = frames_.back();
  VARIANT* return_slot = frame.return_slot;
  bool is_entry = frame.is_entry;
  Variant discarded = LeaveProcedure();
  if (!is_entry && !frames_.empty()) frames_.back().sp = return_slot;
}

namespace {

const LoopHeader* LoopHeaderAt(const Procedure& procedure, size_t failed_instruction) {
  // Loop headers never overlap, so at most one covers an instruction.
  for (const LoopHeader& header : procedure.loop_headers) {
    if (failed_instruction >= header.first && failed_instruction <= header.last) return &header;
  }
  return nullptr;
}

}  // namespace

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
    pending_.help_file = std::u16string(error.HelpFile());
    pending_.help_context = error.HelpContext();
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
      err_->Set(pending_);
      pending_valid_ = false;
      ClearRange(frame.stack_base, frame.sp);
      frame.sp = frame.stack_base;
      size_t failed = static_cast<size_t>(frame.pc - frame.procedure->code.data()) - 1;
      if (const LoopHeader* header = LoopHeaderAt(*frame.procedure, failed)) {
        ClearRange(frame.locals + header->temps, frame.locals + header->temps + header->count);
      }
      frame.pc = frame.procedure->code.data() + NextStatement(frame, failed);
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

Result<void> Interpreter::CheckInterruptSlow() {
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

// Ends the run when a stop was requested or the step limit is reached; one flag test otherwise.
// The failure path saves the registers itself.
#define CHECK_INTERRUPT()                                  \
  do {                                                     \
    if (InterruptPending()) PROTECT(CheckInterruptSlow()); \
  } while (0)

// A comparison's outcome over its `operands` stack values: pushed as a Boolean, or, when a
// conditional jump follows, taken at once without pushing anything.
#define PUSH_OR_BRANCH(holds, operands)                                 \
  do {                                                                  \
    if (pc->op != Opcode::JumpIfFalse && pc->op != Opcode::JumpIfTrue) { \
      sp -= (operands) - 1;                                             \
      PutBoolean(sp - 1, holds);                                        \
      NEXT();                                                           \
    }                                                                   \
    sp -= (operands);                                                   \
    const Instruction& jump = *pc++;                                    \
    if ((holds) != (jump.op == Opcode::JumpIfTrue)) NEXT();             \
    if (jump.a <= pc - code - 1) CHECK_INTERRUPT();                     \
    pc = code + jump.a;                                                 \
    NEXT();                                                             \
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
  // Threaded dispatch: each handler jumps straight to the next instruction's handler.
  static const void* const kHandlers[] = {
#define OPCODE(name, pops, pops_count, pushes, semantics) &&handle_##name,
#include "platform/vbscript/opcodes.def"
#undef OPCODE
  };
  const Instruction* ip;
#define ins (*ip)
#define NEXT()                                                  \
  do {                                                          \
    ip = pc++;                                                  \
    goto* kHandlers[static_cast<size_t>(ip->op)];               \
  } while (0)
  LOAD_FRAME();
  for (;;) {
    for (;;) {
      ip = pc++;
      switch (ip->op) {
        case Opcode::PushConst: handle_PushConst: {
          VariantInit(sp);
          if (FAILED(VariantCopy(sp, &frame->unit->code->constants[ins.a]))) {
            PROTECT(Result<void>(ErrorNumber::OutOfMemory));
          }
          ++sp;
          NEXT();
        }
        case Opcode::PushConstRef: handle_PushConstRef:
          PutReference(sp++, const_cast<Variant*>(&frame->unit->code->constants[ins.a]));
          NEXT();
        case Opcode::PushInteger: handle_PushInteger: PutInteger(sp++, static_cast<int16_t>(ins.a)); NEXT();
        case Opcode::PushLong: handle_PushLong: PutLong(sp++, ins.a); NEXT();
        case Opcode::PushEmpty: handle_PushEmpty: PutEmpty(sp++); NEXT();
        case Opcode::PushNull: handle_PushNull:
          PutEmpty(sp);
          (sp++)->vt = VT_NULL;
          NEXT();
        case Opcode::PushNothing: handle_PushNothing:
          PutEmpty(sp);
          sp->vt = VT_DISPATCH;
          (sp++)->pdispVal = nullptr;
          NEXT();
        case Opcode::PushBoolean: handle_PushBoolean: PutBoolean(sp++, ins.a != 0); NEXT();
        case Opcode::PushMissing: handle_PushMissing:
          PutEmpty(sp);
          sp->vt = VT_ERROR;
          (sp++)->scode = DISP_E_PARAMNOTFOUND;
          NEXT();
        case Opcode::PushMe: handle_PushMe: {
          if (frame->me == nullptr) PROTECT(Result<void>(ErrorNumber::ObjectRequired));
          PutEmpty(sp);
          sp->vt = VT_DISPATCH;
          sp->pdispVal = frame->me;
          frame->me->AddRef();
          ++sp;
          NEXT();
        }
        case Opcode::Pop: handle_Pop: ReleaseSlot(--sp); NEXT();

        case Opcode::LoadLocal: handle_LoadLocal: {
          const VARIANT* value = Through(&locals[ins.a]);
          if (PushSimpleCopy(*value, sp)) {
            ++sp;
            NEXT();
          }
          VariantInit(sp);
          if (FAILED(VariantCopyInd(sp, value))) PROTECT(Result<void>(ErrorNumber::OutOfMemory));
          ++sp;
          NEXT();
        }
        case Opcode::LoadLocalRef: handle_LoadLocalRef: {
          VARIANT* local = &locals[ins.a];
          if (local->vt == (VT_BYREF | VT_VARIANT)) {
            PutReference(sp++, local->pvarVal);
          } else {
            PutReference(sp++, local);
          }
          NEXT();
        }
        case Opcode::StoreLocal: handle_StoreLocal: {
          VARIANT* target = &locals[ins.a];
          VARIANT* value = sp - 1;
          bool plain = !OwnsResources(target->vt) && (target->vt & VT_BYREF) == 0 &&
                       (value->vt & VT_BYREF) == 0 && value->vt != VT_DISPATCH && value->vt != VT_UNKNOWN;
          if (plain) {
            PutValue(target, *value);
            PutEmpty(--sp);
            NEXT();
          }
          SAVE_FRAME();
          PROTECT(Assign(target, value, AssignMode::Let));
          PutEmpty(--sp);
          NEXT();
        }
        case Opcode::SetLocal: handle_SetLocal:
        case Opcode::AssignLocal: handle_AssignLocal: {
          SAVE_FRAME();
          VARIANT* value = sp - 1;
          if (ins.op == Opcode::AssignLocal) {
            ReleaseSlot(&locals[ins.a]);
            PutValue(&locals[ins.a], *value);
            PutEmpty(--sp);
            NEXT();
          }
          PROTECT(Assign(&locals[ins.a], value, AssignMode::Set));
          PutEmpty(--sp);
          NEXT();
        }
        case Opcode::ClearLocal: handle_ClearLocal:
          SAVE_FRAME();
          ReleaseSlot(&locals[ins.a]);
          NEXT();
        case Opcode::LoadGlobal: handle_LoadGlobal:
        case Opcode::LoadGlobalRef: handle_LoadGlobalRef: {
          GlobalSlot* slot = links[ins.a];
          if (slot->kind == SlotKind::Variable) {
            VARIANT* storage = slot->storage;
            if (ins.op == Opcode::LoadGlobalRef) {
              PutReference(sp++, storage->vt == (VT_BYREF | VT_VARIANT) ? storage->pvarVal : storage);
              NEXT();
            }
            if (PushSimpleCopy(*Through(storage), sp)) {
              ++sp;
              NEXT();
            }
          } else if (slot->kind == SlotKind::NamedItem && slot->value.vt == VT_DISPATCH) {
            // A bound host object (Response, Request, ...): a new reference to it.
            PutValue(sp, slot->value);
            if (sp->pdispVal != nullptr) sp->pdispVal->AddRef();
            ++sp;
            NEXT();
          }
          SAVE_FRAME();
          Instruction as_variable{Opcode::LoadVar, VariableMode::Global, ins.count, ins.a, 0};
          bool pushed = PROTECT(PushVariableRef(as_variable, sp));
          if (!pushed) {
            // Not a variable: read by calling it without arguments.
            bool entered = PROTECT(CallVariable(as_variable, sp, 0, CallUse::Value));
            if (entered) {
              LOAD_FRAME();
              NEXT();
            }
          } else if (ins.op == Opcode::LoadGlobal && sp->vt == (VT_BYREF | VT_VARIANT)) {
            VARIANT* target = sp->pvarVal;
            VariantInit(sp);
            if (FAILED(VariantCopyInd(sp, target))) PROTECT(Result<void>(ErrorNumber::OutOfMemory));
          }
          ++sp;
          NEXT();
        }
        case Opcode::StoreGlobal: handle_StoreGlobal: {
          GlobalSlot* slot = links[ins.a];
          VARIANT* value = sp - 1;
          VARIANT* target = slot->storage;
          bool plain = slot->kind == SlotKind::Variable && !OwnsResources(target->vt) &&
                       (target->vt & VT_BYREF) == 0 && (value->vt & VT_BYREF) == 0 &&
                       value->vt != VT_DISPATCH && value->vt != VT_UNKNOWN;
          if (plain) {
            PutValue(target, *value);
            PutEmpty(--sp);
            NEXT();
          }
          SAVE_FRAME();
          PROTECT(StoreGlobal(slot, value, AssignMode::Let));
          PutEmpty(--sp);
          NEXT();
        }
        case Opcode::LoadVar: handle_LoadVar:
        case Opcode::LoadVarRef: handle_LoadVarRef: {
          if (VARIANT* direct = DirectVariable(ins, *frame)) {
            if (ins.op == Opcode::LoadVarRef) {
              PutReference(sp++, direct->vt == (VT_BYREF | VT_VARIANT) ? direct->pvarVal : direct);
              NEXT();
            }
            if (PushSimpleCopy(*Through(direct), sp)) {
              ++sp;
              NEXT();
            }
          }
          SAVE_FRAME();
          bool pushed = PROTECT(PushVariableRef(ins, sp));
          if (!pushed) {
            bool entered = PROTECT(CallVariable(ins, sp, 0, CallUse::Value));
            if (entered) {
              LOAD_FRAME();
              NEXT();
            }
          } else if (ins.op == Opcode::LoadVar && sp->vt == (VT_BYREF | VT_VARIANT)) {
            VARIANT* target = sp->pvarVal;
            VariantInit(sp);
            if (FAILED(VariantCopyInd(sp, target))) PROTECT(Result<void>(ErrorNumber::OutOfMemory));
          }
          ++sp;
          NEXT();
        }
        case Opcode::StoreVar: handle_StoreVar:
        case Opcode::SetVar: handle_SetVar:
          SAVE_FRAME();
          if (VARIANT* direct = DirectVariable(ins, *frame)) {
            PROTECT(Assign(direct, sp - 1, AssignModeOf(ins.op == Opcode::SetVar)));
            PutEmpty(--sp);
            NEXT();
          }
          PROTECT(StoreVariable(ins, sp - 1, AssignModeOf(ins.op == Opcode::SetVar)));
          PutEmpty(--sp);
          NEXT();
        case Opcode::AppendVar: handle_AppendVar:
          SAVE_FRAME();
          PROTECT(AppendVariable(ins, sp - 1));
          ReleaseSlot(--sp);
          NEXT();
        case Opcode::DimArray: handle_DimArray:
          SAVE_FRAME();
          PROTECT(DimArray(ins, sp - ins.count));
          sp -= ins.count;
          NEXT();
        case Opcode::Redim: handle_Redim:
        case Opcode::RedimPreserve: handle_RedimPreserve:
          SAVE_FRAME();
          PROTECT(RedimArray(ins, sp - ins.count,
                             ins.op == Opcode::RedimPreserve ? RedimMode::Preserve : RedimMode::Fresh));
          ClearRange(sp - ins.count, sp);
          sp -= ins.count;
          NEXT();
        case Opcode::Erase: handle_Erase:
          SAVE_FRAME();
          PROTECT(EraseArray(ins));
          NEXT();

        case Opcode::CallVar: handle_CallVar:
          if (ins.mode == VariableMode::Local && ins.count == 1) {
            // a(i) read from a local one-dimensional array: a copy of the element.
            if (VARIANT* element = LocalVectorElement(locals[ins.a], sp[-1])) {
              if (PushSimpleCopy(*element, sp - 1)) NEXT();
              if ((element->vt & VT_BYREF) == 0 && SUCCEEDED(VariantCopy(sp - 1, element))) {
                sp[-1].wReserved1 = 0;
                NEXT();
              }
            }
          }
          if (ins.mode == VariableMode::Global && links[ins.a]->kind == SlotKind::Procedure) {
            // A script Function called for its value: straight into its frame.
            GlobalSlot* slot = links[ins.a];
            SAVE_FRAME();
            PROTECT(EnterProcedure(slot->procedure, slot->unit, slot->unit->links.data(), nullptr, sp - ins.count,
                                   ins.count, FrameKind::Nested));
            LOAD_FRAME();
            NEXT();
          }
          [[fallthrough]];
        case Opcode::CallVarRef: handle_CallVarRef:
        case Opcode::CallVarParens: handle_CallVarParens:
        case Opcode::CallSub: handle_CallSub: {
          if (ins.op == Opcode::CallSub && ins.mode == VariableMode::Global &&
              links[ins.a]->kind == SlotKind::Procedure) {
            GlobalSlot* slot = links[ins.a];
            SAVE_FRAME();
            PROTECT(EnterProcedure(slot->procedure, slot->unit, slot->unit->links.data(), nullptr, sp - ins.count,
                                   ins.count, FrameKind::Nested));
            frames_.back().discard_result = true;
            LOAD_FRAME();
            NEXT();
          }
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
            NEXT();
          }
          sp = base + 1;
          if (ins.op == Opcode::CallSub) ReleaseSlot(--sp);
          NEXT();
        }
        case Opcode::StoreIndexed: handle_StoreIndexed:
          if (ins.mode == VariableMode::Local && ins.count == 1) {
            // a(i) = v on a local one-dimensional array: straight into the element.
            if (VARIANT* element = LocalVectorElement(locals[ins.a], sp[-2])) {
              VARIANT* value = sp - 1;
              bool plain = (value->vt & VT_BYREF) == 0 && value->vt != VT_DISPATCH && value->vt != VT_UNKNOWN;
              if (plain) {
                VARIANT old = *element;
                *element = *value;
                element->wReserved1 = 0;
                PutEmpty(value);
                sp -= 2;
                ReleaseSlot(sp);
                if (OwnsResources(old.vt)) VariantClear(&old);
                NEXT();
              }
            }
          }
          [[fallthrough]];
        case Opcode::SetIndexed: handle_SetIndexed: {
          SAVE_FRAME();
          VARIANT* base = sp - ins.count - 1;
          PROTECT(StoreIndexed(ins, base, AssignModeOf(ins.op == Opcode::SetIndexed)));
          ClearRange(base, sp);
          sp = base;
          NEXT();
        }
        case Opcode::StoreValueIndexed: handle_StoreValueIndexed:
        case Opcode::SetValueIndexed: handle_SetValueIndexed: {
          SAVE_FRAME();
          VARIANT* base = sp - ins.count - 2;
          PROTECT(StoreInto(*base, base + 1, ins.count, sp - 1, AssignModeOf(ins.op == Opcode::SetValueIndexed)));
          ClearRange(base, sp);
          sp = base;
          NEXT();
        }
        case Opcode::CallValue: handle_CallValue: {
          SAVE_FRAME();
          VARIANT* base = sp - ins.count - 1;
          Variant result = PROTECT(ins.count == 0 ? CallWithEmptyParens(*base) : CallValue(*base, base + 1, ins.count));
          ClearRange(base, sp);
          PutValue(base, result.Detach());
          sp = base + 1;
          continue;  // not NEXT(): the handler's objects must be destroyed
        }
        case Opcode::CallMember: handle_CallMember:
        case Opcode::StoreMember: handle_StoreMember:
        case Opcode::SetMember: handle_SetMember:
        case Opcode::CallClassMember: handle_CallClassMember:
        case Opcode::StoreClassMember: handle_StoreClassMember:
        case Opcode::SetClassMember: handle_SetClassMember: {
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
            NEXT();
          }
          sp = base + 1;
          if (is_put) ReleaseSlot(--sp);
          NEXT();
        }
        case Opcode::NewObject: handle_NewObject: {
          SAVE_FRAME();
          Variant instance = PROTECT(NewInstance(links[ins.a]));
          PutValue(sp++, instance.Detach());
          continue;  // not NEXT(): the handler's objects must be destroyed
        }

        case Opcode::Add: handle_Add:
        case Opcode::Subtract: handle_Subtract: {
          const VARIANT* left = Through(sp - 2);
          const VARIANT* right = Through(sp - 1);
          if (IsSmallInteger(left->vt) && IsSmallInteger(right->vt) &&
              AddIntegers(*left, *right, sp - 2, ins.op == Opcode::Add ? 1 : -1)) {
            ReleaseSlot(--sp);
            NEXT();
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
              NEXT();
            }
          }
          [[fallthrough]];
        }
        case Opcode::Multiply: handle_Multiply:
        case Opcode::Divide: handle_Divide:
        case Opcode::IntegerDivide: handle_IntegerDivide:
        case Opcode::Modulo: handle_Modulo:
        case Opcode::Power: handle_Power:
        case Opcode::Concatenate: handle_Concatenate:
        case Opcode::And: handle_And:
        case Opcode::Or: handle_Or:
        case Opcode::Xor: handle_Xor:
        case Opcode::Eqv: handle_Eqv:
        case Opcode::Imp: handle_Imp: {
          {
            const VARIANT* left = Through(sp - 2);
            const VARIANT* right = Through(sp - 1);
            if (IsSmallInteger(left->vt) && IsSmallInteger(right->vt) &&
                IntegerArithmetic(ins.op, *left, *right, sp - 2)) {
              ReleaseSlot(--sp);
              NEXT();
            }
          }
          SAVE_FRAME();
          if (ins.op == Opcode::Concatenate) PROTECT(CheckConcatenation(sp[-2], sp[-1]));
          Variant result = PROTECT(LogicalWithEmpty(ins.op, sp[-2], sp[-1]));
          ReleaseSlot(sp - 1);
          ReleaseSlot(sp - 2);
          PutValue(sp - 2, result.Detach());
          --sp;
          continue;  // not NEXT(): the handler's objects must be destroyed
        }
        case Opcode::ArithmeticInteger: handle_ArithmeticInteger: {
          constexpr Opcode kOperators[] = {Opcode::Add, Opcode::Subtract, Opcode::Multiply, Opcode::Modulo,
                                           Opcode::IntegerDivide};
          Opcode op = kOperators[ins.count];
          const VARIANT* left = Through(sp - 1);
          VARIANT right;
          PutInteger(&right, static_cast<int16_t>(ins.b));
          if (IsSmallInteger(left->vt)) {
            bool done = ins.count <= 1 ? AddIntegers(*left, right, sp - 1, ins.count == 0 ? 1 : -1)
                                       : IntegerArithmetic(op, *left, right, sp - 1);
            if (done) NEXT();
          }
          SAVE_FRAME();
          Variant result = PROTECT(Arithmetic(op, sp[-1], right));
          ReleaseSlot(sp - 1);
          PutValue(sp - 1, result.Detach());
          continue;  // not NEXT(): the handler's objects must be destroyed
        }
        case Opcode::CompareInteger: handle_CompareInteger: {
          Opcode op = static_cast<Opcode>(static_cast<int>(Opcode::Equal) + ins.a);
          const VARIANT* left = Through(sp - 1);
          bool holds;
          if (IsSmallInteger(left->vt)) {
            int32_t l = SmallIntegerOf(*left);
            Comparison order = l < ins.b ? Comparison::Less : (l > ins.b ? Comparison::Greater : Comparison::Equal);
            holds = ComparisonHolds(op, order);
          } else {
            SAVE_FRAME();
            VARIANT right;
            PutInteger(&right, static_cast<int16_t>(ins.b));
            Comparison comparison = PROTECT(CompareValues(sp[-1], right, kRightIsNumberLiteral));
            ReleaseSlot(sp - 1);
            if (comparison == Comparison::Null) {
              sp[-1].vt = VT_NULL;
              NEXT();
            }
            holds = ComparisonHolds(op, comparison);
          }
          PUSH_OR_BRANCH(holds, 1);
        }
        case Opcode::Equal: handle_Equal:
        case Opcode::NotEqual: handle_NotEqual:
        case Opcode::Less: handle_Less:
        case Opcode::Greater: handle_Greater:
        case Opcode::LessEqual: handle_LessEqual:
        case Opcode::GreaterEqual: handle_GreaterEqual: {
          const VARIANT* left = Through(sp - 2);
          const VARIANT* right = Through(sp - 1);
          if (IsSmallInteger(left->vt) && IsSmallInteger(right->vt)) {
            int32_t l = SmallIntegerOf(*left);
            int32_t r = SmallIntegerOf(*right);
            Comparison order = l < r ? Comparison::Less : (l > r ? Comparison::Greater : Comparison::Equal);
            bool holds = ComparisonHolds(ins.op, order);
            PUSH_OR_BRANCH(holds, 2);
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
          NEXT();
        }
        case Opcode::Is: handle_Is: {
          SAVE_FRAME();
          bool same = PROTECT(SameObject(sp[-2], sp[-1]));
          ReleaseSlot(sp - 1);
          ReleaseSlot(sp - 2);
          PutBoolean(sp - 2, same);
          --sp;
          NEXT();
        }
        case Opcode::Negate: handle_Negate:
        case Opcode::Not: handle_Not:
        case Opcode::ToValue: handle_ToValue: {
          SAVE_FRAME();
          const VARIANT* value = Through(sp - 1);
          if (ins.op == Opcode::Negate && value->vt == VT_I4 && value->lVal != INT32_MIN) {
            PutLong(sp - 1, -value->lVal);
            NEXT();
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
          continue;  // not NEXT(): the handler's objects must be destroyed
        }

        case Opcode::RequireObject: handle_RequireObject: {
          VARTYPE type = Through(sp - 1)->vt;
          if (type != VT_DISPATCH && type != VT_UNKNOWN) {
            SAVE_FRAME();
            PROTECT(Result<void>(ErrorNumber::ObjectRequired));
          }
          NEXT();
        }
        case Opcode::Jump: handle_Jump:
          if (ins.a <= pc - code - 1) {
            CHECK_INTERRUPT();
          }
          pc = code + ins.a;
          NEXT();
        case Opcode::JumpIfFalse: handle_JumpIfFalse:
        case Opcode::JumpIfTrue: handle_JumpIfTrue: {
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
              CHECK_INTERRUPT();
            }
            pc = code + ins.a;
          }
          NEXT();
        }
        case Opcode::ForPrep: handle_ForPrep: {
          SAVE_FRAME();
          bool run = PROTECT(ForStart(locals + ins.a, sp - 4));
          sp -= 4;
          if (!run) pc = code + ins.b;
          NEXT();
        }
        case Opcode::ForNext: handle_ForNext: {
          VARIANT* temps = locals + ins.a;
          // The usual loop: an Integer or Long counter, limit and step, stepped in place.
          if (temps[2].vt == (VT_BYREF | VT_VARIANT) && IsSmallInteger(temps[2].pvarVal->vt) &&
              IsSmallInteger(temps[1].vt) && IsSmallInteger(temps[0].vt)) {
            VARIANT* counter = temps[2].pvarVal;
            VARIANT next;
            if (AddIntegers(*counter, temps[1], &next, 1)) {
              *counter = next;
              int32_t at = SmallIntegerOf(next);
              int32_t end = SmallIntegerOf(temps[0]);
              bool again = SmallIntegerOf(temps[1]) >= 0 ? at <= end : at >= end;
              CHECK_INTERRUPT();
              if (again) pc = code + ins.b;
              NEXT();
            }
          }
          SAVE_FRAME();
          CHECK_INTERRUPT();
          bool again = PROTECT(ForStep(temps));
          if (again) pc = code + ins.b;
          NEXT();
        }
        case Opcode::AddLocalInteger: handle_AddLocalInteger: {
          // x = x + k (count 1: x - k) on a local: in place while x is an Integer or Long.
          VARIANT* local = &locals[ins.a];
          if (IsSmallInteger(local->vt)) {
            VARIANT amount;
            PutInteger(&amount, static_cast<int16_t>(ins.b));
            if (AddIntegers(*local, amount, local, ins.count == 0 ? 1 : -1)) NEXT();
          }
          SAVE_FRAME();
          VARIANT amount;
          PutInteger(&amount, static_cast<int16_t>(ins.b));
          Variant sum = PROTECT(Arithmetic(ins.count == 0 ? Opcode::Add : Opcode::Subtract, *local, amount));
          VARIANT slot = sum.Detach();
          Result<void> stored = Assign(local, &slot, AssignMode::Let);
          ReleaseSlot(&slot);
          PROTECT(std::move(stored));
          continue;  // not NEXT(): the handler's objects must be destroyed
        }
        case Opcode::ForEachPrep: handle_ForEachPrep: {
          SAVE_FRAME();
          PROTECT(ForEachStart(locals + ins.a, sp - 2));
          sp -= 2;
          frame->sp = sp;
          bool has_element = PROTECT(ForEachStep(locals + ins.a));
          if (!has_element) pc = code + ins.b;
          NEXT();
        }
        case Opcode::ForEachNext: handle_ForEachNext: {
          SAVE_FRAME();
          CHECK_INTERRUPT();
          bool has_element = PROTECT(ForEachStep(locals + ins.a));
          if (has_element) pc = code + ins.b;
          NEXT();
        }
        case Opcode::OnErrorResumeNext: handle_OnErrorResumeNext:
        case Opcode::OnErrorGoto0: handle_OnErrorGoto0:
          frame->resume_next = ins.op == Opcode::OnErrorResumeNext;
          err_->Clear();
          NEXT();
        case Opcode::Raise: handle_Raise:
          SAVE_FRAME();
          PROTECT(Result<void>(Error(static_cast<ErrorNumber>(ins.a))));
          NEXT();
        case Opcode::Return: handle_Return: {
          SAVE_FRAME();
          bool is_entry = frame->is_entry;
          bool discard = frame->discard_result;
          VARIANT* return_slot = frame->return_slot;
          if (is_entry) return LeaveProcedure();
          VARIANT result;
          LeaveProcedure(&result);
          LOAD_FRAME();
          if (discard) {
            ReleaseSlot(&result);
            sp = return_slot;
          } else {
            *return_slot = result;
            sp = return_slot + 1;
          }
          CHECK_INTERRUPT();
          NEXT();
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
#undef NEXT
#undef ins
}

}  // namespace vbscript
