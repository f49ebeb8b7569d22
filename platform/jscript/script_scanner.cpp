#include "platform/jscript/script_scanner.h"

#include <algorithm>
#include <array>

namespace jscript {
namespace {

constexpr std::u16string_view kReservedWords[] = {
    u"break",    u"case",       u"catch",     u"class",     u"const",   u"continue", u"debugger",
    u"default",  u"delete",     u"do",        u"else",      u"enum",    u"export",   u"extends",
    u"false",    u"finally",    u"for",       u"function",  u"if",      u"import",   u"in",
    u"instanceof", u"new",      u"null",      u"return",    u"super",   u"switch",   u"this",
    u"throw",    u"true",       u"try",       u"typeof",    u"var",     u"void",     u"while",
    u"with",     u"implements", u"interface", u"let",       u"package", u"private",  u"protected",
    u"public",   u"static",     u"yield",
};

// Keywords whose parentheses enclose a statement's head, not a call's arguments.
constexpr std::u16string_view kStatementKeywords[] = {u"if", u"while", u"for", u"with", u"switch", u"catch",
                                                      u"function"};

// Punctuators longest first, so that the first match is the longest.
constexpr std::u16string_view kPunctuators[] = {
    u">>>=", u"...", u"===", u"!==", u"**=", u"<<=", u">>=", u">>>", u"&&", u"||", u"==", u"!=",
    u"<=",   u">=",  u"++",  u"--",  u"+=",  u"-=",  u"*=",  u"/=",  u"%=", u"&=", u"|=", u"^=",
    u"<<",   u">>",  u"=>",  u"**",
};

bool IsLineTerminator(char16_t c) { return c == u'\r' || c == u'\n' || c == 0x2028 || c == 0x2029; }

bool IsWhiteSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0x0B || c == 0x0C || c == 0xA0 || c == 0xFEFF || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool IsNameStart(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'$' || c == u'_' || c == u'\\' ||
         (c >= 0x80 && !IsWhiteSpace(c) && !IsLineTerminator(c));
}

bool IsNamePart(char16_t c) { return IsNameStart(c) || IsDigit(c); }

bool IsStatementKeyword(std::u16string_view word) {
  return std::find(std::begin(kStatementKeywords), std::end(kStatementKeywords), word) !=
         std::end(kStatementKeywords);
}

class Scanner {
 public:
  explicit Scanner(std::u16string_view text) : text_(text) {}

  std::vector<Token> Scan() {
    while (SkipSpaceAndComments()) {
      if (!ScanToken()) break;
    }
    return std::move(tokens_);
  }

 private:
  char16_t At(size_t i) const { return i < text_.size() ? text_[i] : u'\0'; }

  // Skips white space and comments; false at the end of the text or in an unterminated comment.
  bool SkipSpaceAndComments() {
    while (pos_ < text_.size()) {
      char16_t c = text_[pos_];
      if (IsLineTerminator(c)) {
        newline_ = true;
        line_start_ = true;
        ++pos_;
      } else if (IsWhiteSpace(c)) {
        ++pos_;
      } else if (c == u'/' && At(pos_ + 1) == u'/') {
        SkipLine();
      } else if (c == u'/' && At(pos_ + 1) == u'*') {
        size_t close = text_.find(u"*/", pos_ + 2);
        if (close == std::u16string_view::npos) return false;
        for (size_t i = pos_; i < close; ++i) {
          if (IsLineTerminator(text_[i])) newline_ = line_start_ = true;
        }
        pos_ = close + 2;
      } else if (text_.substr(pos_).starts_with(u"<!--") || (line_start_ && text_.substr(pos_).starts_with(u"-->"))) {
        SkipLine();
      } else {
        return true;
      }
    }
    return false;
  }

  void SkipLine() {
    while (pos_ < text_.size() && !IsLineTerminator(text_[pos_])) ++pos_;
  }

  bool RegExpAllowed() const {
    if (tokens_.empty()) return true;
    const Token& last = tokens_.back();
    std::u16string_view word = last.TextIn(text_);
    switch (last.kind) {
      case TokenKind::Name:
      case TokenKind::Number:
      case TokenKind::String:
      case TokenKind::RegExp: return false;
      case TokenKind::Keyword: return word != u"this" && word != u"true" && word != u"false" && word != u"null";
      case TokenKind::Punctuator:
        if (word == u")") return last.statement_paren;
        return word != u"]";
    }
    return true;
  }

  bool ScanToken() {
    size_t begin = pos_;
    char16_t c = text_[pos_];
    TokenKind kind = TokenKind::Punctuator;
    if (IsNameStart(c)) {
      while (pos_ < text_.size() && IsNamePart(text_[pos_])) ++pos_;
      kind = IsReservedWord(text_.substr(begin, pos_ - begin)) ? TokenKind::Keyword : TokenKind::Name;
    } else if (IsDigit(c) || (c == u'.' && IsDigit(At(pos_ + 1)))) {
      ScanNumber();
      kind = TokenKind::Number;
    } else if (c == u'"' || c == u'\'') {
      if (!ScanString(c)) return false;
      kind = TokenKind::String;
    } else if (c == u'/' && RegExpAllowed()) {
      if (!ScanRegExp()) return false;
      kind = TokenKind::RegExp;
    } else {
      ScanPunctuator();
    }
    Push(kind, begin);
    return true;
  }

  void ScanNumber() {
    bool hex = text_[pos_] == u'0' && (At(pos_ + 1) == u'x' || At(pos_ + 1) == u'X');
    while (pos_ < text_.size()) {
      char16_t c = text_[pos_];
      bool exponent_sign = !hex && (c == u'+' || c == u'-') && (At(pos_ - 1) == u'e' || At(pos_ - 1) == u'E');
      if (!IsNamePart(c) && c != u'.' && !exponent_sign) break;
      ++pos_;
    }
  }

  bool ScanString(char16_t quote) {
    ++pos_;
    while (pos_ < text_.size()) {
      char16_t c = text_[pos_];
      if (c == quote) {
        ++pos_;
        return true;
      }
      if (c == u'\\') {
        pos_ += (At(pos_ + 1) == u'\r' && At(pos_ + 2) == u'\n') ? 3 : 2;
        continue;
      }
      if (IsLineTerminator(c)) return false;
      ++pos_;
    }
    return false;
  }

  bool ScanRegExp() {
    ++pos_;
    bool in_class = false;
    while (pos_ < text_.size()) {
      char16_t c = text_[pos_];
      if (IsLineTerminator(c)) return false;
      ++pos_;
      if (c == u'\\') {
        ++pos_;
      } else if (c == u'[') {
        in_class = true;
      } else if (c == u']') {
        in_class = false;
      } else if (c == u'/' && !in_class) {
        while (pos_ < text_.size() && IsNamePart(text_[pos_])) ++pos_;  // flags
        return true;
      }
    }
    return false;
  }

  void ScanPunctuator() {
    std::u16string_view rest = text_.substr(pos_);
    for (std::u16string_view punctuator : kPunctuators) {
      if (rest.starts_with(punctuator)) {
        pos_ += punctuator.size();
        return;
      }
    }
    ++pos_;
  }

  void Push(TokenKind kind, size_t begin) {
    Token token{kind, begin, pos_, newline_};
    newline_ = false;
    line_start_ = false;
    size_t index = tokens_.size();
    if (kind == TokenKind::Punctuator && token.end == begin + 1) Pair(token, index, text_[begin]);
    tokens_.push_back(token);
  }

  // Brackets: an opener goes on the stack, a closer takes its partner from it.
  void Pair(Token& token, size_t index, char16_t c) {
    if (c == u'(' || c == u'[' || c == u'{') {
      if (c == u'(' && !tokens_.empty() && tokens_.back().kind == TokenKind::Keyword) {
        token.statement_paren = IsStatementKeyword(tokens_.back().TextIn(text_));
      }
      if (c == u'(' && tokens_.size() >= 2 && tokens_.back().kind == TokenKind::Name &&
          tokens_[tokens_.size() - 2].TextIn(text_) == u"function") {
        token.statement_paren = true;
      }
      open_.push_back(index);
      return;
    }
    char16_t opener = c == u')' ? u'(' : c == u']' ? u'[' : c == u'}' ? u'{' : u'\0';
    if (opener == u'\0' || open_.empty() || text_[tokens_[open_.back()].begin] != opener) return;
    size_t partner = open_.back();
    open_.pop_back();
    token.partner = partner;
    token.statement_paren = tokens_[partner].statement_paren;
    tokens_[partner].partner = index;
  }

  std::u16string_view text_;
  size_t pos_ = 0;
  bool newline_ = false;
  bool line_start_ = true;
  std::vector<Token> tokens_;
  std::vector<size_t> open_;
};

}  // namespace

std::vector<Token> ScanScript(std::u16string_view text) { return Scanner(text).Scan(); }

bool IsReservedWord(std::u16string_view word) {
  return std::find(std::begin(kReservedWords), std::end(kReservedWords), word) != std::end(kReservedWords);
}

}  // namespace jscript
