#include "platform/automation/bstr.h"

#include <gtest/gtest.h>

TEST(Bstr, NullEqualsEmpty) {
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(BstrView(nullptr), u"");
  Bstr empty(u"");
  EXPECT_EQ(Bstr(), empty);
}

TEST(Bstr, KeepsEmbeddedNulAndLength) {
  const char16_t text[] = {u'a', 0, u'b'};
  Bstr value(std::u16string_view(text, 3));
  EXPECT_EQ(value.size(), 3u);
  EXPECT_EQ(value.get()[3], 0);  // always terminated
}

TEST(Bstr, AppendGrowsAndKeepsContents) {
  BSTR text = nullptr;
  std::u16string expected;
  for (int i = 0; i < 1000; ++i) {
    ASSERT_TRUE(BstrAppend(&text, u"piece"));
    expected += u"piece";
  }
  EXPECT_EQ(BstrView(text), expected);
  SysFreeString(text);
}

TEST(Bstr, AppendOfItselfSurvivesReallocation) {
  BSTR text = SysAllocString(u"abc");
  ASSERT_TRUE(BstrAppend(&text, BstrView(text)));
  ASSERT_TRUE(BstrAppend(&text, BstrView(text)));
  EXPECT_EQ(BstrView(text), u"abcabcabcabc");
  SysFreeString(text);
}

TEST(Bstr, RefusesLengthsPastTheLimit) {
  EXPECT_EQ(SysAllocStringLen(nullptr, kMaxBstrLength + 1), nullptr);
  BSTR text = SysAllocString(u"x");
  std::u16string_view huge(u"y", 1);
  // A request whose total would pass the limit fails and leaves the string as it was.
  std::u16string_view oversized(huge.data(), static_cast<size_t>(kMaxBstrLength));
  EXPECT_FALSE(BstrAppend(&text, oversized));
  EXPECT_EQ(BstrView(text), u"x");
  SysFreeString(text);
}

TEST(Bstr, ReAllocReplacesContents) {
  BSTR text = SysAllocString(u"old");
  ASSERT_TRUE(SysReAllocStringLen(&text, u"newer", 5));
  EXPECT_EQ(BstrView(text), u"newer");
  SysFreeString(text);
}
