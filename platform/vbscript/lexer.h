#pragma once
// The VBScript lexer: script text to tokens with their positions. Keywords ignore case; a word
// right after '.' is always a member name, never a keyword. A lexical fault (an invalid
// character, an unterminated string, a malformed number or date, an overlong identifier)
// becomes an Invalid token carrying its error number, so that the parser reports faults in the
// order it meets them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/error.h"
#include "platform/automation/variant.h"

namespace vbscript {

/// A place in the script text: line counts from 1, column from 0 (in UTF-16 code units).
struct SourcePosition {
  uint32_t line = 1;
  uint32_t column = 0;
};

/// The longest identifier the language accepts (IdentifierTooLong, 1030, beyond).
inline constexpr size_t kMaxIdentifierLength = 255;

// The reserved words. Words with a meaning only in one place (Default, Error, Explicit, Get,
// Preserve, Property, Resume, Step) stay identifiers; the parser recognises them by text.
#define VBSCRIPT_KEYWORDS(K) \
  K(And) K(ByRef) K(ByVal) K(Call) K(Case) K(Class) K(Const) K(Dim) K(Do) K(Each) K(Else) \
  K(ElseIf) K(Empty) K(End) K(Eqv) K(Erase) K(Exit) K(False) K(For) K(Function) K(GoTo) \
  K(If) K(Imp) K(In) K(Is) K(Let) K(Loop) K(Me) K(Mod) K(New) K(Next) K(Not) K(Nothing) \
  K(Null) K(On) K(Option) K(Or) K(Private) K(Public) K(ReDim) K(Select) K(Set) \
  K(Stop) K(Sub) K(Then) K(To) K(True) K(Until) K(Wend) K(While) K(With) K(Xor)

enum class Keyword : uint8_t {
  None,
#define VBSCRIPT_KEYWORD_ENUM(name) name,
  VBSCRIPT_KEYWORDS(VBSCRIPT_KEYWORD_ENUM)
#undef VBSCRIPT_KEYWORD_ENUM
};

/// The spelling of a keyword ("ElseIf").
std::u16string_view KeywordText(Keyword keyword);

enum class TokenKind : uint8_t {
  EndOfInput,
  Newline,
  Colon,
  Identifier,   // text holds the name (brackets removed)
  Keyword,      // keyword says which
  Number,       // value holds an Integer, Long or Double
  String,       // text holds the characters
  Date,         // value holds the date
  Equal,
  NotEqual,
  Less,
  Greater,
  LessEqual,
  GreaterEqual,
  Ampersand,
  Plus,
  Minus,
  Star,
  Slash,
  Backslash,
  Caret,
  Dot,
  Comma,
  LeftParen,
  RightParen,
  Invalid,      // error names the lexical fault
};

struct Token {
  TokenKind kind = TokenKind::EndOfInput;
  Keyword keyword = Keyword::None;
  /// Whitespace (or a line continuation) separates this token from the previous one.
  bool space_before = false;
  /// A line continuation is among what separates it ("o _ (newline) .Member" continues o).
  bool after_continuation = false;
  ErrorNumber error = ErrorNumber::SyntaxError;
  SourcePosition position;
  std::u16string text;
  Variant value;

  bool Is(TokenKind k) const { return kind == k; }
  bool Is(Keyword k) const { return kind == TokenKind::Keyword && keyword == k; }
  /// An identifier spelled `word` (ignoring case): the words with a meaning in one place only.
  bool IsWord(std::u16string_view word) const;
  /// Ends a statement: a newline, ':' or the end of the text.
  bool EndsStatement() const {
    return kind == TokenKind::Newline || kind == TokenKind::Colon || kind == TokenKind::EndOfInput;
  }
};

/// Splits `text` into tokens. The list always ends with one EndOfInput token; faults are
/// Invalid tokens (see above). Never fails otherwise (std::bad_alloc aside).
std::vector<Token> Tokenize(std::u16string_view text);

}  // namespace vbscript
