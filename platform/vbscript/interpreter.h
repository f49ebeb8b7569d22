#pragma once
// The VBScript interpreter: the run-time state of one engine (its global names, the units it
// loaded, the call frames and value stack) and the machine that executes compiled units.
// Script-to-script calls do not recurse on the C++ stack; only calls that come back through
// IDispatch (class instances or GetRef objects called by other objects, Class_Initialize,
// Class_Terminate, Execute, Eval) start a nested run, and those stop with "Out of stack space"
// before the thread's stack runs low.
//
// One thread runs an interpreter at a time. Interrupt() may be called from any thread.

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "platform/com/com_ptr.h"
#include "platform/com/type_library.h"
#include "platform/vbscript/interpreter_internal.h"
#include "platform/vbscript/parser.h"
#include "platform/vbscript/program.h"

class IDirectInvoke;

namespace vbscript {

class ErrObject;

/// The deepest script call chain; deeper is OutOfStackSpace (28).
inline constexpr size_t kMaxCallDepth = 5000;
/// The most value-stack slots all active calls may use together (16 bytes each).
inline constexpr size_t kMaxStackSlots = size_t{1} << 22;

/// Source of errors the engine itself raises, and of compile errors: the texts the language
/// reference gives (scripts compare Err.Source with them).
inline constexpr std::u16string_view kRuntimeErrorSource = u"Microsoft VBScript runtime error";
inline constexpr std::u16string_view kCompileErrorSource = u"Microsoft VBScript compilation error";

/// A run-time or compile error as the engine reports it.
struct ScriptError {
  HRESULT hresult = S_OK;     // EXCEPINFO.scode: 0x800A0000 + n, or the raising object's code
  int32_t number = 0;         // what Err.Number shows
  std::u16string description;
  std::u16string source;
  std::u16string help_file;   // what Err.HelpFile and Err.HelpContext show
  int32_t help_context = 0;
  std::shared_ptr<const CodeUnit> unit;  // the unit whose statement failed, when known
  SourcePosition position;    // 1-based line, 0-based column within the unit's text
  bool has_position = false;
};

enum class RunOutcome {
  Completed,
  Stopped,  // SCRIPT_E_STOP_WITHOUT_ERROR or an interrupt without exception: nothing to report
  Failed,   // last_error() says what
};

/// What the interpreter asks of the engine that owns it.
class InterpreterHost {
 public:
  /// The object behind a named item (the site's GetItemInfo), asked on first use.
  virtual Result<ComPtr<IDispatch>> NamedItemObject(std::u16string_view name) = 0;

 protected:
  ~InterpreterHost() = default;
};

class Interpreter : public std::enable_shared_from_this<Interpreter> {
 public:
  explicit Interpreter(InterpreterHost* host);
  ~Interpreter();
  Interpreter(const Interpreter&) = delete;
  Interpreter& operator=(const Interpreter&) = delete;

  /// A host object name; with `global_members` its members are global names too.
  void AddNamedItem(std::u16string_view name, bool global_members);
  /// The constants of a type library become read-only global names.
  void AddTypeLibrary(const TypeLibrary* library);

  /// Binds a unit's declarations (variables, constants, procedures, classes) to global names.
  LoadedUnit* Load(std::shared_ptr<const CodeUnit> code);
  /// Runs a loaded unit's global code; an expression unit leaves its value in `result`. A unit
  /// that defines no procedure or class is released afterwards (the pointer is then invalid).
  RunOutcome Run(LoadedUnit* unit, Variant* result);
  /// Calls a global procedure for the host with arguments first first (by-reference
  /// arguments are written back).
  RunOutcome CallProcedure(const GlobalSlot& slot, std::span<const VARIANT> arguments, Variant* result);

  /// A global name the scripts defined (variable, constant or procedure), or null.
  GlobalSlot* FindScriptGlobal(std::u16string_view name);
  /// Assigns a global variable for the host (Let or Set rules); IllegalAssignment (501) for
  /// anything but a variable.
  Result<void> SetGlobal(GlobalSlot* slot, const VARIANT& value, AssignMode mode);
  /// The index of a global slot, or -1; and the slot at an index (null when out of range).
  int32_t GlobalIndex(const GlobalSlot* slot) const;
  GlobalSlot* GlobalAt(size_t index) const;

  /// Calls on behalf of objects handed out (class instances, GetRef references).
  HRESULT InvokeInstance(ScriptInstance* instance, DISPID member, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception);
  HRESULT InvokeProcedure(const Procedure* procedure, LoadedUnit* unit, DISPPARAMS* params,
                          VARIANT* result, EXCEPINFO* exception);
  /// Runs Class_Terminate of an instance whose last reference went away.
  void TerminateInstance(ScriptInstance* instance);

  /// Ends the run's state: every global is released (Class_Terminate runs for instances that
  /// die), loaded units are dropped, objects handed out stop working.
  void Reset();
  /// Ends a running script from any thread: without `exception` as a stop, with it as that
  /// run-time error.
  void Interrupt(const EXCEPINFO* exception);

  /// Ends runs as a stop once they have taken `steps` loop turns, calls and returns together
  /// (0: no limit). For fuzzing and other untrusted text run without a host to interrupt it.
  void SetStepLimit(uint64_t steps) {
    step_limit_ = steps;
    steps_taken_ = 0;
  }

  const ScriptError& last_error() const { return last_error_; }
  uint64_t generation() const { return generation_; }

 private:
  // Global names (interpreter_globals.cpp)
  GlobalSlot* SlotFor(std::u16string_view name);
  GlobalSlot* NewSlot(std::u16string_view name);
  void Define(GlobalSlot* slot, SlotKind kind);
  Result<void> ResolveSlot(GlobalSlot* slot);
  bool ResolveHostName(GlobalSlot* slot);
  bool ResolveLibraryName(GlobalSlot* slot);
  Result<void> BindNamedItem(GlobalSlot* slot);
  void DeclareUnit(LoadedUnit* unit, Frame* scope);
  LoadedUnit* LinkUnit(std::shared_ptr<const CodeUnit> code, Frame* scope);
  GlobalSlot* const* LinkScopeView(LoadedUnit* unit, Frame& scope);
  GlobalSlot* LocalAlias(Frame& scope, std::u16string_view name);
  Result<void> CheckConstants(const CodeUnit& code, Frame* scope);
  /// A procedure an Execute defined in the scope of `frame`'s procedure, or null.
  GlobalSlot* ExecutedProcedure(const Frame& frame, std::u16string_view name) const;
  void DropIfSpent(LoadedUnit* unit);

  // The machine (interpreter.cpp)
  Result<Variant> Execute(size_t entry_depth);
  Result<void> EnterProcedure(const Procedure* procedure, LoadedUnit* unit, GlobalSlot* const* links,
                              ScriptInstance* me, VARIANT* arguments, uint32_t count, FrameKind kind);
  Variant LeaveProcedure();
  void LeaveProcedure(VARIANT* result);
  bool HandleError(Error error, size_t entry_depth);
  void CaptureError(const Error& error);
  void UnwindFrame();
  uint32_t NextStatement(const Frame& frame, size_t failed_instruction) const;
  /// A stop requested from another thread, or a step limit to count against; CheckInterruptSlow
  /// then gives the error that unwinds.
  bool InterruptPending() const {
    return step_limit_ != 0 || interrupt_requested_.load(std::memory_order_relaxed);
  }
  Result<void> CheckInterruptSlow();
  Result<Variant> RunEntry(const Procedure* procedure, LoadedUnit* unit, GlobalSlot* const* links,
                           ScriptInstance* me, std::span<const VARIANT> arguments, ArgumentPassing passing,
                           Frame* scope);
  RunOutcome Finish(Result<Variant> outcome, Variant* result);
  HRESULT CompleteInvoke(Result<Variant> outcome, VARIANT* result, EXCEPINFO* exception);
  /// Releases what a stack slot or local holds; an element reference gives back its array lock.
  [[gnu::always_inline]] void ReleaseSlot(VARIANT* slot) {
    // Numbers, Empty, Null and plain references own nothing (OwnsResources, inlined here).
    VARTYPE type = slot->vt;
    bool owns = (type & VT_BYREF) == 0 &&
                (type == VT_BSTR || type == VT_DISPATCH || type == VT_UNKNOWN || (type & VT_ARRAY) != 0);
    if (slot->wReserved1 != kElementReferenceMark && !owns) {
      PutEmptySlot(slot);
      return;
    }
    ReleaseOwningSlot(slot);
  }
  static void PutEmptySlot(VARIANT* slot) {
    slot->vt = VT_EMPTY;
    slot->wReserved1 = 0;
  }
  void ReleaseOwningSlot(VARIANT* slot);
  /// Clears slots from the top down: temporaries (which may lock arrays) go before variables.
  [[gnu::always_inline]] void ClearRange(VARIANT* from, VARIANT* to) {
    for (VARIANT* slot = to; slot-- > from;) ReleaseSlot(slot);
  }
  VARIANT* DirectVariable(const Instruction& instruction, const Frame& frame) const;
  /// Whether an undeclared name of a procedure may be its local: always without Option
  /// Explicit, else only once ReDim declared it (its slot then holds an array).
  static bool ImplicitLocalAllowed(const Instruction& instruction, const Frame& frame) {
    return !frame.unit->code->option_explicit || frame.locals[instruction.b].vt != VT_EMPTY;
  }
  Result<VARIANT*> ReserveFrame(VARIANT* base, uint32_t count, uint32_t needed, uint32_t* chunk);
  int32_t LockElement(SAFEARRAY* array);
  void UnlockElement(int32_t index);

  // Variables (interpreter_variables.cpp)
  /// How a variable's storage is wanted: read (an undefined name has none), written (an
  /// undefined name is declared unless Option Explicit), or declared (Dim, ReDim).
  enum class Access : uint8_t { Read, Write, Declare };
  Result<VARIANT*> VariableAddress(const Instruction& instruction, Access access);
  Result<VARIANT*> GlobalAddress(GlobalSlot* slot, Access access);
  /// Pushes a reference to the variable an instruction names (count 1: declaring it), or the
  /// value of a read-only name; false when the name must be called to be read.
  Result<bool> PushVariableRef(const Instruction& instruction, VARIANT* slot);
  Result<void> StoreVariable(const Instruction& instruction, VARIANT* value, AssignMode mode);
  Result<void> StoreGlobal(GlobalSlot* slot, VARIANT* value, AssignMode mode);
  Result<void> Assign(VARIANT* target, VARIANT* value, AssignMode mode);
  Result<void> AppendVariable(const Instruction& instruction, VARIANT* value);
  Result<void> DimArray(const Instruction& instruction, VARIANT* bounds);
  Result<void> RedimArray(const Instruction& instruction, VARIANT* bounds, RedimMode mode);
  Result<void> EraseArray(const Instruction& instruction);
  Result<VARIANT> ElementReference(const VARIANT& array_variable, const VARIANT* indices, uint32_t count);
  Result<bool> ForStart(VARIANT* temps, VARIANT* operands);
  Result<bool> ForStep(VARIANT* temps);

  // Calls (interpreter_calls.cpp)
  Result<bool> CallVariable(const Instruction& instruction, VARIANT* arguments, uint32_t count, CallUse use);
  Result<bool> CallSlot(GlobalSlot* slot, VARIANT* arguments, uint32_t count, CallUse use);
  Result<bool> ApplyValue(VARIANT* storage, VARIANT* arguments, uint32_t count, CallUse use,
                          std::u16string_view name);
  Result<Variant> CallValue(const VARIANT& callee, VARIANT* arguments, uint32_t count);
  Result<Variant> CallWithEmptyParens(const VARIANT& callee);
  Result<void> StoreIndexed(const Instruction& instruction, VARIANT* arguments, AssignMode mode);
  Result<void> StoreInto(const VARIANT& container, VARIANT* arguments, uint32_t count, VARIANT* value,
                         AssignMode mode);
  Result<void> PrepareAssignedValue(VARIANT* value, AssignMode mode);
  Result<void> ValueInPlace(VARIANT* slot);
  Result<bool> CallMember(const Instruction& instruction, VARIANT* base, WORD flags);
  Result<int32_t> FindInstanceMember(ScriptInstance* instance, int32_t site);
  Result<bool> CallInstanceMember(ScriptInstance* instance, int32_t member, VARIANT* arguments,
                                  uint32_t count, WORD flags);
  /// `direct`, when the object offers it, takes the call without DISPPARAMS.
  Result<Variant> InvokeObject(IDispatch* object, DISPID dispid, WORD flags, VARIANT* arguments,
                               uint32_t count, IDirectInvoke* direct = nullptr);
  Result<Variant> ApplyToMemberValue(IDispatch* object, DISPID dispid, WORD flags, VARIANT* arguments,
                                     uint32_t count);
  Result<Variant> NewInstance(GlobalSlot* slot);
  Result<bool> CallBuiltin(const BuiltinEntry* entry, VARIANT* arguments, uint32_t count);
  Result<Variant> CallEngineFunction(EngineFunction function, VARIANT* arguments, uint32_t count);
  Result<Variant> EvaluateText(const VARIANT& text, EngineFunction function);
  Result<Variant> MakeFunctionReference(const VARIANT& name);
  Result<void> ForEachStart(VARIANT* temps, VARIANT* operands);
  Result<bool> ForEachStep(VARIANT* temps);
  Result<Variant> AccessField(ScriptInstance* instance, const ClassMember& entry, WORD flags,
                              std::vector<VARIANT>& arguments);

  InterpreterHost* host_;
  ComPtr<ErrObject> err_;
  BuiltinState builtin_state_;

  // Global names: slots in definition order, found by upper-cased name.
  std::vector<std::unique_ptr<GlobalSlot>> globals_;
  std::unordered_map<std::u16string, GlobalSlot*> global_index_;
  std::vector<std::unique_ptr<LoadedUnit>> units_;
  struct NamedItem {
    std::u16string name;
    bool global_members;
  };
  std::vector<NamedItem> named_items_;
  std::vector<const TypeLibrary*> libraries_;
  uint64_t definitions_ = 0;   // bumped whenever a global name gains a definition
  uint64_t generation_ = 1;    // bumped by Reset
  bool closing_ = false;

  // The machine
  FrameStack frames_;
  std::vector<std::unique_ptr<VARIANT[]>> chunks_;
  std::vector<uint32_t> chunk_sizes_;
  size_t stack_slots_ = 0;
  VARIANT* stack_top_ = nullptr;   // first free slot above the running frame's region
  uint32_t stack_chunk_ = 0;       // chunk of stack_top_
  std::vector<SAFEARRAY*> element_locks_;

  // Errors
  ScriptError last_error_;
  ScriptError pending_;
  bool pending_valid_ = false;
  std::atomic<bool> interrupt_requested_{false};
  uint64_t step_limit_ = 0;
  uint64_t steps_taken_ = 0;
  std::mutex interrupt_mutex_;
  std::optional<ScriptError> interrupt_error_;
};

}  // namespace vbscript
