// Percent-decoding, Base64 and the header date form.
#include <gtest/gtest.h>

#include "wendrel/common/base64.h"
#include "wendrel/common/http_date.h"
#include "wendrel/common/narrow_text.h"
#include "wendrel/common/url_decoding.h"

namespace {

TEST(PercentDecoding, DecodesEscapesAndPlus) {
  struct Case {
    std::string_view encoded;
    std::string_view decoded;
  } cases[] = {
      {"a+b", "a b"},
      {"%41%62", "Ab"},
      {"%zz", "%zz"},          // not an escape: kept
      {"100%", "100%"},
      {"%4", "\x04"},          // one digit at the very end: nothing past the text is read
      {"%4g", "\x04"},         // "%x" stops at the 'g', which is still consumed
      {"%%41", "%A"},
      {"%00x", std::string_view("\0x", 2)},
      {"%C3%B6", "\xC3\xB6"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.encoded);
    EXPECT_EQ(PercentDecoded(c.encoded), c.decoded);
  }
}

TEST(Base64, DecodesCredentialsAndStopsAtPadding) {
  EXPECT_EQ(Base64Decoded("dXNlcjpwYXNz"), "user:pass");
  EXPECT_EQ(Base64Decoded("YQ=="), "a");
  EXPECT_EQ(Base64Decoded("YWI="), "ab");
  EXPECT_EQ(Base64Decoded(" dXNl\r\ncjpw "), "user:p");
  EXPECT_EQ(Base64Decoded("dXNl*garbage"), "use");
  EXPECT_EQ(Base64Decoded(""), "");
}

TEST(HttpDate, HeaderFormAndFileTimes) {
  EXPECT_EQ(FormatHttpDate(784111777), "Sun, 06-Nov-1994 08:49:37 GMT");
  EXPECT_EQ(HttpDateLine("Date:", 0), "Date: Thu, 01-Jan-1970 00:00:00 GMT\r\n");
  std::optional<int64_t> file_time = FileTimeFromUtc(1994, 11, 6, 8, 49, 37);
  ASSERT_TRUE(file_time);
  EXPECT_EQ(TimeFromFileTime(*file_time), 784111777);
  EXPECT_EQ(FileTimeFromTime(784111777), *file_time);
  EXPECT_EQ(FileTimeFromUtc(1601, 1, 1, 0, 0, 0).value(), 0);
  EXPECT_FALSE(FileTimeFromUtc(2023, 2, 29, 0, 0, 0));
  EXPECT_TRUE(FileTimeFromUtc(2024, 2, 29, 0, 0, 0));
  EXPECT_FALSE(FileTimeFromUtc(1600, 1, 1, 0, 0, 0));
  EXPECT_FALSE(FileTimeFromUtc(2020, 1, 1, 24, 0, 0));
}

TEST(NarrowText, HeaderSafeTextHasNoLineBreaks) {
  EXPECT_EQ(HeaderSafeText(std::string_view("a\r\nb\0c", 6)), "a  b c");
  EXPECT_TRUE(StartsWithIgnoringCase("content-length: 5", "CONTENT-LENGTH:"));
  EXPECT_FALSE(StartsWithIgnoringCase("cont", "CONTENT"));
  EXPECT_EQ(UpperCaseBytes("ab\xE9"), "AB\xC9");
}

}  // namespace
