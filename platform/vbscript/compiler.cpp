#include "platform/vbscript/compiler.h"

#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/automation/arithmetic.h"
#include "platform/automation/text_case.h"
#include "platform/vbscript/stack_guard.h"

namespace vbscript {
namespace {

// Room kept above the computed stack depth: a call without arguments leaves its result one
// slot above the operands, and a margin costs nothing.
constexpr uint32_t kStackMargin = 4;

std::u16string NameKey(std::u16string_view name) { return ToUpper(name); }

// The unit being built: its name tables and constants, shared by the procedures compiled
// into it.
class UnitBuilder {
 public:
  UnitBuilder(CodeUnit& unit, CompileDiagnostic& diagnostic) : unit_(unit), diagnostic_(diagnostic) {}

  CodeUnit& unit() { return unit_; }
  Error Fail(ErrorNumber number, SourcePosition position) {
    return ReportCompileError(number, position, diagnostic_);
  }

  uint32_t GlobalName(std::u16string_view name) {
    auto [entry, added] = global_index_.try_emplace(NameKey(name), 0);
    if (added) {
      entry->second = static_cast<uint32_t>(unit_.global_names.size());
      unit_.global_names.emplace_back(name);
    }
    return entry->second;
  }
  uint32_t MemberSite(std::u16string_view name) {
    unit_.member_names.emplace_back(name);
    return static_cast<uint32_t>(unit_.member_names.size() - 1);
  }
  uint32_t AddConstant(const Variant& value) {
    unit_.constants.push_back(value);
    return static_cast<uint32_t>(unit_.constants.size() - 1);
  }
  /// A global declaration of this unit; a second one of the same name is NameRedefined, except
  /// that a procedure may be defined again (the last definition is the one that counts).
  Result<void> Declare(GlobalDeclaration::Kind kind, std::u16string_view name, int32_t index,
                       bool is_public, SourcePosition position) {
    auto [entry, added] = declared_.try_emplace(NameKey(name), kind);
    bool redefined_procedure = entry->second == GlobalDeclaration::Kind::Procedure &&
                               kind == GlobalDeclaration::Kind::Procedure;
    if (!added && !redefined_procedure) return Fail(ErrorNumber::NameRedefined, position);
    unit_.declarations.push_back({kind, GlobalName(name), index, is_public});
    return {};
  }
  bool IsDeclaredGlobal(std::u16string_view name) const { return declared_.count(NameKey(name)) != 0; }

 private:
  CodeUnit& unit_;
  CompileDiagnostic& diagnostic_;
  std::unordered_map<std::u16string, uint32_t> global_index_;
  std::unordered_map<std::u16string, GlobalDeclaration::Kind> declared_;
};

// Visits every statement of a block and of the blocks nested in it (procedure bodies aside).
template <class Visit>
Result<void> WalkStatements(const Block& block, UnitBuilder& unit, Visit&& visit) {
  for (const Stmt* statement : block) {
    if (StackIsLow()) return unit.Fail(ErrorNumber::OutOfStackSpace, statement->position);
    TRY(visit(statement));
    for (const Branch& branch : statement->branches) TRY(WalkStatements(branch.body, unit, visit));
    for (const CaseClause& clause : statement->cases) TRY(WalkStatements(clause.body, unit, visit));
    TRY(WalkStatements(statement->else_block, unit, visit));
    TRY(WalkStatements(statement->body, unit, visit));
  }
  return {};
}

// The value of a Const declaration: a literal, possibly signed.
Result<Variant> FoldConstant(const Expr* expression, UnitBuilder& unit) {
  switch (expression->kind) {
    case ExprKind::Literal: return expression->value;
    case ExprKind::Nothing: return Variant::FromDispatch(nullptr);
    case ExprKind::Unary: {
      Variant operand = TRY(FoldConstant(expression->operand, unit));
      if (expression->unary_operator == UnaryOperator::Plus) return operand;
      Result<Variant> negated = Negate(operand);
      if (!negated.ok()) return unit.Fail(ErrorNumber::ExpectedLiteralConstant, expression->position);
      return std::move(negated).value();
    }
    default: return unit.Fail(ErrorNumber::ExpectedLiteralConstant, expression->position);
  }
}

Opcode BinaryOpcode(BinaryOperator op) {
  switch (op) {
    case BinaryOperator::Imp: return Opcode::Imp;
    case BinaryOperator::Eqv: return Opcode::Eqv;
    case BinaryOperator::Xor: return Opcode::Xor;
    case BinaryOperator::Or: return Opcode::Or;
    case BinaryOperator::And: return Opcode::And;
    case BinaryOperator::Equal: return Opcode::Equal;
    case BinaryOperator::NotEqual: return Opcode::NotEqual;
    case BinaryOperator::Less: return Opcode::Less;
    case BinaryOperator::Greater: return Opcode::Greater;
    case BinaryOperator::LessEqual: return Opcode::LessEqual;
    case BinaryOperator::GreaterEqual: return Opcode::GreaterEqual;
    case BinaryOperator::Is: return Opcode::Is;
    case BinaryOperator::Concatenate: return Opcode::Concatenate;
    case BinaryOperator::Add: return Opcode::Add;
    case BinaryOperator::Subtract: return Opcode::Subtract;
    case BinaryOperator::Modulo: return Opcode::Modulo;
    case BinaryOperator::IntegerDivide: return Opcode::IntegerDivide;
    case BinaryOperator::Multiply: return Opcode::Multiply;
    case BinaryOperator::Divide: return Opcode::Divide;
    case BinaryOperator::Power: return Opcode::Power;
  }
  return Opcode::Add;
}

bool IsOrderingComparison(Opcode op) {
  return op == Opcode::Equal || op == Opcode::NotEqual || op == Opcode::Less || op == Opcode::Greater ||
         op == Opcode::LessEqual || op == Opcode::GreaterEqual;
}

// A number written in the text, signed or parenthesised.
bool IsNumberLiteral(const Expr* expression) {
  while (expression->kind == ExprKind::Paren ||
         (expression->kind == ExprKind::Unary && expression->unary_operator != UnaryOperator::Not)) {
    expression = expression->operand;
  }
  if (expression->kind != ExprKind::Literal) return false;
  VARTYPE type = expression->value.vt;
  return type == VT_I2 || type == VT_I4 || type == VT_R8;
}

// How an expression's value is wanted on the stack.
enum class Use : uint8_t {
  Value,     // an owned copy
  Operand,   // read at once by an operator: a reference to a variable will do
  Argument,  // passed to a procedure: variables and array elements by reference
};

// What a name stands for where it is used.
struct NameRef {
  enum class Kind : uint8_t { Local, Global, Field, Implicit, ClassMember, Constant };
  NameRef(Kind k, int32_t first = 0, int32_t second = 0) : kind(k), a(first), b(second) {}

  Kind kind;
  int32_t a;
  int32_t b;
  Variant constant;

  bool IsVariable() const { return kind != Kind::ClassMember && kind != Kind::Constant; }
  VariableMode Mode() const {
    switch (kind) {
      case Kind::Local: return VariableMode::Local;
      case Kind::Field: return VariableMode::Field;
      case Kind::Implicit: return VariableMode::Implicit;
      default: return VariableMode::Global;
    }
  }
};

// Exit For leaves the innermost For loop and Exit Do the innermost Do loop, crossing loops of
// other kinds; While ... Wend is left by neither.
enum class LoopType : uint8_t { For, Do, While };

struct LoopContext {
  LoopType type;
  size_t cleanup_depth;        // temporaries above this are cleared when leaving by Exit
  std::vector<size_t> exits;   // jumps to patch to the loop's end
};

// Compiles one procedure (or a unit's global code), as Lua's FuncState: it owns the code being
// emitted, the slot layout, the stack depth and the open loops.
class FunctionCompiler {
 public:
  FunctionCompiler(UnitBuilder& unit, Procedure& procedure, const ClassInfo* class_info)
      : unit_(unit), procedure_(procedure), class_(class_info) {}

  Result<void> CompileProcedure(const ProcedureDecl& decl);
  Result<void> CompileGlobalCode(const ParsedScript& script);

 private:
  // Layout
  Result<void> DeclareParameters(const ProcedureDecl& decl);
  Result<void> DeclareLocals(const Block& body);
  Result<void> DeclareLocal(const std::u16string& name, SourcePosition position);
  void EmitArrayPrologue(const std::vector<std::pair<NameRef, const VariableDecl*>>& arrays);
  void EmitGlobalArrays(const Stmt* statement);
  uint32_t AllocateTemps(uint32_t count);
  void FreeTemps(uint32_t count) { temp_count_ -= count; }
  Result<void> Finish();

  // Emission
  size_t Emit(Opcode op, int32_t a = 0, int32_t b = 0, uint16_t count = 0,
              VariableMode mode = VariableMode::Local);
  size_t EmitTemp(Opcode op, uint32_t temp, int32_t b = 0);
  size_t Here() const { return procedure_.code.size(); }
  void PatchTo(size_t instruction, size_t target) { procedure_.code[instruction].b = static_cast<int32_t>(target); }
  void PatchJump(size_t instruction, size_t target) { procedure_.code[instruction].a = static_cast<int32_t>(target); }
  void MarkStatementStart();
  void AddLoopHeader(size_t first, size_t last, uint32_t temps, uint32_t count) {
    procedure_.loop_headers.push_back({static_cast<uint32_t>(first), static_cast<uint32_t>(last), temps, count});
  }
  Result<uint16_t> ArgumentCount(size_t count, SourcePosition position);

  // Names
  NameRef Resolve(std::u16string_view name);
  NameRef ResolveCallee(std::u16string_view name);
  NameRef ResolveOutside(std::u16string_view name);

  // Statements
  Result<void> CompileBlock(const Block& block);
  Result<void> CompileStatement(const Stmt* statement);
  Result<void> CompileAssign(const Stmt* statement);
  Result<void> CompileNameAssign(const Stmt* statement, const NameRef& ref);
  Result<void> CompileIndexedAssign(const Stmt* statement);
  bool IsSelfAppend(const Stmt* statement) const;
  std::optional<std::pair<int16_t, bool>> SelfIncrement(const Stmt* statement) const;
  Result<void> CompileAppend(const Stmt* statement, const NameRef& ref);
  Result<void> CompileCallStatement(const Stmt* statement);
  Result<void> CompileRedim(const Stmt* statement);
  Result<void> CompileErase(const Stmt* statement);
  Result<void> CompileIf(const Stmt* statement);
  Result<void> CompileSelect(const Stmt* statement);
  Result<void> CompileFor(const Stmt* statement);
  Result<void> CompileForEach(const Stmt* statement);
  Result<void> CompileDoLoop(const Stmt* statement);
  Result<void> CompileLoopBody(const Block& body, LoopContext& loop);
  Result<void> CompileExit(const Stmt* statement);
  Result<void> CompileWith(const Stmt* statement);
  Result<NameRef> LoopVariable(const Stmt* statement);
  void EmitAddress(const NameRef& ref);
  void PatchLoopExits(LoopContext& loop, size_t target);

  // Expressions
  Result<void> EmitExpression(const Expr* expression, Use use);
  Result<void> EmitBinary(const Expr* expression);
  bool EmitWithIntegerOperand(Opcode op, const Expr* right);
  Result<void> EmitUnary(const Expr* expression, Use use);
  Result<void> EmitCall(const Expr* call, Use use);
  Result<void> EmitArguments(const std::vector<Expr*>& arguments);
  Result<void> EmitObject(const Expr* object, SourcePosition position);
  void EmitConstant(const Variant& value, Use use);
  void EmitLoad(const NameRef& ref, Use use);
  void EmitStore(const NameRef& ref, AssignMode mode);

  UnitBuilder& unit_;
  Procedure& procedure_;
  const ClassInfo* class_;
  std::unordered_map<std::u16string, uint32_t> locals_;
  std::unordered_map<std::u16string, Variant> constants_;
  std::unordered_map<std::u16string, uint32_t> implicit_;  // undeclared names: their local slots
  std::u16string result_name_;  // the Function / Property Get name that is its result
  uint32_t named_count_ = 0;    // parameters, result and named locals
  uint32_t temp_count_ = 0;
  uint32_t max_temps_ = 0;
  std::vector<size_t> temp_fixups_;  // instructions whose `a` is a temporary's index
  int depth_ = 0;
  int max_depth_ = 0;
  std::vector<LoopContext> loops_;
  std::vector<uint32_t> cleanups_;   // temporaries to clear when jumping out of their block
  std::vector<uint32_t> with_subjects_;
  std::vector<size_t> return_jumps_;
  SourcePosition position_;
};

size_t FunctionCompiler::Emit(Opcode op, int32_t a, int32_t b, uint16_t count, VariableMode mode) {
  Instruction instruction{op, mode, count, a, b};
  StackEffect effect = EffectOf(instruction);
  depth_ += effect.pushes - effect.pops;
  if (depth_ > max_depth_) max_depth_ = depth_;
  procedure_.code.push_back(instruction);
  procedure_.positions.push_back(position_);
  return procedure_.code.size() - 1;
}

size_t FunctionCompiler::EmitTemp(Opcode op, uint32_t temp, int32_t b) {
  size_t at = Emit(op, static_cast<int32_t>(temp), b);
  temp_fixups_.push_back(at);
  return at;
}

void FunctionCompiler::MarkStatementStart() {
  auto here = static_cast<uint32_t>(Here());
  std::vector<uint32_t>& starts = procedure_.statement_starts;
  if (starts.empty() || starts.back() != here) starts.push_back(here);
}

Result<uint16_t> FunctionCompiler::ArgumentCount(size_t count, SourcePosition position) {
  if (count > kMaxCallArguments) return unit_.Fail(ErrorNumber::SyntaxOutOfMemory, position);
  return static_cast<uint16_t>(count);
}

uint32_t FunctionCompiler::AllocateTemps(uint32_t count) {
  uint32_t first = temp_count_;
  temp_count_ += count;
  if (temp_count_ > max_temps_) max_temps_ = temp_count_;
  return first;
}

Result<void> FunctionCompiler::DeclareLocal(const std::u16string& name, SourcePosition position) {
  std::u16string key = NameKey(name);
  if (locals_.count(key) != 0 || constants_.count(key) != 0) {
    return unit_.Fail(ErrorNumber::NameRedefined, position);
  }
  if (named_count_ >= kMaxLocalSlots) return unit_.Fail(ErrorNumber::SyntaxOutOfMemory, position);
  locals_.emplace(std::move(key), named_count_++);
  procedure_.local_names.push_back(name);
  return {};
}

Result<void> FunctionCompiler::DeclareParameters(const ProcedureDecl& decl) {
  procedure_.parameter_count = static_cast<uint32_t>(decl.parameters.size());
  if (decl.parameters.size() > kMaxCallArguments) {
    return unit_.Fail(ErrorNumber::SyntaxOutOfMemory, decl.position);
  }
  for (const Parameter& parameter : decl.parameters) {
    TRY(DeclareLocal(parameter.name, parameter.position));
    procedure_.by_value.push_back(parameter.by_value);
    procedure_.any_by_value = procedure_.any_by_value || parameter.by_value;
  }
  procedure_.result_slot = named_count_++;
  bool has_result = decl.kind == ProcedureKind::Function || decl.kind == ProcedureKind::PropertyGet;
  // Only a Function's or Property Get's name is its result variable (Execute sees it too).
  procedure_.local_names.push_back(has_result ? decl.name : std::u16string());
  if (!has_result) return {};
  result_name_ = NameKey(decl.name);
  locals_.emplace(result_name_, procedure_.result_slot);
  return {};
}

// Dim and Const anywhere in a body declare for the whole procedure.
Result<void> FunctionCompiler::DeclareLocals(const Block& body) {
  std::vector<std::pair<NameRef, const VariableDecl*>> arrays;
  TRY(WalkStatements(body, unit_, [&](const Stmt* statement) -> Result<void> {
    if (statement->kind == StmtKind::Const) {
      for (const ConstDecl& decl : statement->constants) {
        std::u16string key = NameKey(decl.name);
        if (locals_.count(key) != 0 || constants_.count(key) != 0) {
          return unit_.Fail(ErrorNumber::NameRedefined, decl.position);
        }
        constants_.emplace(std::move(key), TRY(FoldConstant(decl.value, unit_)));
      }
    }
    if (statement->kind != StmtKind::Dim) return {};
    for (const VariableDecl& decl : statement->variables) {
      TRY(DeclareLocal(decl.name, decl.position));
      if (decl.is_array) arrays.emplace_back(NameRef{NameRef::Kind::Local, static_cast<int32_t>(named_count_ - 1)}, &decl);
    }
    return {};
  }));
  EmitArrayPrologue(arrays);
  return {};
}

// The arrays a global Dim declares, made when the statement runs: before it the name holds
// Empty.
void FunctionCompiler::EmitGlobalArrays(const Stmt* statement) {
  std::vector<std::pair<NameRef, const VariableDecl*>> arrays;
  for (const VariableDecl& decl : statement->variables) {
    if (!decl.is_array) continue;
    arrays.emplace_back(NameRef{NameRef::Kind::Global, static_cast<int32_t>(unit_.GlobalName(decl.name))}, &decl);
  }
  EmitArrayPrologue(arrays);
}

void FunctionCompiler::EmitArrayPrologue(
    const std::vector<std::pair<NameRef, const VariableDecl*>>& arrays) {
  for (const auto& [ref, decl] : arrays) {
    position_ = decl->position;
    for (int32_t bound : decl->upper_bounds) Emit(Opcode::PushLong, bound);
    Emit(Opcode::DimArray, ref.a, ref.b, static_cast<uint16_t>(decl->upper_bounds.size()), ref.Mode());
  }
}

// procedure -> parameters, locals, body, Return
Result<void> FunctionCompiler::CompileProcedure(const ProcedureDecl& decl) {
  procedure_.name = decl.name;
  procedure_.kind = decl.kind;
  procedure_.is_public = decl.visibility != Visibility::Private;
  position_ = decl.position;
  TRY(DeclareParameters(decl));
  TRY(DeclareLocals(decl.body));
  TRY(CompileBlock(decl.body));
  position_ = decl.end_position;
  return Finish();
}

// global code -> array prologue, statements, Return (an expression text: its value, Return)
Result<void> FunctionCompiler::CompileGlobalCode(const ParsedScript& script) {
  procedure_.is_global_code = true;
  procedure_.result_slot = named_count_++;
  procedure_.local_names.emplace_back();
  if (script.expression != nullptr) {
    position_ = script.expression->position;
    MarkStatementStart();
    TRY(EmitExpression(script.expression, Use::Value));
    Emit(Opcode::AssignLocal, static_cast<int32_t>(procedure_.result_slot));
    return Finish();
  }
  // A global array comes to exist when its Dim runs (see CompileStatement).
  TRY(CompileBlock(script.statements));
  return Finish();
}

// Ends the procedure: the Return every Exit jumps to, then the temporaries placed after the
// named slots.
Result<void> FunctionCompiler::Finish() {
  MarkStatementStart();
  for (size_t jump : return_jumps_) PatchJump(jump, Here());
  Emit(Opcode::Return);
  if (named_count_ + max_temps_ > kMaxLocalSlots) return unit_.Fail(ErrorNumber::SyntaxOutOfMemory, position_);
  for (size_t at : temp_fixups_) procedure_.code[at].a += static_cast<int32_t>(named_count_);
  for (LoopHeader& header : procedure_.loop_headers) header.temps += named_count_;
  procedure_.local_count = named_count_ + max_temps_;
  procedure_.local_names.resize(procedure_.local_count);
  procedure_.implicit_locals.assign(procedure_.local_count, false);
  for (const auto& [name, slot] : implicit_) procedure_.implicit_locals[slot] = true;
  procedure_.max_stack = static_cast<uint32_t>(max_depth_) + kStackMargin;
  return {};
}

// Where a name used in this procedure lives: its locals and constants, then the class's fields
// and members, then the globals.
NameRef FunctionCompiler::Resolve(std::u16string_view name) {
  std::u16string key = NameKey(name);
  if (auto constant = constants_.find(key); constant != constants_.end()) {
    NameRef ref{NameRef::Kind::Constant};
    ref.constant = constant->second;
    return ref;
  }
  if (auto local = locals_.find(key); local != locals_.end()) {
    return NameRef{NameRef::Kind::Local, static_cast<int32_t>(local->second)};
  }
  return ResolveOutside(name);
}

// A name called with arguments: inside Function F, "F(x)" calls F rather than indexing its
// result.
NameRef FunctionCompiler::ResolveCallee(std::u16string_view name) {
  if (!result_name_.empty() && NameKey(name) == result_name_) return ResolveOutside(name);
  return Resolve(name);
}

NameRef FunctionCompiler::ResolveOutside(std::u16string_view name) {
  if (class_ != nullptr) {
    int32_t member = class_->FindMember(name);
    if (member >= 0 && class_->members[member].field >= 0) {
      return NameRef{NameRef::Kind::Field, class_->members[member].field};
    }
    if (member >= 0) return NameRef{NameRef::Kind::ClassMember, member};
  }
  auto global = static_cast<int32_t>(unit_.GlobalName(name));
  if (procedure_.is_global_code || unit_.IsDeclaredGlobal(name)) {
    return NameRef{NameRef::Kind::Global, global};
  }
  // An undeclared name: the global of that name when the run has one, else a local.
  auto [entry, added] = implicit_.try_emplace(NameKey(name), named_count_);
  if (added) {
    ++named_count_;
    procedure_.local_names.emplace_back(name);
  }
  return NameRef{NameRef::Kind::Implicit, global, static_cast<int32_t>(entry->second)};
}

Result<void> FunctionCompiler::CompileBlock(const Block& block) {
  for (const Stmt* statement : block) TRY(CompileStatement(statement));
  return {};
}

Result<void> FunctionCompiler::CompileStatement(const Stmt* statement) {
  if (StackIsLow()) return unit_.Fail(ErrorNumber::OutOfStackSpace, statement->position);
  position_ = statement->position;
  MarkStatementStart();
  switch (statement->kind) {
    case StmtKind::Assign: return CompileAssign(statement);
    case StmtKind::Call: return CompileCallStatement(statement);
    case StmtKind::ReDim: return CompileRedim(statement);
    case StmtKind::Erase: return CompileErase(statement);
    case StmtKind::If: return CompileIf(statement);
    case StmtKind::Select: return CompileSelect(statement);
    case StmtKind::For: return CompileFor(statement);
    case StmtKind::ForEach: return CompileForEach(statement);
    case StmtKind::DoLoop: return CompileDoLoop(statement);
    case StmtKind::Exit: return CompileExit(statement);
    case StmtKind::With: return CompileWith(statement);
    case StmtKind::OnError:
      Emit(statement->resume_next ? Opcode::OnErrorResumeNext : Opcode::OnErrorGoto0);
      return {};
    case StmtKind::Dim:
      if (procedure_.is_global_code) EmitGlobalArrays(statement);
      return {};
    // Declarations take effect before the code runs.
    case StmtKind::Const:
    case StmtKind::Procedure:
    case StmtKind::Class:
    case StmtKind::OptionExplicit:
    case StmtKind::Nop: return {};
  }
  return {};
}

// assignment -> [Set] target '=' value
Result<void> FunctionCompiler::CompileAssign(const Stmt* statement) {
  const Expr* target = statement->target;
  switch (target->kind) {
    case ExprKind::Identifier: return CompileNameAssign(statement, Resolve(target->name));
    case ExprKind::Member: {
      TRY(EmitObject(target->object, target->position));
      TRY(EmitExpression(statement->value, Use::Value));
      Emit(statement->is_set ? Opcode::SetMember : Opcode::StoreMember,
           static_cast<int32_t>(unit_.MemberSite(target->name)));
      return {};
    }
    case ExprKind::Call: return CompileIndexedAssign(statement);
    case ExprKind::Me: return unit_.Fail(ErrorNumber::InvalidUseOfMe, target->position);
    default: return unit_.Fail(ErrorNumber::SyntaxError, target->position);
  }
}

Result<void> FunctionCompiler::CompileNameAssign(const Stmt* statement, const NameRef& ref) {
  if (ref.kind == NameRef::Kind::ClassMember) {
    Emit(Opcode::PushMe);
    TRY(EmitExpression(statement->value, Use::Value));
    Emit(statement->is_set ? Opcode::SetClassMember : Opcode::StoreClassMember, ref.a);
    return {};
  }
  if (ref.kind == NameRef::Kind::Constant) {
    Emit(Opcode::Raise, static_cast<int32_t>(ErrorNumber::IllegalAssignment));
    return {};
  }
  if (!statement->is_set && IsSelfAppend(statement)) return CompileAppend(statement, ref);
  if (!statement->is_set && ref.kind == NameRef::Kind::Local) {
    if (std::optional<std::pair<int16_t, bool>> step = SelfIncrement(statement)) {
      Emit(Opcode::AddLocalInteger, ref.a, step->first, step->second ? 1 : 0);
      return {};
    }
  }
  TRY(EmitExpression(statement->value, Use::Value));
  EmitStore(ref, AssignModeOf(statement->is_set));
  return {};
}

// target(arguments) = value: an array element, a default member, a property with arguments
Result<void> FunctionCompiler::CompileIndexedAssign(const Stmt* statement) {
  const Expr* target = statement->target;
  const Expr* callee = target->callee;
  uint16_t count = TRY(ArgumentCount(target->arguments.size(), target->position));
  if (callee->kind == ExprKind::Member) {
    TRY(EmitObject(callee->object, callee->position));
    TRY(EmitArguments(target->arguments));
    TRY(EmitExpression(statement->value, Use::Value));
    Emit(statement->is_set ? Opcode::SetMember : Opcode::StoreMember,
         static_cast<int32_t>(unit_.MemberSite(callee->name)), 0, count);
    return {};
  }
  if (callee->kind != ExprKind::Identifier) {
    // a.Cookies("k")("sub") = v: the default member of a computed object; a(0)(1) = v: the
    // element of the array held in a(0) itself, so the container is taken by reference.
    TRY(EmitExpression(callee, Use::Argument));
    TRY(EmitArguments(target->arguments));
    TRY(EmitExpression(statement->value, Use::Value));
    Emit(statement->is_set ? Opcode::SetValueIndexed : Opcode::StoreValueIndexed, 0, 0, count);
    return {};
  }
  NameRef ref = ResolveCallee(callee->name);
  if (ref.kind == NameRef::Kind::Constant) {
    Emit(Opcode::Raise, static_cast<int32_t>(ErrorNumber::IllegalAssignment));
    return {};
  }
  if (ref.kind == NameRef::Kind::ClassMember) Emit(Opcode::PushMe);
  TRY(EmitArguments(target->arguments));
  TRY(EmitExpression(statement->value, Use::Value));
  if (ref.kind == NameRef::Kind::ClassMember) {
    Emit(statement->is_set ? Opcode::SetClassMember : Opcode::StoreClassMember, ref.a, 0, count);
    return {};
  }
  Emit(statement->is_set ? Opcode::SetIndexed : Opcode::StoreIndexed, ref.a, ref.b, count, ref.Mode());
  return {};
}

// "x = x + k" or "x = x - k" with k an Integer literal: the literal and whether it subtracts.
std::optional<std::pair<int16_t, bool>> FunctionCompiler::SelfIncrement(const Stmt* statement) const {
  const Expr* value = statement->value;
  if (value->kind != ExprKind::Binary) return std::nullopt;
  bool subtracts = value->binary_operator == BinaryOperator::Subtract;
  if (value->binary_operator != BinaryOperator::Add && !subtracts) return std::nullopt;
  const Expr* left = value->left;
  const Expr* right = value->right;
  if (left->kind != ExprKind::Identifier || !EqualsIgnoringCase(left->name, statement->target->name)) {
    return std::nullopt;
  }
  if (right->kind != ExprKind::Literal || right->value.vt != VT_I2) return std::nullopt;
  return std::make_pair(right->value.iVal, subtracts);
}

// "x = x & a & b": x's string grows in place instead of being copied each time.
bool FunctionCompiler::IsSelfAppend(const Stmt* statement) const {
  const Expr* value = statement->value;
  if (value->kind != ExprKind::Binary || value->binary_operator != BinaryOperator::Concatenate) {
    return false;
  }
  const Expr* leaf = value;
  while (leaf->kind == ExprKind::Binary && leaf->binary_operator == BinaryOperator::Concatenate) {
    leaf = leaf->left;
  }
  return leaf->kind == ExprKind::Identifier && EqualsIgnoringCase(leaf->name, statement->target->name);
}

Result<void> FunctionCompiler::CompileAppend(const Stmt* statement, const NameRef& ref) {
  // The chain ((x & a) & b) appends a, then b: "&" is associative, so x & (a & b) is the same.
  std::vector<const Expr*> chain;
  for (const Expr* node = statement->value; node->kind == ExprKind::Binary &&
                                            node->binary_operator == BinaryOperator::Concatenate;
       node = node->left) {
    chain.push_back(node);
  }
  TRY(EmitExpression(chain.back()->right, Use::Operand));
  for (size_t i = chain.size() - 1; i-- > 0;) {
    TRY(EmitExpression(chain[i]->right, Use::Operand));
    Emit(Opcode::Concatenate);
  }
  Emit(Opcode::AppendVar, ref.a, ref.b, 0, ref.Mode());
  return {};
}

// call-statement: the call's result, if any, is dropped
Result<void> FunctionCompiler::CompileCallStatement(const Stmt* statement) {
  const Expr* call = statement->call;
  const Expr* callee = call->callee;
  if (callee->kind == ExprKind::Identifier) {
    NameRef ref = ResolveCallee(callee->name);
    if (ref.IsVariable()) {
      uint16_t count = TRY(ArgumentCount(call->arguments.size(), call->position));
      TRY(EmitArguments(call->arguments));
      Emit(Opcode::CallSub, ref.a, ref.b, count, ref.Mode());
      return {};
    }
  }
  TRY(EmitCall(call, Use::Value));
  Emit(Opcode::Pop);
  return {};
}

// redim-statement: each variable gets a new array (Preserve: its last dimension resized)
Result<void> FunctionCompiler::CompileRedim(const Stmt* statement) {
  for (const RedimDecl& decl : statement->redims) {
    NameRef ref = Resolve(decl.name);
    if (!ref.IsVariable()) {
      Emit(Opcode::Raise, static_cast<int32_t>(ErrorNumber::IllegalAssignment));
      continue;
    }
    uint16_t count = TRY(ArgumentCount(decl.upper_bounds.size(), decl.position));
    for (const Expr* bound : decl.upper_bounds) TRY(EmitExpression(bound, Use::Operand));
    Emit(statement->preserve ? Opcode::RedimPreserve : Opcode::Redim, ref.a, ref.b, count, ref.Mode());
  }
  return {};
}

Result<void> FunctionCompiler::CompileErase(const Stmt* statement) {
  for (const auto& [name, position] : statement->names) {
    NameRef ref = Resolve(name);
    if (!ref.IsVariable()) {
      Emit(Opcode::Raise, static_cast<int32_t>(ErrorNumber::TypeMismatch));
      continue;
    }
    Emit(Opcode::Erase, ref.a, ref.b, 0, ref.Mode());
  }
  return {};
}

// if-statement -> { condition JumpIfFalse(next) block Jump(end) } [else-block]
Result<void> FunctionCompiler::CompileIf(const Stmt* statement) {
  std::vector<size_t> end_jumps;
  for (const Branch& branch : statement->branches) {
    TRY(EmitExpression(branch.condition, Use::Operand));
    size_t skip = Emit(Opcode::JumpIfFalse);
    TRY(CompileBlock(branch.body));
    // A statement of its own, so that Resume Next after the branch's last statement leaves
    // the If instead of entering the next branch.
    MarkStatementStart();
    end_jumps.push_back(Emit(Opcode::Jump));
    PatchJump(skip, Here());
  }
  TRY(CompileBlock(statement->else_block));
  for (size_t jump : end_jumps) PatchJump(jump, Here());
  return {};
}

// select-statement -> subject into a temporary; each Case compares it for equality and is
// followed by its block, so that Resume Next after a failing Case value enters that block
Result<void> FunctionCompiler::CompileSelect(const Stmt* statement) {
  uint32_t subject = AllocateTemps(1);
  TRY(EmitExpression(statement->subject, Use::Value));
  EmitTemp(Opcode::AssignLocal, subject);
  cleanups_.push_back(subject);
  std::vector<size_t> end_jumps;
  for (const CaseClause& clause : statement->cases) {
    position_ = clause.position;
    std::vector<size_t> matches;
    size_t no_match = 0;
    for (size_t v = 0; v < clause.values.size(); ++v) {
      EmitTemp(Opcode::LoadLocalRef, subject);
      if (!EmitWithIntegerOperand(Opcode::Equal, clause.values[v])) {
        TRY(EmitExpression(clause.values[v], Use::Operand));
        Emit(Opcode::Equal, IsNumberLiteral(clause.values[v]) ? kRightIsNumberLiteral : 0);
      }
      bool last = v + 1 == clause.values.size();
      size_t jump = Emit(last ? Opcode::JumpIfFalse : Opcode::JumpIfTrue);
      (last ? no_match : matches.emplace_back()) = jump;
    }
    for (size_t jump : matches) PatchJump(jump, Here());
    TRY(CompileBlock(clause.body));
    MarkStatementStart();
    end_jumps.push_back(Emit(Opcode::Jump));
    PatchJump(no_match, Here());
  }
  TRY(CompileBlock(statement->else_block));
  for (size_t jump : end_jumps) PatchJump(jump, Here());
  MarkStatementStart();
  EmitTemp(Opcode::ClearLocal, subject);
  cleanups_.pop_back();
  FreeTemps(1);
  return {};
}

Result<NameRef> FunctionCompiler::LoopVariable(const Stmt* statement) {
  NameRef ref = Resolve(statement->name);
  if (!ref.IsVariable()) return unit_.Fail(ErrorNumber::InvalidForControlVariable, statement->name_position);
  return ref;
}

// A reference to a variable for writing (the loop variable); an undeclared name is declared.
void FunctionCompiler::EmitAddress(const NameRef& ref) {
  if (ref.kind == NameRef::Kind::Local) {
    Emit(Opcode::LoadLocalRef, ref.a);
    return;
  }
  Emit(Opcode::LoadVarRef, ref.a, ref.b, 1, ref.Mode());
}

// for-statement -> var-ref start limit step ForPrep(exit) body: block ForNext(body) exit:
Result<void> FunctionCompiler::CompileFor(const Stmt* statement) {
  NameRef variable = TRY(LoopVariable(statement));
  size_t header = Here();
  EmitAddress(variable);
  TRY(EmitExpression(statement->start, Use::Value));
  TRY(EmitExpression(statement->limit, Use::Value));
  if (statement->step != nullptr) {
    TRY(EmitExpression(statement->step, Use::Value));
  } else {
    Emit(Opcode::PushInteger, 1);
  }
  uint32_t temps = AllocateTemps(3);
  size_t prep = EmitTemp(Opcode::ForPrep, temps);
  size_t body = Here();
  LoopContext loop{LoopType::For, cleanups_.size(), {}};
  TRY(CompileLoopBody(statement->body, loop));
  MarkStatementStart();
  EmitTemp(Opcode::ForNext, temps, static_cast<int32_t>(body));
  MarkStatementStart();
  PatchTo(prep, Here());
  PatchLoopExits(loop, Here());
  // A header that fails leaves the counter as it was; Resume Next runs the body once and Next
  // then fails with "For loop not initialized".
  AddLoopHeader(header, prep, temps, 3);
  FreeTemps(3);
  return {};
}

// for-each-statement -> var-ref collection ForEachPrep(exit) body: block ForEachNext(body)
//                       exit: ClearLocal(iterator)
Result<void> FunctionCompiler::CompileForEach(const Stmt* statement) {
  NameRef variable = TRY(LoopVariable(statement));
  size_t header = Here();
  EmitAddress(variable);
  // A variable's array is walked in place (and locked meanwhile), anything else as a copy.
  const Expr* subject = statement->subject;
  bool is_variable = subject->kind == ExprKind::Identifier && Resolve(subject->name).IsVariable();
  TRY(EmitExpression(subject, is_variable ? Use::Operand : Use::Value));
  uint32_t temps = AllocateTemps(2);
  size_t prep = EmitTemp(Opcode::ForEachPrep, temps);
  size_t body = Here();
  cleanups_.push_back(temps);
  LoopContext loop{LoopType::For, cleanups_.size(), {}};
  TRY(CompileLoopBody(statement->body, loop));
  MarkStatementStart();
  EmitTemp(Opcode::ForEachNext, temps, static_cast<int32_t>(body));
  MarkStatementStart();
  PatchTo(prep, Here());
  PatchLoopExits(loop, Here());
  // Likewise a failed collection: the body runs once and Next fails with "Object not a collection".
  AddLoopHeader(header, prep, temps, 2);
  EmitTemp(Opcode::ClearLocal, temps);
  cleanups_.pop_back();
  FreeTemps(2);
  return {};
}

Result<void> FunctionCompiler::CompileLoopBody(const Block& body, LoopContext& loop) {
  loops_.push_back(std::move(loop));
  Result<void> compiled = CompileBlock(body);
  loop = std::move(loops_.back());
  loops_.pop_back();
  return compiled;
}

void FunctionCompiler::PatchLoopExits(LoopContext& loop, size_t target) {
  for (size_t jump : loop.exits) PatchJump(jump, target);
}

// do-statement -> the condition before or after the body, While or Until
Result<void> FunctionCompiler::CompileDoLoop(const Stmt* statement) {
  LoopKind kind = statement->loop_kind;
  bool test_first = kind == LoopKind::WhileBefore || kind == LoopKind::UntilBefore ||
                    kind == LoopKind::WhileWend;
  size_t top = Here();
  size_t exit_test = 0;
  if (test_first) {
    TRY(EmitExpression(statement->condition, Use::Operand));
    exit_test = Emit(kind == LoopKind::UntilBefore ? Opcode::JumpIfTrue : Opcode::JumpIfFalse);
  }
  LoopContext loop{kind == LoopKind::WhileWend ? LoopType::While : LoopType::Do, cleanups_.size(), {}};
  TRY(CompileLoopBody(statement->body, loop));
  MarkStatementStart();
  if (kind == LoopKind::WhileAfter || kind == LoopKind::UntilAfter) {
    position_ = statement->position;
    TRY(EmitExpression(statement->condition, Use::Operand));
    Emit(kind == LoopKind::WhileAfter ? Opcode::JumpIfTrue : Opcode::JumpIfFalse, static_cast<int32_t>(top));
  } else {
    Emit(Opcode::Jump, static_cast<int32_t>(top));
  }
  if (test_first) PatchJump(exit_test, Here());
  MarkStatementStart();
  PatchLoopExits(loop, Here());
  return {};
}

// exit-statement: clears the temporaries of the blocks it leaves, then jumps
Result<void> FunctionCompiler::CompileExit(const Stmt* statement) {
  ExitKind kind = statement->exit_kind;
  if (kind == ExitKind::Do || kind == ExitKind::For) {
    LoopType wanted = kind == ExitKind::For ? LoopType::For : LoopType::Do;
    for (size_t i = loops_.size(); i-- > 0;) {
      if (loops_[i].type != wanted) continue;
      for (size_t c = cleanups_.size(); c-- > loops_[i].cleanup_depth;) EmitTemp(Opcode::ClearLocal, cleanups_[c]);
      loops_[i].exits.push_back(Emit(Opcode::Jump));
      return {};
    }
    return unit_.Fail(ErrorNumber::InvalidExit, statement->position);
  }
  bool matches = !procedure_.is_global_code &&
                 ((kind == ExitKind::Sub && procedure_.kind == ProcedureKind::Sub) ||
                  (kind == ExitKind::Function && procedure_.kind == ProcedureKind::Function) ||
                  (kind == ExitKind::Property && procedure_.kind != ProcedureKind::Sub &&
                   procedure_.kind != ProcedureKind::Function));
  if (!matches) return unit_.Fail(ErrorNumber::InvalidExit, statement->position);
  return_jumps_.push_back(Emit(Opcode::Jump));
  return {};
}

// with-statement -> subject into a temporary; ".name" inside reads it
Result<void> FunctionCompiler::CompileWith(const Stmt* statement) {
  uint32_t subject = AllocateTemps(1);
  TRY(EmitExpression(statement->subject, Use::Value));
  Emit(Opcode::RequireObject);
  EmitTemp(Opcode::AssignLocal, subject);
  with_subjects_.push_back(subject);
  cleanups_.push_back(subject);
  TRY(CompileBlock(statement->body));
  MarkStatementStart();
  EmitTemp(Opcode::ClearLocal, subject);
  cleanups_.pop_back();
  with_subjects_.pop_back();
  FreeTemps(1);
  return {};
}

Result<void> FunctionCompiler::EmitExpression(const Expr* expression, Use use) {
  if (StackIsLow()) return unit_.Fail(ErrorNumber::OutOfStackSpace, expression->position);
  switch (expression->kind) {
    case ExprKind::Literal: EmitConstant(expression->value, use); return {};
    case ExprKind::Nothing: Emit(Opcode::PushNothing); return {};
    case ExprKind::Identifier: EmitLoad(Resolve(expression->name), use); return {};
    case ExprKind::Me: Emit(Opcode::PushMe); return {};
    case ExprKind::Member:
      TRY(EmitObject(expression->object, expression->position));
      Emit(Opcode::CallMember, static_cast<int32_t>(unit_.MemberSite(expression->name)));
      return {};
    case ExprKind::Call: return EmitCall(expression, use);
    case ExprKind::Unary: return EmitUnary(expression, use);
    case ExprKind::Binary: return EmitBinary(expression);
    case ExprKind::New: Emit(Opcode::NewObject, static_cast<int32_t>(unit_.GlobalName(expression->name))); return {};
    case ExprKind::Paren: return EmitExpression(expression->operand, use == Use::Argument ? Use::Value : use);
  }
  return {};
}

// A chain of binary operators is compiled along its left spine without recursion, so long
// "a & b & c & ..." texts cost no stack.
Result<void> FunctionCompiler::EmitBinary(const Expr* expression) {
  std::vector<const Expr*> chain;
  const Expr* leaf = expression;
  while (leaf->kind == ExprKind::Binary) {
    chain.push_back(leaf);
    leaf = leaf->left;
  }
  TRY(EmitExpression(leaf, Use::Operand));
  for (size_t i = chain.size(); i-- > 0;) {
    Opcode op = BinaryOpcode(chain[i]->binary_operator);
    if (EmitWithIntegerOperand(op, chain[i]->right)) continue;
    TRY(EmitExpression(chain[i]->right, Use::Operand));
    if (!IsOrderingComparison(op)) {
      Emit(op);
      continue;
    }
    // A string compared with a number literal is read as a number; with any other number it
    // is compared as text. Only the compiler knows which operand was written as a literal.
    const Expr* left = i + 1 < chain.size() ? chain[i + 1] : leaf;
    int32_t literals = (IsNumberLiteral(left) ? kLeftIsNumberLiteral : 0) |
                       (IsNumberLiteral(chain[i]->right) ? kRightIsNumberLiteral : 0);
    Emit(op, literals);
  }
  return {};
}

// "x Mod 2", "i + 1", "n = 0": an operator whose right operand is an Integer literal takes it
// as an operand of the instruction. False when the operator or operand does not fit.
bool FunctionCompiler::EmitWithIntegerOperand(Opcode op, const Expr* right) {
  if (right->kind != ExprKind::Literal || right->value.vt != VT_I2) return false;
  int32_t literal = right->value.iVal;
  if (IsOrderingComparison(op)) {
    Emit(Opcode::CompareInteger, static_cast<int32_t>(op) - static_cast<int32_t>(Opcode::Equal), literal);
    return true;
  }
  constexpr Opcode kArithmetic[] = {Opcode::Add, Opcode::Subtract, Opcode::Multiply, Opcode::Modulo,
                                    Opcode::IntegerDivide};
  for (uint16_t which = 0; which < std::size(kArithmetic); ++which) {
    if (kArithmetic[which] != op) continue;
    Emit(Opcode::ArithmeticInteger, 0, literal, which);
    return true;
  }
  return false;
}

Result<void> FunctionCompiler::EmitUnary(const Expr* expression, Use use) {
  switch (expression->unary_operator) {
    case UnaryOperator::Negate:
      TRY(EmitExpression(expression->operand, Use::Operand));
      Emit(Opcode::Negate);
      return {};
    case UnaryOperator::Not:
      TRY(EmitExpression(expression->operand, Use::Operand));
      Emit(Opcode::Not);
      return {};
    case UnaryOperator::Plus:
      TRY(EmitExpression(expression->operand, Use::Operand));
      Emit(Opcode::ToValue);
      return {};
  }
  return {};
}

// call -> name(arguments) | object.name(arguments) | value(arguments)
Result<void> FunctionCompiler::EmitCall(const Expr* call, Use use) {
  const Expr* callee = call->callee;
  uint16_t count = TRY(ArgumentCount(call->arguments.size(), call->position));
  if (callee->kind == ExprKind::Identifier) {
    NameRef ref = ResolveCallee(callee->name);
    if (ref.kind == NameRef::Kind::ClassMember) {
      Emit(Opcode::PushMe);
      TRY(EmitArguments(call->arguments));
      Emit(Opcode::CallClassMember, ref.a, 0, count);
      return {};
    }
    if (ref.IsVariable()) {
      TRY(EmitArguments(call->arguments));
      Opcode op = use == Use::Argument ? Opcode::CallVarRef : Opcode::CallVar;
      if (count == 0) op = Opcode::CallVarParens;
      Emit(op, ref.a, ref.b, count, ref.Mode());
      return {};
    }
  }
  if (callee->kind == ExprKind::Member) {
    TRY(EmitObject(callee->object, callee->position));
    TRY(EmitArguments(call->arguments));
    Emit(Opcode::CallMember, static_cast<int32_t>(unit_.MemberSite(callee->name)), 0, count);
    return {};
  }
  TRY(EmitExpression(callee, Use::Value));
  TRY(EmitArguments(call->arguments));
  Emit(Opcode::CallValue, 0, 0, count);
  return {};
}

Result<void> FunctionCompiler::EmitArguments(const std::vector<Expr*>& arguments) {
  for (const Expr* argument : arguments) {
    if (argument == nullptr) {
      Emit(Opcode::PushMissing);
      continue;
    }
    TRY(EmitExpression(argument, Use::Argument));
  }
  return {};
}

// The object of a member access; inside With, ".name" uses the With subject.
Result<void> FunctionCompiler::EmitObject(const Expr* object, SourcePosition position) {
  if (object != nullptr) return EmitExpression(object, Use::Value);
  if (with_subjects_.empty()) {
    // ".name" outside With fails when it runs, not when the text compiles.
    Emit(Opcode::Raise, static_cast<int32_t>(ErrorNumber::InvalidOrUnqualifiedReference));
    Emit(Opcode::PushEmpty);
    return {};
  }
  EmitTemp(Opcode::LoadLocal, with_subjects_.back());
  return {};
}

void FunctionCompiler::EmitConstant(const Variant& value, Use use) {
  switch (value.vt) {
    case VT_I2: Emit(Opcode::PushInteger, value.iVal); return;
    case VT_I4: Emit(Opcode::PushLong, value.lVal); return;
    case VT_BOOL: Emit(Opcode::PushBoolean, value.boolVal != 0 ? 1 : 0); return;
    case VT_EMPTY: Emit(Opcode::PushEmpty); return;
    case VT_NULL: Emit(Opcode::PushNull); return;
    case VT_DISPATCH: Emit(Opcode::PushNothing); return;
    default: break;
  }
  auto index = static_cast<int32_t>(unit_.AddConstant(value));
  Emit(use == Use::Operand ? Opcode::PushConstRef : Opcode::PushConst, index);
}

void FunctionCompiler::EmitLoad(const NameRef& ref, Use use) {
  bool by_reference = use != Use::Value;
  // An argument may be written through: an undeclared global passed by reference is declared.
  uint16_t for_writing = use == Use::Argument ? 1 : 0;
  switch (ref.kind) {
    case NameRef::Kind::Constant: EmitConstant(ref.constant, use == Use::Argument ? Use::Value : use); return;
    case NameRef::Kind::Local: Emit(by_reference ? Opcode::LoadLocalRef : Opcode::LoadLocal, ref.a); return;
    case NameRef::Kind::Global:
      Emit(by_reference ? Opcode::LoadGlobalRef : Opcode::LoadGlobal, ref.a, 0, for_writing);
      return;
    case NameRef::Kind::ClassMember:
      Emit(Opcode::PushMe);
      Emit(Opcode::CallClassMember, ref.a);
      return;
    default:
      Emit(by_reference ? Opcode::LoadVarRef : Opcode::LoadVar, ref.a, ref.b, for_writing, ref.Mode());
      return;
  }
}

void FunctionCompiler::EmitStore(const NameRef& ref, AssignMode mode) {
  bool is_set = mode == AssignMode::Set;
  switch (ref.kind) {
    case NameRef::Kind::Local: Emit(is_set ? Opcode::SetLocal : Opcode::StoreLocal, ref.a); return;
    case NameRef::Kind::Global:
      if (!is_set) {
        Emit(Opcode::StoreGlobal, ref.a);
        return;
      }
      Emit(Opcode::SetVar, ref.a, 0, 0, VariableMode::Global);
      return;
    default: Emit(is_set ? Opcode::SetVar : Opcode::StoreVar, ref.a, ref.b, 0, ref.Mode()); return;
  }
}

// Builds a class's member table, then compiles its procedures against it.
class ClassCompiler {
 public:
  ClassCompiler(UnitBuilder& unit, const ClassDecl& decl, ClassInfo& info)
      : unit_(unit), decl_(decl), info_(info) {}

  Result<void> Compile();

 private:
  Result<void> AddFields();
  Result<void> AddProcedure(const ProcedureDecl* procedure, int32_t index);
  Result<int32_t> MemberFor(const ProcedureDecl* procedure);
  Result<void> CheckSpecialProcedure(const ProcedureDecl* procedure, int32_t index);
  Result<void> CheckDefault(const ProcedureDecl* procedure, int32_t member);
  Result<void> CheckPropertyArguments();

  UnitBuilder& unit_;
  const ClassDecl& decl_;
  ClassInfo& info_;
};

Result<void> ClassCompiler::Compile() {
  info_.name = decl_.name;
  TRY(AddFields());
  for (size_t i = 0; i < decl_.procedures.size(); ++i) {
    TRY(AddProcedure(decl_.procedures[i], static_cast<int32_t>(i)));
  }
  TRY(CheckPropertyArguments());
  for (size_t i = 0; i < decl_.procedures.size(); ++i) {
    auto procedure = std::make_unique<Procedure>();
    FunctionCompiler compiler(unit_, *procedure, &info_);
    TRY(compiler.CompileProcedure(*decl_.procedures[i]));
    info_.procedures.push_back(std::move(procedure));
  }
  return {};
}

Result<void> ClassCompiler::AddFields() {
  for (const auto& [field, visibility] : decl_.fields) {
    if (info_.FindMember(field.name) >= 0) return unit_.Fail(ErrorNumber::NameRedefined, field.position);
    info_.fields.push_back(FieldInfo{field.name, field.is_array, field.upper_bounds});
    ClassMember member;
    member.name = field.name;
    member.is_public = visibility != Visibility::Private;
    member.field = static_cast<int32_t>(info_.fields.size() - 1);
    info_.members.push_back(std::move(member));
  }
  return {};
}

Result<void> ClassCompiler::AddProcedure(const ProcedureDecl* procedure, int32_t index) {
  TRY(CheckSpecialProcedure(procedure, index));
  int32_t member_index = TRY(MemberFor(procedure));
  ClassMember& member = info_.members[member_index];
  int32_t* slot = nullptr;
  switch (procedure->kind) {
    case ProcedureKind::Sub:
    case ProcedureKind::Function: slot = &member.method; break;
    case ProcedureKind::PropertyGet: slot = &member.property_get; break;
    case ProcedureKind::PropertyLet: slot = &member.property_let; break;
    case ProcedureKind::PropertySet: slot = &member.property_set; break;
  }
  if (*slot >= 0) return unit_.Fail(ErrorNumber::NameRedefined, procedure->position);
  // A Function (or Sub) and a Property Get of one name: the later one is what reads call.
  if (procedure->kind == ProcedureKind::PropertyGet) member.method = -1;
  if (slot == &member.method) member.property_get = -1;
  *slot = index;
  if (procedure->visibility == Visibility::Private) member.is_public = false;
  if (procedure->is_default) TRY(CheckDefault(procedure, member_index));
  return {};
}

Result<int32_t> ClassCompiler::MemberFor(const ProcedureDecl* procedure) {
  int32_t existing = info_.FindMember(procedure->name);
  if (existing >= 0 && info_.members[existing].field >= 0) {
    return unit_.Fail(ErrorNumber::NameRedefined, procedure->position);
  }
  if (existing >= 0) return existing;
  ClassMember member;
  member.name = procedure->name;
  info_.members.push_back(std::move(member));
  return static_cast<int32_t>(info_.members.size() - 1);
}

Result<void> ClassCompiler::CheckSpecialProcedure(const ProcedureDecl* procedure, int32_t index) {
  bool initialize = EqualsIgnoringCase(procedure->name, u"Class_Initialize");
  bool terminate = EqualsIgnoringCase(procedure->name, u"Class_Terminate");
  if (!initialize && !terminate) return {};
  if (procedure->kind != ProcedureKind::Sub || !procedure->parameters.empty()) {
    return unit_.Fail(ErrorNumber::InitializeTerminateArguments, procedure->position);
  }
  (initialize ? info_.initialize : info_.terminate) = index;
  return {};
}

Result<void> ClassCompiler::CheckDefault(const ProcedureDecl* procedure, int32_t member) {
  if (procedure->kind == ProcedureKind::PropertyLet || procedure->kind == ProcedureKind::PropertySet) {
    return unit_.Fail(ErrorNumber::DefaultOnlyOnPropertyGet, procedure->position);
  }
  if (info_.default_member >= 0 && info_.default_member != member) {
    return unit_.Fail(ErrorNumber::MultipleDefaults, procedure->position);
  }
  info_.default_member = member;
  return {};
}

// Property Let and Set take one argument more than Property Get: the assigned value.
Result<void> ClassCompiler::CheckPropertyArguments() {
  for (const ClassMember& member : info_.members) {
    int32_t get_count = -1;
    if (member.property_get >= 0) {
      get_count = static_cast<int32_t>(decl_.procedures[member.property_get]->parameters.size());
    }
    for (int32_t setter : {member.property_let, member.property_set}) {
      if (setter < 0) continue;
      const ProcedureDecl* procedure = decl_.procedures[setter];
      auto count = static_cast<int32_t>(procedure->parameters.size());
      if (count == 0) return unit_.Fail(ErrorNumber::PropertySetLetNeedsArgument, procedure->position);
      if (get_count >= 0 && count != get_count + 1) {
        return unit_.Fail(ErrorNumber::InconsistentPropertyArguments, procedure->position);
      }
    }
  }
  return {};
}

// Declares what the unit defines at global level: variables, constants, procedures, classes.
Result<void> DeclareGlobals(const ParsedScript& script, UnitBuilder& unit) {
  CodeUnit& code = unit.unit();
  return WalkStatements(script.statements, unit, [&](const Stmt* statement) -> Result<void> {
    bool is_public = statement->visibility != Visibility::Private;
    switch (statement->kind) {
      case StmtKind::Dim:
        for (const VariableDecl& decl : statement->variables) {
          TRY(unit.Declare(GlobalDeclaration::Kind::Variable, decl.name, -1, is_public, decl.position));
        }
        return {};
      case StmtKind::Const:
        for (const ConstDecl& decl : statement->constants) {
          auto index = static_cast<int32_t>(unit.AddConstant(TRY(FoldConstant(decl.value, unit))));
          TRY(unit.Declare(GlobalDeclaration::Kind::Constant, decl.name, index, is_public, decl.position));
        }
        return {};
      case StmtKind::Procedure: {
        const ProcedureDecl* decl = statement->procedure;
        auto index = static_cast<int32_t>(code.procedures.size());
        code.procedures.push_back(std::make_unique<Procedure>());
        return unit.Declare(GlobalDeclaration::Kind::Procedure, decl->name, index,
                            decl->visibility != Visibility::Private, decl->position);
      }
      case StmtKind::Class: {
        auto index = static_cast<int32_t>(code.classes.size());
        code.classes.push_back(std::make_unique<ClassInfo>());
        return unit.Declare(GlobalDeclaration::Kind::Class, statement->class_decl->name, index, true,
                            statement->class_decl->position);
      }
      default: return {};
    }
  });
}

// Compiles procedures and classes into the slots DeclareGlobals reserved, in the same order
// (those declared inside blocks of the global code included).
Result<void> CompileDefinitions(const ParsedScript& script, UnitBuilder& unit) {
  CodeUnit& code = unit.unit();
  size_t procedure_index = 0;
  size_t class_index = 0;
  return WalkStatements(script.statements, unit, [&](const Stmt* statement) -> Result<void> {
    if (statement->kind == StmtKind::Procedure) {
      FunctionCompiler compiler(unit, *code.procedures[procedure_index++], nullptr);
      return compiler.CompileProcedure(*statement->procedure);
    }
    if (statement->kind == StmtKind::Class) {
      ClassCompiler compiler(unit, *statement->class_decl, *code.classes[class_index++]);
      return compiler.Compile();
    }
    return {};
  });
}

}  // namespace

Result<std::shared_ptr<const CodeUnit>> CompileText(const CompileRequest& request,
                                                    CompileDiagnostic& diagnostic) {
  std::unique_ptr<ParsedScript> script;
  if (request.kind == TextKind::Expression) {
    script = TRY(ParseExpressionScript(request.text, diagnostic));
  } else {
    script = TRY(ParseScript(request.text, diagnostic));
  }
  auto code = std::make_shared<CodeUnit>();
  code->source = request.text;
  code->source_context = request.source_context;
  code->starting_line = request.starting_line;
  code->option_explicit = script->option_explicit;
  code->is_expression = request.kind == TextKind::Expression;
  UnitBuilder unit(*code, diagnostic);
  TRY(DeclareGlobals(*script, unit));
  TRY(CompileDefinitions(*script, unit));
  FunctionCompiler global(unit, code->global_code, nullptr);
  TRY(global.CompileGlobalCode(*script));
  return std::shared_ptr<const CodeUnit>(std::move(code));
}

}  // namespace vbscript
