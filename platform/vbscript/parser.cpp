#include "platform/vbscript/parser.h"

#include <utility>

#include "platform/vbscript/stack_guard.h"

namespace vbscript {
namespace {

// Binary operator precedence levels, lowest first. Not sits between And and the comparisons,
// unary minus between * / and ^.
constexpr int kNoOperator = 0;
constexpr int kComparisonLevel = 7;
constexpr int kPowerLevel = 14;

struct OperatorInfo {
  int level;
  BinaryOperator op;
};

OperatorInfo BinaryOperatorOf(const Token& token) {
  switch (token.kind) {
    case TokenKind::Equal: return {kComparisonLevel, BinaryOperator::Equal};
    case TokenKind::NotEqual: return {kComparisonLevel, BinaryOperator::NotEqual};
    case TokenKind::Less: return {kComparisonLevel, BinaryOperator::Less};
    case TokenKind::Greater: return {kComparisonLevel, BinaryOperator::Greater};
    case TokenKind::LessEqual: return {kComparisonLevel, BinaryOperator::LessEqual};
    case TokenKind::GreaterEqual: return {kComparisonLevel, BinaryOperator::GreaterEqual};
    case TokenKind::Ampersand: return {8, BinaryOperator::Concatenate};
    case TokenKind::Plus: return {9, BinaryOperator::Add};
    case TokenKind::Minus: return {9, BinaryOperator::Subtract};
    case TokenKind::Backslash: return {11, BinaryOperator::IntegerDivide};
    case TokenKind::Star: return {12, BinaryOperator::Multiply};
    case TokenKind::Slash: return {12, BinaryOperator::Divide};
    case TokenKind::Caret: return {kPowerLevel, BinaryOperator::Power};
    case TokenKind::Keyword: break;
    default: return {kNoOperator, BinaryOperator::Add};
  }
  switch (token.keyword) {
    case Keyword::Imp: return {1, BinaryOperator::Imp};
    case Keyword::Eqv: return {2, BinaryOperator::Eqv};
    case Keyword::Xor: return {3, BinaryOperator::Xor};
    case Keyword::Or: return {4, BinaryOperator::Or};
    case Keyword::And: return {5, BinaryOperator::And};
    case Keyword::Is: return {kComparisonLevel, BinaryOperator::Is};
    case Keyword::Mod: return {10, BinaryOperator::Modulo};
    default: return {kNoOperator, BinaryOperator::Add};
  }
}

// Whether a reference heads a statement: there "f (x).y" passes "(x).y" to f, so a '(' after
// blanks ends the reference once its arguments are read.
enum class Head { Expression, Statement };

// Where a statement stands: top-level statements may declare procedures and classes; the
// statements of a one-line If end at Else as well.
enum class Place { TopLevel, Inner, InlineIf };

bool IsBlockTerminator(const Token& token) {
  if (token.kind != TokenKind::Keyword) return false;
  switch (token.keyword) {
    case Keyword::End:
    case Keyword::Else:
    case Keyword::ElseIf:
    case Keyword::Case:
    case Keyword::Loop:
    case Keyword::Next:
    case Keyword::Wend: return true;
    default: return false;
  }
}

class Parser {
 public:
  Parser(std::vector<Token> tokens, ParsedScript& script, CompileDiagnostic& diagnostic)
      : tokens_(std::move(tokens)), script_(script), arena_(script.arena), diagnostic_(diagnostic) {}

  Result<void> ParseProgram();
  Result<Expr*> ParseWholeExpression();

 private:
  friend class NestingScope;

  const Token& Current() const { return tokens_[index_]; }
  void Advance() {
    if (index_ + 1 < tokens_.size()) ++index_;
  }
  bool Accept(TokenKind kind) {
    if (!Current().Is(kind)) return false;
    Advance();
    return true;
  }
  bool Accept(Keyword keyword) {
    if (!Current().Is(keyword)) return false;
    Advance();
    return true;
  }
  Error Fail(ErrorNumber number);
  Result<void> Expect(TokenKind kind, ErrorNumber number);
  Result<void> Expect(Keyword keyword, ErrorNumber number);
  Result<std::u16string> ExpectIdentifier();
  Result<void> EnterNesting();
  const Token& Following() const { return tokens_[index_ + 1 < tokens_.size() ? index_ + 1 : index_]; }
  bool EndsStatement(Place place) const {
    return Current().EndsStatement() || (place == Place::InlineIf && Current().Is(Keyword::Else)) ||
           AtBlockEnd();
  }
  /// "End If", "End Sub", ... may follow a statement on its line without ':'.
  bool AtBlockEnd() const {
    if (!Current().Is(Keyword::End)) return false;
    const Token& next = Following();
    return next.Is(Keyword::If) || next.Is(Keyword::Sub) || next.Is(Keyword::Function) ||
           next.Is(Keyword::Class) || next.Is(Keyword::With) || next.Is(Keyword::Select) ||
           next.IsWord(u"Property");
  }
  /// "Property Get|Let|Set name": Property is a keyword only there ("Property = 1" assigns).
  bool AtPropertyHeader() const {
    const Token& next = Following();
    return Current().IsWord(u"Property") &&
           (next.Is(TokenKind::Identifier) || next.Is(Keyword::Let) || next.Is(Keyword::Set));
  }
  bool AtProcedureHeader() const {
    return Current().Is(Keyword::Sub) || Current().Is(Keyword::Function) || AtPropertyHeader();
  }
  /// Procedures and classes are declared in global code, nested blocks included, never inside
  /// a procedure.
  bool DeclarationsAllowed(Place place) const { return place != Place::InlineIf && procedure_depth_ == 0; }
  Result<void> ExpectStatementEnd(Place place);
  Result<void> ExpectLineEnd();

  // Statements
  Result<void> ParseStatementList(Block& block, Place place);
  Result<Stmt*> ParseStatement(Place place);
  Result<Stmt*> ParseKeywordStatement(Place place);
  Result<Stmt*> ParseSimpleStatement(Place place);
  Result<Stmt*> ParseSetStatement();
  Result<Stmt*> ParseCallStatement();
  Result<Stmt*> ParseDimStatement(Visibility visibility);
  Result<VariableDecl> ParseVariableDecl();
  Result<Stmt*> ParseRedimStatement();
  Result<Stmt*> ParseEraseStatement();
  Result<Stmt*> ParseConstStatement(Visibility visibility);
  Result<Expr*> ParseConstValue();
  Result<Stmt*> ParseIfStatement(Place place);
  Result<void> ParseBlockIf(Stmt* statement);
  Result<void> ParseInlineIf(Stmt* statement);
  Result<void> ParseInlineStatements(Block& block);
  Result<Stmt*> ParseSelectStatement();
  Result<Stmt*> ParseForStatement();
  Result<Stmt*> ParseForEachStatement(SourcePosition position);
  Result<void> ParseLoopBody(Block& body, Keyword terminator, ErrorNumber missing);
  Result<Stmt*> ParseDoStatement();
  Result<Stmt*> ParseWhileStatement();
  Result<Stmt*> ParseExitStatement();
  Result<Stmt*> ParseOnErrorStatement();
  Result<Stmt*> ParseWithStatement();
  Result<Stmt*> ParseOptionStatement();
  Result<Stmt*> ParseModifiedDeclaration(Place place);
  Result<ProcedureDecl*> ParseProcedure(Visibility visibility);
  Result<void> ParseParameters(ProcedureDecl* procedure);
  Result<void> ParseProcedureEnd(ProcedureDecl* procedure);
  Result<Stmt*> ParseClassStatement();
  Result<void> ParseClassMember(ClassDecl* decl);
  Result<void> ParseClassField(ClassDecl* decl, Visibility visibility);

  // Expressions
  Result<Expr*> ParseExpression();
  Result<Expr*> ParseBinary(int min_level);
  Result<Expr*> ParseUnary();
  Result<Expr*> ParsePrimary();
  Result<Expr*> ParseReference(Head head = Head::Expression);
  Result<Expr*> ParsePostfix(Expr* base, Head head = Head::Expression);
  static Expr* NamedCallee(Expr* base);
  Result<void> ParseArguments(std::vector<Expr*>& arguments);
  Result<void> ParseBareArguments(std::vector<Expr*>& arguments, Place place);
  Result<Expr*> StatementCall(Expr* target);
  Expr* MakeLiteral(const Token& token);

  std::vector<Token> tokens_;
  size_t index_ = 0;
  ParsedScript& script_;
  AstArena& arena_;
  CompileDiagnostic& diagnostic_;
  int depth_ = 0;
  int procedure_depth_ = 0;  // procedures and classes being parsed
  // A statement call "f (a) + 1, b" re-reads "(a)" as the start of its first argument.
  Expr* seed_ = nullptr;
};

// Counts one level of nesting for its lifetime.
class NestingScope {
 public:
  explicit NestingScope(Parser& parser) : parser_(parser) { ++parser_.depth_; }
  ~NestingScope() { --parser_.depth_; }
  NestingScope(const NestingScope&) = delete;
  NestingScope& operator=(const NestingScope&) = delete;

 private:
  Parser& parser_;
};

Error Parser::Fail(ErrorNumber number) {
  // A lexical fault reached by the parse is reported as itself.
  const Token& token = Current();
  if (token.Is(TokenKind::Invalid)) return ReportCompileError(token.error, token.position, diagnostic_);
  return ReportCompileError(number, token.position, diagnostic_);
}

Result<void> Parser::Expect(TokenKind kind, ErrorNumber number) {
  if (!Accept(kind)) return Fail(number);
  return {};
}

Result<void> Parser::Expect(Keyword keyword, ErrorNumber number) {
  if (!Accept(keyword)) return Fail(number);
  return {};
}

Result<std::u16string> Parser::ExpectIdentifier() {
  if (!Current().Is(TokenKind::Identifier)) return Fail(ErrorNumber::ExpectedIdentifier);
  std::u16string name = Current().text;
  Advance();
  return name;
}

Result<void> Parser::EnterNesting() {
  if (depth_ > kMaxNestingDepth || StackIsLow()) return Fail(ErrorNumber::OutOfStackSpace);
  return {};
}

Result<void> Parser::ExpectStatementEnd(Place place) {
  if (!EndsStatement(place)) return Fail(ErrorNumber::ExpectedEndOfStatement);
  return {};
}

// After a block header (If ... Then, For ..., Sub ...): a newline or ':' must follow.
Result<void> Parser::ExpectLineEnd() {
  if (Current().Is(TokenKind::EndOfInput)) return Fail(ErrorNumber::ExpectedEnd);
  if (!Current().EndsStatement()) return Fail(ErrorNumber::ExpectedEndOfStatement);
  return {};
}

// program -> { statement-list } EOF
Result<void> Parser::ParseProgram() {
  TRY(ParseStatementList(script_.statements, Place::TopLevel));
  const Token& token = Current();
  if (token.Is(TokenKind::EndOfInput)) return {};
  if (token.Is(Keyword::Next)) return Fail(ErrorNumber::UnexpectedNext);
  if (token.Is(Keyword::Loop)) return Fail(ErrorNumber::LoopWithoutDo);
  return Fail(ErrorNumber::ExpectedStatement);
}

// expression-text -> expression EOF
Result<Expr*> Parser::ParseWholeExpression() {
  while (Accept(TokenKind::Newline)) {
  }
  Expr* expression = TRY(ParseExpression());
  while (Accept(TokenKind::Newline)) {
  }
  if (!Current().Is(TokenKind::EndOfInput)) return Fail(ErrorNumber::ExpectedEndOfStatement);
  return expression;
}

// statement-list -> { [statement] (newline | ':') } up to a block terminator or EOF
Result<void> Parser::ParseStatementList(Block& block, Place place) {
  NestingScope nesting(*this);
  TRY(EnterNesting());
  while (true) {
    while (Accept(TokenKind::Newline) || Accept(TokenKind::Colon)) {
    }
    if (Current().Is(TokenKind::EndOfInput) || IsBlockTerminator(Current())) return {};
    Stmt* statement = TRY(ParseStatement(place));
    if (statement != nullptr) block.push_back(statement);
    TRY(ExpectStatementEnd(place));
  }
}

// statement -> keyword-statement | simple-statement
Result<Stmt*> Parser::ParseStatement(Place place) {
  const Token& token = Current();
  if (AtPropertyHeader()) {
    if (!DeclarationsAllowed(place)) return Fail(ErrorNumber::SyntaxError);
    Stmt* statement = arena_.NewStmt(StmtKind::Procedure, Current().position);
    statement->procedure = TRY(ParseProcedure(Visibility::Default));
    return statement;
  }
  if (token.Is(TokenKind::Identifier) || token.Is(TokenKind::Dot) || token.Is(Keyword::Me)) {
    return ParseSimpleStatement(place);
  }
  if (token.Is(TokenKind::Keyword)) return ParseKeywordStatement(place);
  return Fail(ErrorNumber::ExpectedStatement);
}

Result<Stmt*> Parser::ParseKeywordStatement(Place place) {
  bool top = DeclarationsAllowed(place);
  switch (Current().keyword) {
    case Keyword::Dim: Advance(); return ParseDimStatement(Visibility::Default);
    case Keyword::ReDim: return ParseRedimStatement();
    case Keyword::Erase: return ParseEraseStatement();
    case Keyword::Const: Advance(); return ParseConstStatement(Visibility::Default);
    case Keyword::Set: return ParseSetStatement();
    case Keyword::Let: Advance(); return ParseSimpleStatement(place);
    case Keyword::Call: return ParseCallStatement();
    case Keyword::If: return ParseIfStatement(place);
    case Keyword::Select: return ParseSelectStatement();
    case Keyword::For: return ParseForStatement();
    case Keyword::Do: return ParseDoStatement();
    case Keyword::While: return ParseWhileStatement();
    case Keyword::Exit: return ParseExitStatement();
    case Keyword::On: return ParseOnErrorStatement();
    case Keyword::With: return ParseWithStatement();
    case Keyword::Option: return ParseOptionStatement();
    case Keyword::Stop: {
      Stmt* statement = arena_.NewStmt(StmtKind::Nop, Current().position);
      Advance();
      return statement;
    }
    case Keyword::Public:
    case Keyword::Private:
      if (!top) return Fail(ErrorNumber::SyntaxError);
      return ParseModifiedDeclaration(place);
    case Keyword::Sub:
    case Keyword::Function: {
      if (!top) return Fail(ErrorNumber::SyntaxError);
      Stmt* statement = arena_.NewStmt(StmtKind::Procedure, Current().position);
      statement->procedure = TRY(ParseProcedure(Visibility::Default));
      return statement;
    }
    case Keyword::Class:
      if (!top) return Fail(ErrorNumber::SyntaxError);
      return ParseClassStatement();
    default: return Fail(ErrorNumber::ExpectedStatement);
  }
}

// simple-statement -> reference '=' expression | reference [arguments]
Result<Stmt*> Parser::ParseSimpleStatement(Place place) {
  SourcePosition position = Current().position;
  Expr* target = TRY(ParseReference(Head::Statement));
  if (Accept(TokenKind::Equal)) {
    Stmt* statement = arena_.NewStmt(StmtKind::Assign, position);
    statement->target = target;
    statement->value = TRY(ParseExpression());
    return statement;
  }
  Stmt* statement = arena_.NewStmt(StmtKind::Call, position);
  if (EndsStatement(place)) {
    statement->call = TRY(StatementCall(target));
    return statement;
  }
  Expr* callee = target;
  if (target->kind == ExprKind::Call) {
    // "f (a) ..., b": the parenthesised text starts the first argument.
    if (target->arguments.size() != 1 || target->arguments[0] == nullptr) {
      return Fail(ErrorNumber::ExpectedEndOfStatement);
    }
    Expr* paren = arena_.NewExpr(ExprKind::Paren, target->position);
    paren->operand = target->arguments[0];
    seed_ = paren;
    callee = target->callee;
  }
  Expr* call = arena_.NewExpr(ExprKind::Call, position);
  call->callee = callee;
  TRY(ParseBareArguments(call->arguments, place));
  statement->call = call;
  return statement;
}

// A reference standing alone as a statement is a call; "f(a)" passes (a) by value and
// "f(a, b)" is an error (a Sub call takes no parentheses).
Result<Expr*> Parser::StatementCall(Expr* target) {
  if (target->kind == ExprKind::Me) return Fail(ErrorNumber::InvalidUseOfMe);
  if (target->kind != ExprKind::Call) {
    Expr* call = arena_.NewExpr(ExprKind::Call, target->position);
    call->callee = target;
    return call;
  }
  if (target->arguments.size() > 1) {
    return ReportCompileError(ErrorNumber::CannotUseParensCallingSub, target->position, diagnostic_);
  }
  if (target->arguments.size() == 1 && target->arguments[0] != nullptr) {
    Expr* paren = arena_.NewExpr(ExprKind::Paren, target->arguments[0]->position);
    paren->operand = target->arguments[0];
    target->arguments[0] = paren;
  }
  return target;
}

// bare-arguments -> [expression] { ',' [expression] }
Result<void> Parser::ParseBareArguments(std::vector<Expr*>& arguments, Place place) {
  while (true) {
    if (seed_ == nullptr && Current().Is(TokenKind::Comma)) {
      arguments.push_back(nullptr);
      Advance();
      continue;
    }
    arguments.push_back(TRY(ParseExpression()));
    if (!Accept(TokenKind::Comma)) break;
    if (EndsStatement(place)) {
      arguments.push_back(nullptr);
      break;
    }
  }
  return ExpectStatementEnd(place);
}

// set-statement -> Set reference '=' expression
Result<Stmt*> Parser::ParseSetStatement() {
  SourcePosition position = Current().position;
  Advance();
  Stmt* statement = arena_.NewStmt(StmtKind::Assign, position);
  statement->is_set = true;
  statement->target = TRY(ParseReference());
  TRY(Expect(TokenKind::Equal, ErrorNumber::ExpectedEquals));
  statement->value = TRY(ParseExpression());
  return statement;
}

// call-statement -> Call (reference | '(' expression ')' postfix)
Result<Stmt*> Parser::ParseCallStatement() {
  SourcePosition position = Current().position;
  Advance();
  bool parenthesised = Current().Is(TokenKind::LeftParen);
  if (!Current().Is(TokenKind::Identifier) && !Current().Is(TokenKind::Dot) && !Current().Is(Keyword::Me) &&
      !parenthesised) {
    return Fail(ErrorNumber::ExpectedIdentifier);
  }
  Expr* target = TRY(parenthesised ? ParsePrimary() : ParseReference());
  if (target->kind == ExprKind::Me) return Fail(ErrorNumber::InvalidUseOfMe);
  Stmt* statement = arena_.NewStmt(StmtKind::Call, position);
  if (target->kind == ExprKind::Call) {
    statement->call = target;
    return statement;
  }
  Expr* call = arena_.NewExpr(ExprKind::Call, target->position);
  call->callee = target;
  statement->call = call;
  return statement;
}

// dim-statement -> Dim variable-decl { ',' variable-decl }
Result<Stmt*> Parser::ParseDimStatement(Visibility visibility) {
  Stmt* statement = arena_.NewStmt(StmtKind::Dim, Current().position);
  statement->visibility = visibility;
  do {
    statement->variables.push_back(TRY(ParseVariableDecl()));
  } while (Accept(TokenKind::Comma));
  return statement;
}

// variable-decl -> name [ '(' [integer { ',' integer }] ')' ]
Result<VariableDecl> Parser::ParseVariableDecl() {
  VariableDecl decl;
  decl.position = Current().position;
  decl.name = TRY(ExpectIdentifier());
  if (!Accept(TokenKind::LeftParen)) return decl;
  decl.is_array = true;
  if (Accept(TokenKind::RightParen)) return decl;
  do {
    const Token& bound = Current();
    bool integral = bound.Is(TokenKind::Number) && (bound.value.vt == VT_I2 || bound.value.vt == VT_I4);
    if (!integral) return Fail(ErrorNumber::ExpectedIntegerConstant);
    decl.upper_bounds.push_back(bound.value.vt == VT_I2 ? bound.value.iVal : bound.value.lVal);
    Advance();
  } while (Accept(TokenKind::Comma));
  TRY(Expect(TokenKind::RightParen, ErrorNumber::ExpectedCloseParen));
  return decl;
}

// redim-statement -> ReDim [Preserve] name '(' expression { ',' expression } ')' { ',' ... }
Result<Stmt*> Parser::ParseRedimStatement() {
  Stmt* statement = arena_.NewStmt(StmtKind::ReDim, Current().position);
  Advance();
  if (Current().IsWord(u"Preserve")) {
    statement->preserve = true;
    Advance();
  }
  do {
    RedimDecl decl;
    decl.position = Current().position;
    decl.name = TRY(ExpectIdentifier());
    TRY(Expect(TokenKind::LeftParen, ErrorNumber::ExpectedOpenParen));
    do {
      decl.upper_bounds.push_back(TRY(ParseExpression()));
    } while (Accept(TokenKind::Comma));
    TRY(Expect(TokenKind::RightParen, ErrorNumber::ExpectedCloseParen));
    statement->redims.push_back(std::move(decl));
  } while (Accept(TokenKind::Comma));
  return statement;
}

// erase-statement -> Erase name { ',' name }
Result<Stmt*> Parser::ParseEraseStatement() {
  Stmt* statement = arena_.NewStmt(StmtKind::Erase, Current().position);
  Advance();
  do {
    SourcePosition position = Current().position;
    std::u16string name = TRY(ExpectIdentifier());
    statement->names.emplace_back(std::move(name), position);
  } while (Accept(TokenKind::Comma));
  return statement;
}

// const-statement -> Const name '=' const-value { ',' name '=' const-value }
Result<Stmt*> Parser::ParseConstStatement(Visibility visibility) {
  Stmt* statement = arena_.NewStmt(StmtKind::Const, Current().position);
  statement->visibility = visibility;
  do {
    ConstDecl decl;
    decl.position = Current().position;
    decl.name = TRY(ExpectIdentifier());
    TRY(Expect(TokenKind::Equal, ErrorNumber::ExpectedEquals));
    decl.value = TRY(ParseConstValue());
    statement->constants.push_back(std::move(decl));
  } while (Accept(TokenKind::Comma));
  return statement;
}

// const-value -> ('-' | '+') const-value | '(' const-value ')' | literal
Result<Expr*> Parser::ParseConstValue() {
  NestingScope nesting(*this);
  TRY(EnterNesting());
  const Token& token = Current();
  SourcePosition position = token.position;
  if (token.Is(TokenKind::Minus) || token.Is(TokenKind::Plus)) {
    Expr* unary = arena_.NewExpr(ExprKind::Unary, position);
    unary->unary_operator = token.Is(TokenKind::Minus) ? UnaryOperator::Negate : UnaryOperator::Plus;
    Advance();
    unary->operand = TRY(ParseConstValue());
    return unary;
  }
  if (Accept(TokenKind::LeftParen)) {
    Expr* inner = TRY(ParseConstValue());
    TRY(Expect(TokenKind::RightParen, ErrorNumber::ExpectedCloseParen));
    return inner;
  }
  if (token.Is(Keyword::Nothing)) {
    Advance();
    return arena_.NewExpr(ExprKind::Nothing, position);
  }
  Expr* literal = MakeLiteral(token);
  // "Const C =" with nothing after it is a syntax error; a name or an expression is not a literal.
  if (literal == nullptr) {
    return Fail(token.EndsStatement() ? ErrorNumber::SyntaxError : ErrorNumber::ExpectedLiteralConstant);
  }
  Advance();
  return literal;
}

// if-statement -> If expression Then (newline block-if | inline-if)
Result<Stmt*> Parser::ParseIfStatement(Place place) {
  Stmt* statement = arena_.NewStmt(StmtKind::If, Current().position);
  Advance();
  Expr* condition = TRY(ParseExpression());
  TRY(Expect(Keyword::Then, ErrorNumber::ExpectedThen));
  statement->branches.push_back(Branch{condition, {}});
  if (Current().Is(TokenKind::Newline) || Current().Is(TokenKind::EndOfInput)) {
    TRY(ParseBlockIf(statement));
    return statement;
  }
  TRY(ParseInlineIf(statement));
  return statement;
}

// block-if -> block { ElseIf expression Then block } [Else block] End If
Result<void> Parser::ParseBlockIf(Stmt* statement) {
  TRY(ParseStatementList(statement->branches.back().body, Place::Inner));
  while (Accept(Keyword::ElseIf)) {
    Expr* condition = TRY(ParseExpression());
    TRY(Expect(Keyword::Then, ErrorNumber::ExpectedThen));
    statement->branches.push_back(Branch{condition, {}});
    TRY(ParseStatementList(statement->branches.back().body, Place::Inner));
  }
  if (Accept(Keyword::Else)) {
    statement->has_else = true;
    TRY(ParseStatementList(statement->else_block, Place::Inner));
  }
  if (!Current().Is(Keyword::End)) return Fail(ErrorNumber::ExpectedEnd);
  Advance();
  return Expect(Keyword::If, ErrorNumber::ExpectedIf);
}

// inline-if -> inline-statements [Else inline-statements]
Result<void> Parser::ParseInlineIf(Stmt* statement) {
  Accept(TokenKind::Colon);
  TRY(ParseInlineStatements(statement->branches.back().body));
  if (!Accept(Keyword::Else)) return {};
  statement->has_else = true;
  return ParseInlineStatements(statement->else_block);
}

// inline-statements -> statement { ':' statement } (ending at a newline or Else)
Result<void> Parser::ParseInlineStatements(Block& block) {
  NestingScope nesting(*this);
  TRY(EnterNesting());
  while (true) {
    if (Current().Is(TokenKind::Newline) || Current().Is(TokenKind::EndOfInput) ||
        Current().Is(Keyword::Else)) {
      return {};
    }
    if (AtBlockEnd()) {
      // "If c Then x = 1 End If": the one-line If may be closed like a block.
      if (Following().Is(Keyword::If)) {
        Advance();
        Advance();
      }
      return {};
    }
    if (!Accept(TokenKind::Colon)) {
      Stmt* statement = TRY(ParseStatement(Place::InlineIf));
      if (statement != nullptr) block.push_back(statement);
      TRY(ExpectStatementEnd(Place::InlineIf));
    }
  }
}

// select-statement -> Select Case expression newline { Case (Else | expression-list) block }
//                     End Select
Result<Stmt*> Parser::ParseSelectStatement() {
  Stmt* statement = arena_.NewStmt(StmtKind::Select, Current().position);
  Advance();
  TRY(Expect(Keyword::Case, ErrorNumber::ExpectedCase));
  statement->subject = TRY(ParseExpression());
  TRY(ExpectLineEnd());
  while (Accept(TokenKind::Newline) || Accept(TokenKind::Colon)) {
  }
  while (!statement->has_else && Current().Is(Keyword::Case)) {
    CaseClause clause;
    clause.position = Current().position;
    Advance();
    if (Accept(Keyword::Else)) {
      statement->has_else = true;
      TRY(ParseStatementList(statement->else_block, Place::Inner));
      break;
    }
    do {
      clause.values.push_back(TRY(ParseExpression()));
    } while (Accept(TokenKind::Comma));
    TRY(ParseStatementList(clause.body, Place::Inner));
    statement->cases.push_back(std::move(clause));
  }
  if (!Current().Is(Keyword::End)) return Fail(ErrorNumber::ExpectedEnd);
  Advance();
  TRY(Expect(Keyword::Select, ErrorNumber::ExpectedSelect));
  return statement;
}

// for-statement -> For name '=' expression To expression [Step expression] block Next
//                | For Each name In expression block Next
Result<Stmt*> Parser::ParseForStatement() {
  SourcePosition position = Current().position;
  Advance();
  if (Accept(Keyword::Each)) return ParseForEachStatement(position);
  Stmt* statement = arena_.NewStmt(StmtKind::For, position);
  statement->name_position = Current().position;
  statement->name = TRY(ExpectIdentifier());
  TRY(Expect(TokenKind::Equal, ErrorNumber::ExpectedEquals));
  statement->start = TRY(ParseExpression());
  TRY(Expect(Keyword::To, ErrorNumber::ExpectedTo));
  statement->limit = TRY(ParseExpression());
  if (Current().IsWord(u"Step")) {
    Advance();
    statement->step = TRY(ParseExpression());
  }
  TRY(ParseLoopBody(statement->body, Keyword::Next, ErrorNumber::ExpectedNext));
  return statement;
}

Result<Stmt*> Parser::ParseForEachStatement(SourcePosition position) {
  Stmt* statement = arena_.NewStmt(StmtKind::ForEach, position);
  statement->name_position = Current().position;
  statement->name = TRY(ExpectIdentifier());
  TRY(Expect(Keyword::In, ErrorNumber::ExpectedIn));
  statement->subject = TRY(ParseExpression());
  TRY(ParseLoopBody(statement->body, Keyword::Next, ErrorNumber::ExpectedNext));
  return statement;
}

// loop-body -> (newline | ':') block terminator
Result<void> Parser::ParseLoopBody(Block& body, Keyword terminator, ErrorNumber missing) {
  TRY(ExpectLineEnd());
  TRY(ParseStatementList(body, Place::Inner));
  return Expect(terminator, missing);
}

// do-statement -> Do [(While | Until) expression] block Loop [(While | Until) expression]
Result<Stmt*> Parser::ParseDoStatement() {
  Stmt* statement = arena_.NewStmt(StmtKind::DoLoop, Current().position);
  Advance();
  if (Current().Is(Keyword::While) || Current().Is(Keyword::Until)) {
    bool is_while = Current().Is(Keyword::While);
    Advance();
    statement->loop_kind = is_while ? LoopKind::WhileBefore : LoopKind::UntilBefore;
    statement->condition = TRY(ParseExpression());
  } else if (!Current().EndsStatement()) {
    return Fail(ErrorNumber::ExpectedWhileUntilOrEnd);
  }
  TRY(ParseLoopBody(statement->body, Keyword::Loop, ErrorNumber::ExpectedLoop));
  if (!Current().Is(Keyword::While) && !Current().Is(Keyword::Until)) {
    if (!Current().EndsStatement()) return Fail(ErrorNumber::ExpectedWhileUntilOrEnd);
    return statement;
  }
  if (statement->loop_kind != LoopKind::Forever) return Fail(ErrorNumber::ExpectedEndOfStatement);
  bool is_while = Current().Is(Keyword::While);
  Advance();
  statement->loop_kind = is_while ? LoopKind::WhileAfter : LoopKind::UntilAfter;
  statement->condition = TRY(ParseExpression());
  return statement;
}

// while-statement -> While expression block Wend
Result<Stmt*> Parser::ParseWhileStatement() {
  Stmt* statement = arena_.NewStmt(StmtKind::DoLoop, Current().position);
  Advance();
  statement->loop_kind = LoopKind::WhileWend;
  statement->condition = TRY(ParseExpression());
  TRY(ParseLoopBody(statement->body, Keyword::Wend, ErrorNumber::ExpectedWend));
  return statement;
}

// exit-statement -> Exit (Do | For | Sub | Function | Property)
Result<Stmt*> Parser::ParseExitStatement() {
  Stmt* statement = arena_.NewStmt(StmtKind::Exit, Current().position);
  Advance();
  switch (Current().keyword) {
    case Keyword::Do: statement->exit_kind = ExitKind::Do; break;
    case Keyword::For: statement->exit_kind = ExitKind::For; break;
    case Keyword::Sub: statement->exit_kind = ExitKind::Sub; break;
    case Keyword::Function: statement->exit_kind = ExitKind::Function; break;
    default:
      if (!Current().IsWord(u"Property")) return Fail(ErrorNumber::SyntaxError);
      statement->exit_kind = ExitKind::Property;
      break;
  }
  Advance();
  return statement;
}

// on-error-statement -> On Error (Resume Next | GoTo 0)
Result<Stmt*> Parser::ParseOnErrorStatement() {
  Stmt* statement = arena_.NewStmt(StmtKind::OnError, Current().position);
  Advance();
  if (!Current().IsWord(u"Error")) return Fail(ErrorNumber::SyntaxError);
  Advance();
  if (Current().IsWord(u"Resume")) {
    Advance();
    TRY(Expect(Keyword::Next, ErrorNumber::SyntaxError));
    statement->resume_next = true;
    return statement;
  }
  TRY(Expect(Keyword::GoTo, ErrorNumber::SyntaxError));
  const Token& zero = Current();
  bool is_zero = zero.Is(TokenKind::Number) && zero.value.vt == VT_I2 && zero.value.iVal == 0;
  if (!is_zero) return Fail(ErrorNumber::SyntaxError);
  Advance();
  return statement;
}

// with-statement -> With expression block End With
Result<Stmt*> Parser::ParseWithStatement() {
  Stmt* statement = arena_.NewStmt(StmtKind::With, Current().position);
  Advance();
  statement->subject = TRY(ParseExpression());
  TRY(ExpectLineEnd());
  TRY(ParseStatementList(statement->body, Place::Inner));
  if (!Current().Is(Keyword::End)) return Fail(ErrorNumber::ExpectedEnd);
  Advance();
  TRY(Expect(Keyword::With, ErrorNumber::ExpectedWith));
  return statement;
}

// option-statement -> Option Explicit
Result<Stmt*> Parser::ParseOptionStatement() {
  Stmt* statement = arena_.NewStmt(StmtKind::OptionExplicit, Current().position);
  Advance();
  if (!Current().IsWord(u"Explicit")) return Fail(ErrorNumber::SyntaxError);
  Advance();
  script_.option_explicit = true;
  return statement;
}

// modified-declaration -> (Public | Private) (procedure | Const ... | variable-decl-list)
Result<Stmt*> Parser::ParseModifiedDeclaration(Place place) {
  SourcePosition position = Current().position;
  Visibility visibility = Current().Is(Keyword::Public) ? Visibility::Public : Visibility::Private;
  Advance();
  if (Current().IsWord(u"Default")) return Fail(ErrorNumber::MustBeInsideClass);
  if (AtProcedureHeader()) {
    Stmt* statement = arena_.NewStmt(StmtKind::Procedure, position);
    statement->procedure = TRY(ParseProcedure(visibility));
    return statement;
  }
  if (Accept(Keyword::Const)) return ParseConstStatement(visibility);
  return ParseDimStatement(visibility);
}

// procedure -> (Sub | Function | Property (Get | Let | Set)) name [parameters] block
//              End (Sub | Function | Property)
Result<ProcedureDecl*> Parser::ParseProcedure(Visibility visibility) {
  ProcedureDecl* procedure = arena_.NewProcedure();
  procedure->position = Current().position;
  procedure->visibility = visibility;
  if (Accept(Keyword::Sub)) {
    procedure->kind = ProcedureKind::Sub;
  } else if (Accept(Keyword::Function)) {
    procedure->kind = ProcedureKind::Function;
  } else {
    Advance();  // Property
    if (Current().IsWord(u"Get")) {
      procedure->kind = ProcedureKind::PropertyGet;
    } else if (Current().Is(Keyword::Let)) {
      procedure->kind = ProcedureKind::PropertyLet;
    } else if (Current().Is(Keyword::Set)) {
      procedure->kind = ProcedureKind::PropertySet;
    } else {
      return Fail(ErrorNumber::ExpectedLetSetGet);
    }
    Advance();
  }
  procedure->name = TRY(ExpectIdentifier());
  TRY(ParseParameters(procedure));
  // The body may start on the header's line, with or without ':'.
  if (Current().Is(TokenKind::EndOfInput)) return Fail(ErrorNumber::ExpectedEnd);
  ++procedure_depth_;
  Result<void> body = ParseStatementList(procedure->body, Place::Inner);
  --procedure_depth_;
  TRY(std::move(body));
  TRY(ParseProcedureEnd(procedure));
  return procedure;
}

// parameters -> '(' [parameter { ',' parameter }] ')'
// parameter -> [ByVal | ByRef] name ['(' ')']
Result<void> Parser::ParseParameters(ProcedureDecl* procedure) {
  if (!Accept(TokenKind::LeftParen)) return {};
  if (Accept(TokenKind::RightParen)) return {};
  do {
    Parameter parameter;
    if (Accept(Keyword::ByVal)) {
      parameter.by_value = true;
    } else {
      Accept(Keyword::ByRef);
    }
    parameter.position = Current().position;
    parameter.name = TRY(ExpectIdentifier());
    if (Accept(TokenKind::LeftParen)) {
      TRY(Expect(TokenKind::RightParen, ErrorNumber::ExpectedCloseParen));
      parameter.is_array = true;
    }
    procedure->parameters.push_back(std::move(parameter));
  } while (Accept(TokenKind::Comma));
  return Expect(TokenKind::RightParen, ErrorNumber::ExpectedCloseParen);
}

Result<void> Parser::ParseProcedureEnd(ProcedureDecl* procedure) {
  procedure->end_position = Current().position;
  if (!Current().Is(Keyword::End)) return Fail(ErrorNumber::ExpectedEnd);
  Advance();
  switch (procedure->kind) {
    case ProcedureKind::Sub: return Expect(Keyword::Sub, ErrorNumber::ExpectedSub);
    case ProcedureKind::Function: return Expect(Keyword::Function, ErrorNumber::ExpectedFunction);
    default:
      if (!Current().IsWord(u"Property")) return Fail(ErrorNumber::ExpectedProperty);
      Advance();
      return {};
  }
}

// class-statement -> Class name newline { class-member } End Class
Result<Stmt*> Parser::ParseClassStatement() {
  Stmt* statement = arena_.NewStmt(StmtKind::Class, Current().position);
  Advance();
  ClassDecl* decl = arena_.NewClass();
  decl->position = Current().position;
  decl->name = TRY(ExpectIdentifier());
  TRY(ExpectLineEnd());
  while (true) {
    while (Accept(TokenKind::Newline) || Accept(TokenKind::Colon)) {
    }
    if (Current().Is(Keyword::End) || Current().Is(TokenKind::EndOfInput)) break;
    ++procedure_depth_;
    Result<void> member = ParseClassMember(decl);
    --procedure_depth_;
    TRY(std::move(member));
    TRY(ExpectStatementEnd(Place::Inner));
  }
  if (!Current().Is(Keyword::End)) return Fail(ErrorNumber::ExpectedEnd);
  Advance();
  TRY(Expect(Keyword::Class, ErrorNumber::ExpectedClass));
  statement->class_decl = decl;
  return statement;
}

// class-member -> Dim variable-decl-list
//               | [Public [Default] | Private] (procedure | variable-decl-list)
Result<void> Parser::ParseClassMember(ClassDecl* decl) {
  if (Accept(Keyword::Dim)) return ParseClassField(decl, Visibility::Public);
  Visibility visibility = Visibility::Default;
  if (Accept(Keyword::Public)) {
    visibility = Visibility::Public;
  } else if (Accept(Keyword::Private)) {
    visibility = Visibility::Private;
  }
  bool is_default = false;
  if (Current().IsWord(u"Default")) {
    if (visibility != Visibility::Public) return Fail(ErrorNumber::DefaultMustBePublic);
    is_default = true;
    Advance();
  }
  if (AtProcedureHeader()) {
    ProcedureDecl* procedure = TRY(ParseProcedure(visibility));
    procedure->is_default = is_default;
    decl->procedures.push_back(procedure);
    return {};
  }
  if (is_default) return Fail(ErrorNumber::DefaultOnlyOnMembers);
  if (visibility == Visibility::Default) return Fail(ErrorNumber::ExpectedStatement);
  return ParseClassField(decl, visibility);
}

Result<void> Parser::ParseClassField(ClassDecl* decl, Visibility visibility) {
  do {
    decl->fields.emplace_back(TRY(ParseVariableDecl()), visibility);
  } while (Accept(TokenKind::Comma));
  return {};
}

// expression -> binary(lowest level)
Result<Expr*> Parser::ParseExpression() {
  NestingScope nesting(*this);
  TRY(EnterNesting());
  return ParseBinary(1);
}

// binary(level) -> unary { operator-of-level->=level binary(level + 1) }, left-associative
Result<Expr*> Parser::ParseBinary(int min_level) {
  Expr* left = TRY(ParseUnary());
  while (true) {
    OperatorInfo info = BinaryOperatorOf(Current());
    if (info.level == kNoOperator || info.level < min_level) return left;
    SourcePosition position = Current().position;
    Advance();
    Expr* right = TRY(ParseBinary(info.level + 1));
    Expr* node = arena_.NewExpr(ExprKind::Binary, position);
    node->binary_operator = info.op;
    node->left = left;
    node->right = right;
    left = node;
  }
}

// unary -> Not binary(comparison) | ('-' | '+') binary(power) | primary
Result<Expr*> Parser::ParseUnary() {
  if (seed_ != nullptr) return ParsePostfix(std::exchange(seed_, nullptr));
  const Token& token = Current();
  bool is_not = token.Is(Keyword::Not);
  bool is_sign = token.Is(TokenKind::Minus) || token.Is(TokenKind::Plus);
  if (!is_not && !is_sign) return ParsePrimary();
  NestingScope nesting(*this);
  TRY(EnterNesting());
  Expr* node = arena_.NewExpr(ExprKind::Unary, token.position);
  node->unary_operator = is_not ? UnaryOperator::Not
                         : token.Is(TokenKind::Minus) ? UnaryOperator::Negate
                                                      : UnaryOperator::Plus;
  Advance();
  node->operand = TRY(ParseBinary(is_not ? kComparisonLevel : kPowerLevel));
  return node;
}

Expr* Parser::MakeLiteral(const Token& token) {
  Expr* literal = arena_.NewExpr(ExprKind::Literal, token.position);
  switch (token.kind) {
    case TokenKind::Number:
    case TokenKind::Date: literal->value = token.value; return literal;
    case TokenKind::String: literal->value = Variant::FromString(token.text); return literal;
    case TokenKind::Keyword: break;
    default: return nullptr;
  }
  switch (token.keyword) {
    case Keyword::True: literal->value = Variant::FromBool(true); return literal;
    case Keyword::False: literal->value = Variant::FromBool(false); return literal;
    case Keyword::Empty: return literal;
    case Keyword::Null: literal->value = Variant::Null(); return literal;
    default: return nullptr;
  }
}

// primary -> literal | Nothing | New name | '(' expression ')' | reference
Result<Expr*> Parser::ParsePrimary() {
  const Token& token = Current();
  SourcePosition position = token.position;
  if (token.Is(TokenKind::Identifier) || token.Is(TokenKind::Dot) || token.Is(Keyword::Me)) {
    return ParseReference();
  }
  if (token.Is(Keyword::Nothing)) {
    Advance();
    // "Nothing.Member" parses; running it is Object required.
    return ParsePostfix(arena_.NewExpr(ExprKind::Nothing, position));
  }
  if (token.Is(Keyword::New)) {
    Advance();
    Expr* node = arena_.NewExpr(ExprKind::New, position);
    node->name = TRY(ExpectIdentifier());
    return node;
  }
  if (Accept(TokenKind::LeftParen)) {
    // "(New C).Run", "(GetRef(n))(1)": a parenthesised value takes members and arguments too.
    Expr* node = arena_.NewExpr(ExprKind::Paren, position);
    node->operand = TRY(ParseExpression());
    TRY(Expect(TokenKind::RightParen, ErrorNumber::ExpectedCloseParen));
    return ParsePostfix(node);
  }
  Expr* literal = MakeLiteral(token);
  // No value where one must start ("x = ", "1 +", "x = )") is the plain "Syntax error"; the
  // specific texts are kept for a missing keyword or bracket.
  if (literal == nullptr) return Fail(ErrorNumber::SyntaxError);
  Advance();
  return literal;
}

// reference -> (name | Me | '.' name) { '.' name | '(' arguments ')' }
Result<Expr*> Parser::ParseReference(Head head) {
  const Token& token = Current();
  Expr* base = nullptr;
  if (token.Is(Keyword::Me)) {
    base = arena_.NewExpr(ExprKind::Me, token.position);
    Advance();
  } else if (token.Is(TokenKind::Dot)) {
    base = arena_.NewExpr(ExprKind::Member, token.position);
    Advance();
    base->name = TRY(ExpectIdentifier());
  } else {
    base = arena_.NewExpr(ExprKind::Identifier, token.position);
    base->name = TRY(ExpectIdentifier());
  }
  return ParsePostfix(base, head);
}

// postfix -> { '.' name | '(' arguments ')' }; a '.' after blanks starts a With member instead,
// unless a line continuation put it at the start of its line
Result<Expr*> Parser::ParsePostfix(Expr* base, Head head) {
  while (true) {
    const Token& token = Current();
    if (token.Is(TokenKind::Dot) && (!token.space_before || token.after_continuation)) {
      Advance();
      Expr* member = arena_.NewExpr(ExprKind::Member, Current().position);
      member->object = base;
      member->name = TRY(ExpectIdentifier());
      base = member;
      continue;
    }
    if (!token.Is(TokenKind::LeftParen)) return base;
    bool ends_head = head == Head::Statement && token.space_before;
    base = NamedCallee(base);
    Expr* call = arena_.NewExpr(ExprKind::Call, token.position);
    Advance();
    call->callee = base;
    TRY(ParseArguments(call->arguments));
    base = call;
    if (ends_head) return base;
  }
}

// "(f)(x)" and "((obj.m))(x)" call f and obj.m with x: brackets around a name that arguments
// follow only group it. Any other bracketed value ("(New C)(1)", "(GetRef(n))(1)") is computed
// first and its result called.
Expr* Parser::NamedCallee(Expr* base) {
  Expr* inner = base;
  while (inner->kind == ExprKind::Paren) inner = inner->operand;
  bool is_name = inner->kind == ExprKind::Identifier || inner->kind == ExprKind::Member;
  return is_name ? inner : base;
}

// arguments -> [ [expression] { ',' [expression] } ] ')'
Result<void> Parser::ParseArguments(std::vector<Expr*>& arguments) {
  NestingScope nesting(*this);
  TRY(EnterNesting());
  if (Accept(TokenKind::RightParen)) return {};
  while (true) {
    if (Current().Is(TokenKind::Comma) || Current().Is(TokenKind::RightParen)) {
      arguments.push_back(nullptr);
    } else {
      arguments.push_back(TRY(ParseExpression()));
    }
    if (Accept(TokenKind::RightParen)) return {};
    TRY(Expect(TokenKind::Comma, ErrorNumber::ExpectedCloseParen));
  }
}

}  // namespace

Error ReportCompileError(ErrorNumber number, SourcePosition position, CompileDiagnostic& diagnostic) {
  diagnostic.number = number;
  diagnostic.position = position;
  return Error(number);
}

Result<std::unique_ptr<ParsedScript>> ParseScript(std::u16string_view text,
                                                  CompileDiagnostic& diagnostic) {
  auto script = std::make_unique<ParsedScript>();
  Parser parser(Tokenize(text), *script, diagnostic);
  TRY(parser.ParseProgram());
  return script;
}

Result<std::unique_ptr<ParsedScript>> ParseExpressionScript(std::u16string_view text,
                                                            CompileDiagnostic& diagnostic) {
  auto script = std::make_unique<ParsedScript>();
  Parser parser(Tokenize(text), *script, diagnostic);
  script->expression = TRY(parser.ParseWholeExpression());
  return script;
}

}  // namespace vbscript
