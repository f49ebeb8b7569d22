#include "platform/vbscript/lexer.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "platform/automation/date_time.h"
#include "platform/automation/locale.h"
#include "platform/automation/text_case.h"

namespace vbscript {
namespace {

struct KeywordEntry {
  std::u16string_view text;
  Keyword keyword;
};

constexpr KeywordEntry kKeywords[] = {
#define VBSCRIPT_KEYWORD_ENTRY(name) {u"" #name, Keyword::name},
    VBSCRIPT_KEYWORDS(VBSCRIPT_KEYWORD_ENTRY)
#undef VBSCRIPT_KEYWORD_ENTRY
};

// Date literals are always read in the invariant US form (month before day).
constexpr LCID kDateLiteralLocale = 1033;

Keyword FindKeyword(std::u16string_view word) {
  for (const KeywordEntry& entry : kKeywords) {
    if (entry.text.size() == word.size() && EqualsIgnoringCase(entry.text, word)) {
      return entry.keyword;
    }
  }
  return Keyword::None;
}

bool IsLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
         (c >= 0xC0 && c != 0xD7 && c != 0xF7 && c != 0xFEFF);
}
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsIdentifierChar(char16_t c) { return IsLetter(c) || IsDigit(c) || c == u'_'; }
// A byte-order mark reads as a blank, wherever a host left one.
bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\f' || c == u'\v' || c == 0xA0 || c == 0xFEFF;
}
bool IsLineEnd(char16_t c) { return c == u'\r' || c == u'\n'; }

int HexDigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}
bool IsRadixDigit(char16_t c, int radix) {
  int digit = HexDigitValue(c);
  return digit >= 0 && digit < radix;
}

class Lexer {
 public:
  explicit Lexer(std::u16string_view text) : text_(text) {}

  std::vector<Token> Run() {
    while (true) {
      continued_ = false;
      bool space = SkipBlanks();
      Token token = Next();
      token.space_before = space;
      token.after_continuation = continued_;
      bool done = token.kind == TokenKind::EndOfInput;
      tokens_.push_back(std::move(token));
      if (done) return std::move(tokens_);
    }
  }

 private:
  char16_t Peek(size_t ahead = 0) const {
    return position_ + ahead < text_.size() ? text_[position_ + ahead] : u'\0';
  }
  bool AtEnd() const { return position_ >= text_.size(); }
  SourcePosition Here() const {
    return {line_, static_cast<uint32_t>(position_ - line_start_)};
  }

  Token Make(TokenKind kind, SourcePosition where) {
    Token token;
    token.kind = kind;
    token.position = where;
    return token;
  }
  Token Fault(ErrorNumber error, SourcePosition where) {
    Token token = Make(TokenKind::Invalid, where);
    token.error = error;
    return token;
  }

  void SkipToLineEnd() {
    while (!AtEnd() && !IsLineEnd(Peek())) ++position_;
  }

  // Skips blanks and line continuations (" _" before a line end); true when anything was
  // skipped.
  bool SkipBlanks() {
    bool skipped = false;
    while (!AtEnd()) {
      if (IsBlank(Peek())) {
        ++position_;
        skipped = true;
        continue;
      }
      if (Peek() == u'_' && ContinuationFollows()) {
        ConsumeContinuation();
        skipped = true;
        continued_ = true;
        continue;
      }
      return skipped;
    }
    return skipped;
  }

  // '_' followed by blanks and a line end.
  bool ContinuationFollows() const {
    size_t i = position_ + 1;
    while (i < text_.size() && IsBlank(text_[i])) ++i;
    return i >= text_.size() || IsLineEnd(text_[i]);
  }
  void ConsumeContinuation() {
    ++position_;
    while (!AtEnd() && IsBlank(Peek())) ++position_;
    ConsumeLineEnd();
  }
  void ConsumeLineEnd() {
    if (Peek() == u'\r') ++position_;
    if (Peek() == u'\n') ++position_;
    ++line_;
    line_start_ = position_;
  }

  bool AfterDot() const {
    return !tokens_.empty() && tokens_.back().kind == TokenKind::Dot;
  }

  Token Next();
  Token LexWord(SourcePosition where);
  Token LexBracketedName(SourcePosition where);
  Token LexString(SourcePosition where);
  Token LexDate(SourcePosition where);
  Token LexDecimal(SourcePosition where);
  Token LexRadix(SourcePosition where, int bits_per_digit, size_t prefix_length);
  Token LexOperator(SourcePosition where);

  std::u16string_view text_;
  size_t position_ = 0;
  size_t line_start_ = 0;
  uint32_t line_ = 1;
  bool continued_ = false;
  std::vector<Token> tokens_;
};

Token Lexer::Next() {
  SourcePosition where = Here();
  if (AtEnd()) return Make(TokenKind::EndOfInput, where);
  char16_t c = Peek();
  if (IsLineEnd(c)) {
    ConsumeLineEnd();
    return Make(TokenKind::Newline, where);
  }
  if (c == u'\'') {
    SkipToLineEnd();
    return Next();
  }
  if (IsLetter(c)) return LexWord(where);
  if (c == u'[') return LexBracketedName(where);
  if (c == u'"') return LexString(where);
  if (c == u'#') return LexDate(where);
  if (IsDigit(c)) return LexDecimal(where);
  // A member name never starts with a digit, so ".5" is a number even right after a name
  // ("Show.5" passes 0.5 to Show).
  if (c == u'.' && IsDigit(Peek(1))) return LexDecimal(where);
  // &H1F, &O17 and &17 are numbers only when a digit of their radix follows; "a"&h&"b" and
  // "a"&op&"b" concatenate.
  if (c == u'&' && (Peek(1) == u'H' || Peek(1) == u'h') && IsRadixDigit(Peek(2), 16)) {
    return LexRadix(where, 4, 2);
  }
  if (c == u'&' && (Peek(1) == u'O' || Peek(1) == u'o') && IsRadixDigit(Peek(2), 8)) {
    return LexRadix(where, 3, 2);
  }
  if (c == u'&' && IsRadixDigit(Peek(1), 8)) return LexRadix(where, 3, 1);
  return LexOperator(where);
}

Token Lexer::LexWord(SourcePosition where) {
  size_t start = position_;
  while (!AtEnd() && IsIdentifierChar(Peek())) ++position_;
  std::u16string_view word = text_.substr(start, position_ - start);
  if (word.size() > kMaxIdentifierLength) return Fault(ErrorNumber::IdentifierTooLong, where);
  if (!AfterDot()) {
    if (EqualsIgnoringCase(word, u"Rem")) {
      SkipToLineEnd();
      return Next();
    }
    Keyword keyword = FindKeyword(word);
    if (keyword != Keyword::None) {
      Token token = Make(TokenKind::Keyword, where);
      token.keyword = keyword;
      token.text = word;
      return token;
    }
  }
  Token token = Make(TokenKind::Identifier, where);
  token.text = word;
  return token;
}

// [any name]: brackets let a name hold spaces or be a reserved word.
Token Lexer::LexBracketedName(SourcePosition where) {
  size_t start = ++position_;
  while (!AtEnd() && Peek() != u']' && !IsLineEnd(Peek())) ++position_;
  if (Peek() != u']') return Fault(ErrorNumber::ExpectedCloseBracket, Here());
  std::u16string_view name = text_.substr(start, position_ - start);
  ++position_;
  if (name.size() > kMaxIdentifierLength) return Fault(ErrorNumber::IdentifierTooLong, where);
  Token token = Make(TokenKind::Identifier, where);
  token.text = name;
  return token;
}

Token Lexer::LexString(SourcePosition where) {
  ++position_;
  std::u16string value;
  while (true) {
    if (AtEnd() || IsLineEnd(Peek())) return Fault(ErrorNumber::UnterminatedString, where);
    char16_t c = Peek();
    ++position_;
    if (c != u'"') {
      value.push_back(c);
      continue;
    }
    if (Peek() != u'"') break;
    value.push_back(u'"');
    ++position_;
  }
  Token token = Make(TokenKind::String, where);
  token.text = std::move(value);
  return token;
}

Token Lexer::LexDate(SourcePosition where) {
  size_t start = ++position_;
  while (!AtEnd() && Peek() != u'#' && !IsLineEnd(Peek())) ++position_;
  if (Peek() != u'#') return Fault(ErrorNumber::SyntaxError, where);
  std::u16string_view body = text_.substr(start, position_ - start);
  ++position_;
  const LocaleInfo* locale = FindLocale(kDateLiteralLocale);
  Result<DATE> date = ParseDate(body, *locale);
  if (!date.ok()) return Fault(ErrorNumber::SyntaxError, where);
  Token token = Make(TokenKind::Date, where);
  token.value = Variant::FromDate(date.value());
  return token;
}

// digits [. digits] [E [+|-] digits], or . digits [...]: an Integer or Long when integral and in
// range, else a Double.
Token Lexer::LexDecimal(SourcePosition where) {
  size_t start = position_;
  bool integral = true;
  while (IsDigit(Peek())) ++position_;
  if (Peek() == u'.' && IsDigit(Peek(1))) {
    integral = false;
    ++position_;
    while (IsDigit(Peek())) ++position_;
  } else if (Peek() == u'.' && !IsLetter(Peek(1))) {
    integral = false;
    ++position_;
  }
  if ((Peek() == u'e' || Peek() == u'E') &&
      (IsDigit(Peek(1)) || ((Peek(1) == u'+' || Peek(1) == u'-') && IsDigit(Peek(2))))) {
    integral = false;
    position_ += 2;
    while (IsDigit(Peek())) ++position_;
  }
  if (IsLetter(Peek()) || Peek() == u'_') return Fault(ErrorNumber::ExpectedEndOfStatement, Here());
  std::string ascii(text_.begin() + start, text_.begin() + position_);
  std::replace(ascii.begin(), ascii.end(), 'E', 'e');
  double number = 0;
  auto [end, status] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), number);
  // A literal too small for a Double is 0; one too large is an error.
  bool underflow = status == std::errc::result_out_of_range && ascii.find("e-") != std::string::npos;
  if (underflow) number = 0;
  if ((status != std::errc() && !underflow) || end != ascii.data() + ascii.size()) {
    return Fault(ErrorNumber::InvalidNumber, where);
  }
  Token token = Make(TokenKind::Number, where);
  if (integral && number <= 32767) {
    token.value = Variant::FromI2(static_cast<int16_t>(number));
  } else if (integral && number <= 2147483647.0) {
    token.value = Variant::FromI4(static_cast<int32_t>(number));
  } else {
    token.value = Variant::FromR8(number);
  }
  return token;
}

// &H..., &O... and &...: up to 16 bits read as a two's complement Integer pattern (&HFFFF is
// -1), more as a 32-bit one (&HFFFFFFFF is -1). The literal is an Integer when its digits are
// at most &H7FFF, else a Long. With a trailing '&' the 32-bit value is read as it is and takes
// the smallest type that holds it (&HFFFF& is the Long 65535, &HFF& the Integer 255).
Token Lexer::LexRadix(SourcePosition where, int bits_per_digit, size_t prefix_length) {
  position_ += prefix_length;
  uint64_t value = 0;
  int radix = 1 << bits_per_digit;
  while (!AtEnd() && IsRadixDigit(Peek(), radix)) {
    value = value * radix + HexDigitValue(Peek());
    ++position_;
    if (value > 0xFFFFFFFFu) return Fault(ErrorNumber::InvalidNumber, where);
  }
  bool suffixed = Peek() == u'&';
  if (suffixed) ++position_;
  int32_t number = static_cast<int32_t>(static_cast<uint32_t>(value));
  bool is_integer = value <= 0x7FFF;
  if (suffixed) {
    is_integer = number >= -32768 && number <= 32767;
  } else if (value <= 0xFFFF) {
    number = static_cast<int16_t>(static_cast<uint16_t>(value));
  }
  Token token = Make(TokenKind::Number, where);
  token.value = is_integer ? Variant::FromI2(static_cast<int16_t>(number)) : Variant::FromI4(number);
  return token;
}

Token Lexer::LexOperator(SourcePosition where) {
  char16_t c = Peek();
  char16_t next = Peek(1);
  ++position_;
  switch (c) {
    case u'=':
      // "=>" and "=<" are ">=" and "<=" written backwards; the language accepts both.
      if (next == u'>') return ++position_, Make(TokenKind::GreaterEqual, where);
      if (next == u'<') return ++position_, Make(TokenKind::LessEqual, where);
      return Make(TokenKind::Equal, where);
    case u'<':
      if (next == u'>') return ++position_, Make(TokenKind::NotEqual, where);
      if (next == u'=') return ++position_, Make(TokenKind::LessEqual, where);
      return Make(TokenKind::Less, where);
    case u'>':
      if (next == u'=') return ++position_, Make(TokenKind::GreaterEqual, where);
      if (next == u'<') return ++position_, Make(TokenKind::NotEqual, where);
      return Make(TokenKind::Greater, where);
    case u'&': return Make(TokenKind::Ampersand, where);
    case u'+': return Make(TokenKind::Plus, where);
    case u'-': return Make(TokenKind::Minus, where);
    case u'*': return Make(TokenKind::Star, where);
    case u'/': return Make(TokenKind::Slash, where);
    case u'\\': return Make(TokenKind::Backslash, where);
    case u'^': return Make(TokenKind::Caret, where);
    case u'.': return Make(TokenKind::Dot, where);
    case u',': return Make(TokenKind::Comma, where);
    case u'(': return Make(TokenKind::LeftParen, where);
    case u')': return Make(TokenKind::RightParen, where);
    case u':': return Make(TokenKind::Colon, where);
    default: return Fault(ErrorNumber::InvalidCharacter, where);
  }
}

}  // namespace

std::u16string_view KeywordText(Keyword keyword) {
  for (const KeywordEntry& entry : kKeywords) {
    if (entry.keyword == keyword) return entry.text;
  }
  return {};
}

bool Token::IsWord(std::u16string_view word) const {
  return kind == TokenKind::Identifier && text.size() == word.size() && EqualsIgnoringCase(text, word);
}

std::vector<Token> Tokenize(std::u16string_view text) { return Lexer(text).Run(); }

}  // namespace vbscript
