#include "wendrel/common/byte_string.h"

#include <gtest/gtest.h>

#include <string>

TEST(ByteString, GrowthDoublesBelowLimitAndAddsMarginAbove) {
  ByteString small;
  small.Reserve(100);
  EXPECT_EQ(small.capacity(), 200u);
  ByteString large;
  large.Reserve(20000);
  EXPECT_EQ(large.capacity(), 20010u);
  large.Reserve(20005);  // already fits: no change
  EXPECT_EQ(large.capacity(), 20010u);
}

TEST(ByteString, AppendKeepsTerminatorAndLength) {
  ByteString text("GET ");
  text.Append("/index.asp");
  text.Append(' ');
  EXPECT_EQ(text.view(), "GET /index.asp ");
  EXPECT_EQ(text.c_str()[text.size()], '\0');
  text.Append(text.view());  // appending itself survives growth
  EXPECT_EQ(text.view(), "GET /index.asp GET /index.asp ");
}

TEST(ByteString, LengthIsRecomputedAfterDirectWrites) {
  ByteString text;
  text.Reserve(16);
  std::snprintf(text.MutableData(), text.capacity() + 1, "%s", "written");
  text.InvalidateLength();
  EXPECT_EQ(text.size(), 7u);
}

TEST(ByteString, EmptyConvertsToNullBstr) {
  ByteString empty;
  EXPECT_EQ(empty.ToBstr().get(), nullptr);
  EXPECT_STREQ(empty.c_str(), "");
}

TEST(ByteString, ConvertsThroughTheAnsiCodePage) {
  ByteString text("caf\xE9 \x80");
  EXPECT_EQ(text.ToBstr().view(), u"caf\u00E9 \u20AC");
  EXPECT_EQ(ByteString::FromText(u"caf\u00E9 \u20AC").view(), "caf\xE9 \x80");
  EXPECT_EQ(ByteString::FromText(u"\u00E9", CP_UTF8).view(), "\xC3\xA9");
}

TEST(ByteStringSearch, FindsWithAndWithoutCase) {
  struct Case {
    std::string haystack;
    std::string needle;
    size_t from;
    CaseSensitivity sensitivity;
    size_t expected;
  } cases[] = {
      {"Content-Type: text/html", "text", 0, CaseSensitivity::Sensitive, 14},
      {"Content-Type: text/html", "TEXT", 0, CaseSensitivity::Sensitive, ByteString::npos},
      {"Content-Type: text/html", "TEXT", 0, CaseSensitivity::Insensitive, 14},
      {"\r\n\r\n", "\r\n\r\n", 0, CaseSensitivity::Sensitive, 0},
      {"abcabcabd", "abd", 0, CaseSensitivity::Sensitive, 6},
      {"aaaa", "aa", 1, CaseSensitivity::Sensitive, 1},
      {"abc", "", 3, CaseSensitivity::Sensitive, 3},
      {"abc", "", 4, CaseSensitivity::Sensitive, ByteString::npos},
      {"ab", "abc", 0, CaseSensitivity::Sensitive, ByteString::npos},
      {"abc", "c", 5, CaseSensitivity::Sensitive, ByteString::npos},
      {"STRASSE \xC9t\xE9", "\xE9T\xC9", 0, CaseSensitivity::Insensitive, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.haystack + " / " + c.needle);
    EXPECT_EQ(FindBytes(c.haystack, c.needle, c.from, c.sensitivity), c.expected);
  }
}

TEST(ByteStringSearch, AgreesWithNaiveSearchOnRepetitiveText) {
  std::string haystack;
  for (int i = 0; i < 300; ++i) haystack += (i % 7 == 0) ? "ab" : "a";
  for (const char* needle : {"aab", "aaab", "ba", "abaa", "aaaaaaaab"}) {
    SCOPED_TRACE(needle);
    EXPECT_EQ(FindBytes(haystack, needle, 0, CaseSensitivity::Sensitive), haystack.find(needle));
  }
}

TEST(ByteString, EqualityIgnoringCase) {
  EXPECT_TRUE(BytesEqualIgnoringCase("Keep-Alive", "keep-alive"));
  EXPECT_TRUE(BytesEqualIgnoringCase("\xE9", "\xC9"));
  EXPECT_FALSE(BytesEqualIgnoringCase("close", "closed"));
}
