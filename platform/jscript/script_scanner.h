#pragma once
// A token scanner for script text, enough to find the constructs the engine rewrites or
// looks at before Duktape compiles the text: names, literals, punctuators and brackets with
// their partners. Comments (also the <!-- and --> line comments of the language) and white
// space are skipped. A slash starts a regular expression where an expression may begin.
// Text the scanner cannot read (an unterminated string, comment or regular expression) ends
// the token list there; the compiler reports it.

#include <cstddef>
#include <string_view>
#include <vector>

namespace jscript {

enum class TokenKind { Name, Keyword, Number, String, RegExp, Punctuator };

struct Token {
  static constexpr size_t kNoPartner = static_cast<size_t>(-1);

  TokenKind kind;
  size_t begin;  // offsets into the text
  size_t end;
  bool newline_before = false;
  size_t partner = kNoPartner;  // for brackets: the index of the matching one
  bool statement_paren = false;  // for '(' and ')': the parentheses of if, while, for, ...

  std::u16string_view TextIn(std::u16string_view text) const { return text.substr(begin, end - begin); }
};

/// The tokens of `text`.
std::vector<Token> ScanScript(std::u16string_view text);

/// Whether `word` is a reserved word of the language (keywords and literals).
bool IsReservedWord(std::u16string_view word);

}  // namespace jscript
