#pragma once
// The run-time data of the interpreter: global names, loaded units, call frames and the value
// stack. Shared by the interpreter's source files and the objects it hands out (class
// instances, function references); not part of the engine's contract.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/com/com_ptr.h"
#include "platform/vbscript/builtins/builtins.h"
#include "platform/vbscript/program.h"

namespace vbscript {

struct LoadedUnit;
class ScriptInstance;

/// What a global name stands for.
enum class SlotKind : uint8_t {
  Undefined,       // nothing yet; looked up again whenever definitions change
  Variable,        // *storage is the value
  Constant,        // *storage is the value, read-only (Const, vb... constants, Err)
  Procedure,       // a script Sub, Function (procedure, unit)
  Class,           // a script class (class_info, unit)
  NamedItem,       // a host object, bound on first use into *storage
  Builtin,         // a function of the library (builtin)
  EngineFunction,  // Eval, Execute, ExecuteGlobal, GetRef, CreateObject, GetObject
  GlobalMember,    // a member of a host item added with global members (member_owner, member_id)
};

enum class EngineFunction : uint8_t { Eval, Execute, ExecuteGlobal, GetRef, CreateObject, GetObject };

/// One global name of a run. Slots never move (they are owned through unique_ptr), so
/// references to their storage stay valid for the whole run.
struct GlobalSlot {
  explicit GlobalSlot(std::u16string slot_name) : name(std::move(slot_name)) {}
  GlobalSlot(const GlobalSlot&) = delete;
  GlobalSlot& operator=(const GlobalSlot&) = delete;

  std::u16string name;
  SlotKind kind = SlotKind::Undefined;
  bool is_public = true;
  Variant value;
  /// The variable's storage: `value`, or a local of a procedure for names an Execute sees.
  VARIANT* storage = &value;
  const Procedure* procedure = nullptr;
  const ClassInfo* class_info = nullptr;
  LoadedUnit* unit = nullptr;
  const BuiltinEntry* builtin = nullptr;
  EngineFunction engine_function = EngineFunction::Eval;
  ComPtr<IDispatch> member_owner;
  DISPID member_id = DISPID_UNKNOWN;
  /// For variables: the unit whose Dim made the name a variable (identity only).
  const LoadedUnit* declared_by = nullptr;
  /// For Undefined slots: the definitions generation of the last unsuccessful lookup.
  uint64_t checked_generation = ~uint64_t{0};
};

/// A member-access site's memory of the last object it called: the member it found there.
inline constexpr std::ptrdiff_t kNoDirectInvoke = PTRDIFF_MIN;

struct MemberCache {
  IDispatch* object = nullptr;          // identity only, never dereferenced
  const void* object_type = nullptr;    // the object's vtable, so a new object at the same
                                        // address of another type misses
  DISPID dispid = DISPID_UNKNOWN;
  // Where the object's IDirectInvoke lies from its IDispatch (the same for every object of its
  // type); kNoDirectInvoke when it has none.
  std::ptrdiff_t direct_offset = 0;
  const ClassInfo* class_info = nullptr;  // script instances: cached by class
  int32_t member = -1;
};

/// A unit bound to one run: its global names linked to the run's slots.
struct LoadedUnit {
  std::shared_ptr<const CodeUnit> code;
  std::vector<GlobalSlot*> links;
  std::vector<MemberCache> member_caches;
};

/// What Execute'd code adds to a procedure's scope while the procedure runs: the names it
/// declared there, the procedure's locals (and Me's fields) as that code sees them, and the
/// link tables built for it.
struct ExecuteScope {
  std::vector<std::unique_ptr<GlobalSlot>> declared;
  std::vector<std::unique_ptr<GlobalSlot>> aliases;
  std::vector<std::unique_ptr<std::vector<GlobalSlot*>>> views;
};

/// One active procedure call.
struct Frame {
  const Procedure* procedure = nullptr;
  LoadedUnit* unit = nullptr;
  GlobalSlot* const* links = nullptr;  // the unit's links, or an Execute's view of this scope
  ScriptInstance* me = nullptr;        // a reference this frame holds, or null
  VARIANT* locals = nullptr;
  VARIANT* stack_base = nullptr;
  VARIANT* sp = nullptr;               // saved while this frame calls out
  const Instruction* pc = nullptr;     // saved while this frame calls out
  VARIANT* return_slot = nullptr;      // where the caller takes the result
  uint32_t chunk = 0;
  bool resume_next = false;
  bool is_entry = false;               // a C++ caller waits for this frame's result
  bool discard_result = false;         // the caller wants no result (statements, puts)
  /// Created by the first Execute or Eval that runs in this procedure's scope.
  std::unique_ptr<ExecuteScope> execute;
  /// For Execute'd code: the procedure frame whose scope it runs in.
  Frame* scope = nullptr;
};

/// The active calls, innermost last. Frames keep their addresses while they are active (a
/// deque), and their storage is reused after they return, so a call allocates nothing.
class FrameStack {
 public:
  Frame& back() { return *top_; }
  const Frame& back() const { return *top_; }
  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  /// A new innermost frame: no Execute scope, every other field as a previous frame left it
  /// (the caller sets them all).
  Frame& push() {
    if (count_ == frames_.size()) frames_.emplace_back();
    top_ = &frames_[count_++];
    return *top_;
  }
  /// Ends the innermost frame; what Execute added to its scope goes with it.
  void pop_back() {
    top_->execute.reset();
    --count_;
    top_ = count_ > 0 ? &frames_[count_ - 1] : nullptr;
  }
  void clear() {
    while (count_ > 0) pop_back();
    frames_.clear();
  }

 private:
  std::deque<Frame> frames_;
  size_t count_ = 0;
  Frame* top_ = nullptr;
};

/// How a name applied to arguments is wanted: its value, a reference (an argument that may be
/// written through), a statement (a plain value is then an error), or its value with empty
/// parentheses ("x()": an object's default member is called, a plain value is an error).
enum class CallUse : uint8_t { Value, Reference, Statement, Parens };

enum class RedimMode : uint8_t { Fresh, Preserve };
enum class FrameKind : uint8_t { Nested, Entry };
/// How a C++ caller's arguments reach a procedure: as given (references stay references), or
/// copied when not by reference.
enum class ArgumentPassing : uint8_t { AsGiven, Copied };

/// Marks a by-reference argument that points into an array element: the array is locked until
/// the argument slot is released (wReserved1 holds the mark, wReserved2/3 the lock's index).
inline constexpr uint16_t kElementReferenceMark = 0xE1E7;

}  // namespace vbscript
