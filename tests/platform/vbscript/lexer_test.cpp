#include "platform/vbscript/lexer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/platform/vbscript/script_test_site.h"

namespace vbscript {
namespace {

using vbscript_test::Widen;

std::vector<Token> Lex(std::string_view text) { return Tokenize(Widen(text)); }

std::vector<TokenKind> Kinds(std::string_view text) {
  std::vector<TokenKind> kinds;
  for (const Token& token : Lex(text)) kinds.push_back(token.kind);
  return kinds;
}

TEST(Lexer, EndsWithOneEndOfInputToken) {
  std::vector<Token> tokens = Lex("");
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0].kind, TokenKind::EndOfInput);
}

TEST(Lexer, OperatorsAndPunctuation) {
  EXPECT_EQ(Kinds("= <> < > <= >= & + - * / \\ ^ . , ( ) :"),
            (std::vector<TokenKind>{TokenKind::Equal, TokenKind::NotEqual, TokenKind::Less, TokenKind::Greater,
                                    TokenKind::LessEqual, TokenKind::GreaterEqual, TokenKind::Ampersand,
                                    TokenKind::Plus, TokenKind::Minus, TokenKind::Star, TokenKind::Slash,
                                    TokenKind::Backslash, TokenKind::Caret, TokenKind::Dot, TokenKind::Comma,
                                    TokenKind::LeftParen, TokenKind::RightParen, TokenKind::Colon,
                                    TokenKind::EndOfInput}));
}

TEST(Lexer, KeywordsIgnoreCase) {
  std::vector<Token> tokens = Lex("eLsEiF END wend");
  EXPECT_TRUE(tokens[0].Is(Keyword::ElseIf));
  EXPECT_TRUE(tokens[1].Is(Keyword::End));
  EXPECT_TRUE(tokens[2].Is(Keyword::Wend));
}

TEST(Lexer, AWordAfterADotIsAMemberNameEvenWhenReserved) {
  std::vector<Token> tokens = Lex("Response.End x.Class");
  EXPECT_EQ(tokens[2].kind, TokenKind::Identifier);
  EXPECT_EQ(tokens[2].text, u"End");
  EXPECT_EQ(tokens[5].kind, TokenKind::Identifier);
  EXPECT_EQ(tokens[5].text, u"Class");
}

TEST(Lexer, WordsWithAMeaningInOnePlaceStayIdentifiers) {
  std::vector<Token> tokens = Lex("Step Default Explicit Preserve Error");
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(tokens[i].kind, TokenKind::Identifier) << i;
  EXPECT_TRUE(tokens[0].IsWord(u"STEP"));
}

TEST(Lexer, IntegersTakeTheNarrowestType) {
  struct Case {
    const char* text;
    VARTYPE type;
    double value;
  };
  const Case cases[] = {
      {"0", VT_I2, 0}, {"32767", VT_I2, 32767}, {"32768", VT_I4, 32768},
      {"2147483647", VT_I4, 2147483647.0}, {"2147483648", VT_R8, 2147483648.0},
      {"1.5", VT_R8, 1.5}, {"1e3", VT_R8, 1000}, {".25", VT_R8, 0.25}, {"2.5E-1", VT_R8, 0.25},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<Token> tokens = Lex(c.text);
    ASSERT_EQ(tokens[0].kind, TokenKind::Number);
    EXPECT_EQ(tokens[0].value.vt, c.type);
    EXPECT_DOUBLE_EQ(ToDouble(tokens[0].value).value(), c.value);
  }
}

TEST(Lexer, HexAndOctalLiteralsAreTwosComplementIntegersOfTheirDigitsWidth) {
  struct Case {
    const char* text;
    VARTYPE type;
    int32_t value;
  };
  const Case cases[] = {
      {"&HFF", VT_I2, 255}, {"&H7FFF", VT_I2, 32767}, {"&HFFFF", VT_I4, -1}, {"&H8000", VT_I4, -32768},
      {"&HFFFF&", VT_I4, 65535}, {"&H10000", VT_I4, 65536}, {"&HFFFFFFFF", VT_I4, -1},
      {"&HFF&", VT_I2, 255}, {"&HFFFFFFFF&", VT_I2, -1}, {"&H8000&", VT_I4, 32768},
      {"&O17", VT_I2, 15}, {"&h1f", VT_I2, 31}, {"&17", VT_I2, 15}, {"&O177777", VT_I4, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<Token> tokens = Lex(c.text);
    ASSERT_EQ(tokens[0].kind, TokenKind::Number);
    EXPECT_EQ(tokens[0].value.vt, c.type);
    EXPECT_EQ(ToInt32(tokens[0].value).value(), c.value);
  }
}

TEST(Lexer, StringsDoubleTheirQuotes) {
  std::vector<Token> tokens = Lex("\"say \"\"hi\"\"\" \"\"");
  ASSERT_EQ(tokens[0].kind, TokenKind::String);
  EXPECT_EQ(tokens[0].text, u"say \"hi\"");
  EXPECT_EQ(tokens[1].kind, TokenKind::String);
  EXPECT_EQ(tokens[1].text, u"");
}

TEST(Lexer, DateLiteralsReadMonthBeforeDay) {
  std::vector<Token> tokens = Lex("#1/2/2003#");
  ASSERT_EQ(tokens[0].kind, TokenKind::Date);
  EXPECT_EQ(tokens[0].value.vt, VT_DATE);
  EXPECT_DOUBLE_EQ(tokens[0].value.date, 37623.0);  // January 2, 2003
}

TEST(Lexer, BracketedNamesMayHoldAnything) {
  std::vector<Token> tokens = Lex("[my var] [End]");
  EXPECT_EQ(tokens[0].kind, TokenKind::Identifier);
  EXPECT_EQ(tokens[0].text, u"my var");
  EXPECT_EQ(tokens[1].kind, TokenKind::Identifier);
  EXPECT_EQ(tokens[1].text, u"End");
}

TEST(Lexer, CommentsRunToTheLineEnd) {
  EXPECT_EQ(Kinds("x ' note\nRem more text\ny"),
            (std::vector<TokenKind>{TokenKind::Identifier, TokenKind::Newline, TokenKind::Newline,
                                    TokenKind::Identifier, TokenKind::EndOfInput}));
}

TEST(Lexer, LineContinuationJoinsLines) {
  std::vector<Token> tokens = Lex("a = 1 + _\n  2");
  EXPECT_EQ(tokens[4].kind, TokenKind::Number);
  EXPECT_EQ(tokens[4].position.line, 2u);
  EXPECT_EQ(tokens[4].position.column, 2u);
  EXPECT_TRUE(tokens[4].space_before);
}

TEST(Lexer, AByteOrderMarkIsABlank) {
  std::vector<Token> tokens = Tokenize(u"\uFEFFx = 1");
  EXPECT_EQ(tokens[0].kind, TokenKind::Identifier);
  EXPECT_EQ(tokens[0].text, u"x");
}

TEST(Lexer, PositionsCountLinesFromOneAndColumnsFromZero) {
  std::vector<Token> tokens = Lex("a\r\n  bb\rc");
  EXPECT_EQ(tokens[0].position.line, 1u);
  EXPECT_EQ(tokens[2].position.line, 2u);
  EXPECT_EQ(tokens[2].position.column, 2u);
  EXPECT_EQ(tokens[4].position.line, 3u);
}

TEST(Lexer, FaultsBecomeInvalidTokensWithTheirErrors) {
  struct Case {
    const char* text;
    ErrorNumber error;
    uint32_t column;
  };
  const Case cases[] = {
      {"x = \"open", ErrorNumber::UnterminatedString, 4},
      {"x = 1 ? 2", ErrorNumber::InvalidCharacter, 6},
      {"x = [open", ErrorNumber::ExpectedCloseBracket, 9},
      {"x = &HFFFFFFFFF", ErrorNumber::InvalidNumber, 4},
      {"x = #not a date#", ErrorNumber::SyntaxError, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<Token> tokens = Lex(c.text);
    auto fault = std::find_if(tokens.begin(), tokens.end(),
                              [](const Token& token) { return token.kind == TokenKind::Invalid; });
    ASSERT_NE(fault, tokens.end());
    EXPECT_EQ(fault->error, c.error);
    EXPECT_EQ(fault->position.column, c.column);
  }
}

TEST(Lexer, IdentifiersLongerThanTheLimitAreRefused) {
  std::string longest(kMaxIdentifierLength, 'a');
  EXPECT_EQ(Lex(longest)[0].kind, TokenKind::Identifier);
  std::vector<Token> tokens = Lex(longest + "a");
  EXPECT_EQ(tokens[0].kind, TokenKind::Invalid);
  EXPECT_EQ(tokens[0].error, ErrorNumber::IdentifierTooLong);
}

TEST(Lexer, KeywordTableSpellsEveryKeyword) {
  EXPECT_EQ(KeywordText(Keyword::ElseIf), u"ElseIf");
  EXPECT_EQ(KeywordText(Keyword::Xor), u"Xor");
  EXPECT_TRUE(KeywordText(Keyword::None).empty());
}

}  // namespace
}  // namespace vbscript
