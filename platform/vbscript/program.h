#pragma once
// Compiled VBScript: the contract between the compiler and the interpreter. A CodeUnit is the
// compiled form of one text (a ParseScriptText call, an Execute, an Eval). It is immutable once
// built, so one unit is shared by every engine cloned from the one that parsed it, on any
// thread; whatever a run changes (globals, caches) lives in the interpreter.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/vbscript/ast.h"
#include "platform/vbscript/lexer.h"

namespace vbscript {

enum class Opcode : uint8_t {
#define OPCODE(name, pops, pops_count, pushes, semantics) name,
#include "platform/vbscript/opcodes.def"
#undef OPCODE
};

/// The name of an opcode, for tests and dumps.
const char* OpcodeName(Opcode op);
/// How many stack slots an instruction takes and leaves.
struct StackEffect {
  int pops;
  int pushes;
};

/// Which variable the mode/a/b operands of a variable instruction name.
enum class VariableMode : uint8_t {
  Local,     // a: slot of the running frame
  Global,    // a: global name of the unit
  Field,     // a: field of Me
  Implicit,  // a: global name, b: local slot used when no such global exists
};

/// Operand `a` of a comparison: which operands were number literals in the text.
inline constexpr int32_t kLeftIsNumberLiteral = 1;
inline constexpr int32_t kRightIsNumberLiteral = 2;

/// Let assigns a value (an object gives its default value), Set an object reference.
enum class AssignMode : uint8_t { Let, Set };
constexpr AssignMode AssignModeOf(bool is_set) { return is_set ? AssignMode::Set : AssignMode::Let; }

struct Instruction {
  Opcode op;
  VariableMode mode = VariableMode::Local;
  uint16_t count = 0;
  int32_t a = 0;
  int32_t b = 0;
};

StackEffect EffectOf(const Instruction& instruction);

/// The most locals (parameters, variables and hidden temporaries) one procedure may have, and
/// the most arguments a call may pass; more is a compile error (1001).
inline constexpr size_t kMaxLocalSlots = 60000;
inline constexpr size_t kMaxCallArguments = 60000;

/// A fixed-size array a procedure creates on entry (Dim a(3, 4)).
struct ArrayDecl {
  std::u16string name;
  std::vector<int32_t> upper_bounds;
};

/// A loop header, instructions [first, last], whose failure Resume Next continues into the
/// loop's body, as at any other statement, but with the loop's temps [temps, temps + count)
/// emptied first: its Next then finds the loop not set up and leaves it with its own error.
struct LoopHeader {
  uint32_t first = 0;
  uint32_t last = 0;
  uint32_t temps = 0;
  uint32_t count = 0;
};

struct Procedure {
  std::u16string name;
  ProcedureKind kind = ProcedureKind::Sub;
  bool is_global_code = false;  // a unit's top-level statements
  bool is_public = true;
  uint32_t parameter_count = 0;
  std::vector<bool> by_value;   // per parameter
  bool any_by_value = false;    // some parameter is ByVal
  /// Slots: parameters first, then the result, named locals and hidden temporaries.
  uint32_t result_slot = 0;
  uint32_t local_count = 0;     // every slot, parameters included
  uint32_t max_stack = 0;       // the deepest the operand stack gets
  std::vector<std::u16string> local_names;  // per slot (empty for temporaries)
  std::vector<bool> implicit_locals;        // per slot: an undeclared name's fallback local
  std::vector<Instruction> code;
  std::vector<SourcePosition> positions;    // per instruction: its statement's start
  std::vector<uint32_t> statement_starts;   // ascending instruction indices
  std::vector<LoopHeader> loop_headers;
};

/// A member of a script class as callers see it: a field, or the procedures of one name.
struct ClassMember {
  std::u16string name;
  bool is_public = true;
  int32_t field = -1;         // index into fields, or -1
  int32_t method = -1;        // Sub or Function: index into procedures, or -1
  int32_t property_get = -1;
  int32_t property_let = -1;
  int32_t property_set = -1;
};

struct FieldInfo {
  std::u16string name;
  bool is_array = false;
  std::vector<int32_t> upper_bounds;  // a fixed-size array when not empty
};

struct ClassInfo {
  std::u16string name;
  std::vector<FieldInfo> fields;
  std::vector<ClassMember> members;  // fields first, in field order
  std::vector<std::unique_ptr<Procedure>> procedures;
  int32_t default_member = -1;
  int32_t initialize = -1;  // procedure index of Class_Initialize
  int32_t terminate = -1;   // procedure index of Class_Terminate

  /// The member of this name (ignoring case), or -1.
  int32_t FindMember(std::u16string_view member_name) const;
};

/// What a unit defines at global level, bound to the runtime's global names when it loads.
struct GlobalDeclaration {
  enum class Kind : uint8_t { Variable, Constant, Procedure, Class };
  Kind kind;
  uint32_t name;   // index into CodeUnit::global_names
  int32_t index;   // the constant, procedure or class
  bool is_public = true;
};

struct CodeUnit {
  std::u16string source;       // the text, for error line texts
  uint32_t source_context = 0;
  uint32_t starting_line = 0;
  bool option_explicit = false;
  bool is_expression = false;  // the global code leaves the expression's value as its result

  std::vector<Variant> constants;
  std::vector<std::u16string> global_names;  // every global name the code refers to
  std::vector<std::u16string> member_names;  // per member-access site
  std::vector<std::unique_ptr<Procedure>> procedures;
  std::vector<std::unique_ptr<ClassInfo>> classes;
  std::vector<GlobalDeclaration> declarations;
  Procedure global_code;

  /// The text of a 1-based line of the source, without its line end.
  std::u16string_view LineText(uint32_t line) const;
};

}  // namespace vbscript
