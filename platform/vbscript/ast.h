#pragma once
// The syntax tree the parser builds and the compiler walks. Nodes live in an arena owned by the
// parsed script (AstArena), so that freeing a tree never recurses; children are borrowed
// pointers into the same arena.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/vbscript/lexer.h"

namespace vbscript {

enum class UnaryOperator : uint8_t { Negate, Plus, Not };

// In rising order of precedence groups, as the parser climbs them.
enum class BinaryOperator : uint8_t {
  Imp, Eqv, Xor, Or, And,
  Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual, Is,
  Concatenate,
  Add, Subtract,
  Modulo,
  IntegerDivide,
  Multiply, Divide,
  Power,
};

enum class ExprKind : uint8_t {
  Literal,     // value
  Nothing,     // the Nothing keyword
  Identifier,  // name
  Me,          // the Me keyword
  Member,      // object.name; object null inside With for ".name"
  Call,        // callee(arguments): a call, an array index or a default member
  Unary,       // unary_operator operand
  Binary,      // left binary_operator right
  New,         // New name
  Paren,       // (operand): an expression, so never passed by reference
};

struct Expr {
  ExprKind kind;
  SourcePosition position;
  std::u16string name;
  Variant value;
  Expr* object = nullptr;   // Member
  Expr* callee = nullptr;   // Call
  Expr* operand = nullptr;  // Unary, Paren
  Expr* left = nullptr;     // Binary
  Expr* right = nullptr;    // Binary
  /// Call arguments; a null entry is an omitted argument ("f 1, , 3").
  std::vector<Expr*> arguments;
  UnaryOperator unary_operator = UnaryOperator::Negate;
  BinaryOperator binary_operator = BinaryOperator::Add;
};

struct Stmt;
using Block = std::vector<Stmt*>;

enum class StmtKind : uint8_t {
  Assign,          // [Set] target = value
  Call,            // call (an Identifier, Member or Call expression)
  Dim,             // variables
  ReDim,           // redims (preserve)
  Erase,           // names
  Const,           // constants
  If,              // branches, else_block
  Select,          // subject, cases, else_block
  For,             // name = start To limit [Step step]: body
  ForEach,         // name In subject: body
  DoLoop,          // loop_kind, condition, body
  Exit,            // exit_kind
  OnError,         // resume_next
  With,            // subject: body
  Procedure,       // procedure
  Class,           // class_decl
  OptionExplicit,
  Nop,             // Stop, and statements that do nothing here
};

enum class Visibility : uint8_t { Default, Public, Private };

struct VariableDecl {
  std::u16string name;
  SourcePosition position;
  bool is_array = false;          // "Dim a()" or "Dim a(3, 4)"
  std::vector<int32_t> upper_bounds;  // empty for a dynamic array
};

struct RedimDecl {
  std::u16string name;
  SourcePosition position;
  std::vector<Expr*> upper_bounds;
};

struct ConstDecl {
  std::u16string name;
  SourcePosition position;
  Expr* value;
};

struct Branch {
  Expr* condition;  // null for Else
  Block body;
};

struct CaseClause {
  std::vector<Expr*> values;
  Block body;
  SourcePosition position;
};

enum class LoopKind : uint8_t {
  Forever,      // Do ... Loop
  WhileBefore,  // Do While c ... Loop
  UntilBefore,  // Do Until c ... Loop
  WhileAfter,   // Do ... Loop While c
  UntilAfter,   // Do ... Loop Until c
  WhileWend,    // While c ... Wend (Exit Do does not leave it)
};
enum class ExitKind : uint8_t { Do, For, Sub, Function, Property };
enum class ProcedureKind : uint8_t { Sub, Function, PropertyGet, PropertyLet, PropertySet };

struct Parameter {
  std::u16string name;
  bool by_value = false;
  bool is_array = false;  // "a()" in the parameter list
  SourcePosition position;
};

struct ProcedureDecl {
  ProcedureKind kind;
  std::u16string name;
  SourcePosition position;
  Visibility visibility = Visibility::Default;
  bool is_default = false;
  std::vector<Parameter> parameters;
  Block body;
  SourcePosition end_position;
};

struct ClassDecl {
  std::u16string name;
  SourcePosition position;
  /// Fields in declaration order, with their visibility.
  std::vector<std::pair<VariableDecl, Visibility>> fields;
  std::vector<ProcedureDecl*> procedures;
};

struct Stmt {
  StmtKind kind;
  SourcePosition position;
  // Assign
  Expr* target = nullptr;
  Expr* value = nullptr;
  bool is_set = false;
  // Call
  Expr* call = nullptr;
  // Dim (Visibility applies at module and class level)
  Visibility visibility = Visibility::Default;
  std::vector<VariableDecl> variables;
  // ReDim
  bool preserve = false;
  std::vector<RedimDecl> redims;
  // Erase
  std::vector<std::pair<std::u16string, SourcePosition>> names;
  // Const
  std::vector<ConstDecl> constants;
  // If, Select
  std::vector<Branch> branches;
  Expr* subject = nullptr;
  std::vector<CaseClause> cases;
  bool has_else = false;
  Block else_block;
  // For, ForEach, DoLoop, With
  std::u16string name;
  SourcePosition name_position;
  Expr* start = nullptr;
  Expr* limit = nullptr;
  Expr* step = nullptr;
  LoopKind loop_kind = LoopKind::Forever;
  Expr* condition = nullptr;
  Block body;
  // Exit
  ExitKind exit_kind = ExitKind::Do;
  // OnError
  bool resume_next = false;
  // Procedure, Class
  ProcedureDecl* procedure = nullptr;
  ClassDecl* class_decl = nullptr;
};

/// Owns every node of one parsed text.
class AstArena {
 public:
  Expr* NewExpr(ExprKind kind, SourcePosition position) {
    Expr& node = expressions_.emplace_back();
    node.kind = kind;
    node.position = position;
    return &node;
  }
  Stmt* NewStmt(StmtKind kind, SourcePosition position) {
    Stmt& node = statements_.emplace_back();
    node.kind = kind;
    node.position = position;
    return &node;
  }
  ProcedureDecl* NewProcedure() { return &procedures_.emplace_back(); }
  ClassDecl* NewClass() { return &classes_.emplace_back(); }

 private:
  std::deque<Expr> expressions_;
  std::deque<Stmt> statements_;
  std::deque<ProcedureDecl> procedures_;
  std::deque<ClassDecl> classes_;
};

/// One parsed text: its top-level statements (procedure and class declarations among them).
struct ParsedScript {
  AstArena arena;
  Block statements;
  /// The expression of an expression text (Eval); null for a script.
  Expr* expression = nullptr;
  bool option_explicit = false;
};

}  // namespace vbscript
