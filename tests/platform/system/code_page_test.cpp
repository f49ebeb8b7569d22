#include "platform/system/code_page.h"

#include <gtest/gtest.h>

TEST(CodePage, Windows1252HighRangeRoundTrips) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  std::u16string text = BytesToText(bytes, kCodePageWindows1252);
  EXPECT_EQ(text[0x80], 0x20AC);  // euro
  EXPECT_EQ(text[0x9F], 0x0178);
  EXPECT_EQ(text[0x81], 0x0081);  // undefined byte keeps its value
  EXPECT_EQ(text[0xE9], 0x00E9);
  EXPECT_EQ(TextToBytes(text, kCodePageWindows1252), bytes);
}

TEST(CodePage, AnsiIsWindows1252AndUnmappableBecomesQuestionMark) {
  EXPECT_EQ(TextToBytes(u"\u20AC", CP_ACP), "\x80");
  EXPECT_EQ(TextToBytes(u"\u4E2D", CP_ACP), "?");
  EXPECT_EQ(TextToBytes(u"\u20AC", kCodePageLatin1), "?");
}

TEST(CodePage, Utf8RoundTripIncludingSurrogatePairs) {
  std::u16string text = u"a\u00E9\u20AC\U0001F600";
  std::string bytes = TextToBytes(text, CP_UTF8);
  EXPECT_EQ(bytes, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(BytesToText(bytes, CP_UTF8), text);
}

TEST(CodePage, InvalidUtf8BecomesReplacementCharacters) {
  struct Case {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"\xC3", u"\uFFFD"},                      // truncated sequence
      {"\xC0\xAF", u"\uFFFD\uFFFD"},            // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
      {"\xF5\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"a\x80" "b", u"a\uFFFDb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    EXPECT_EQ(BytesToText(c.bytes, CP_UTF8), c.text);
  }
}

TEST(CodePage, LoneSurrogateEncodesAsReplacement) {
  std::u16string text(1, static_cast<char16_t>(0xD800));
  EXPECT_EQ(TextToBytes(text, CP_UTF8), "\xEF\xBF\xBD");
}
