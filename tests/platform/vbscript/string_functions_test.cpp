// The string functions: cutting, measuring, case, blanks, building, encoding and the byte
// forms; then searching, replacing, splitting, joining, filtering and comparing.

#include <random>
#include <string>

#include "tests/platform/vbscript/builtin_test_support.h"

namespace {

using namespace builtin_test;

class StringFunctions : public BuiltinTest {};

TEST_F(StringFunctions, LeftRightAndMidCutByCharacters) {
  Expect({
      {u"Left", {S(u"abc"), I(2)}, "String \"ab\""},
      {u"Left", {S(u"abc"), I(5)}, "String \"abc\""},
      {u"Left", {S(u"abc"), I(0)}, "String \"\""},
      {u"Left", {S(u"abc"), D(2.5)}, "String \"ab\""},
      {u"Left", {L(12345), I(2)}, "String \"12\""},
      {u"Right", {S(u"abc"), I(2)}, "String \"bc\""},
      {u"Right", {S(u"abc"), L(100)}, "String \"abc\""},
      {u"Mid", {S(u"abcdef"), I(2), I(3)}, "String \"bcd\""},
      {u"Mid", {S(u"abc"), I(2)}, "String \"bc\""},
      {u"Mid", {S(u"abc"), I(2), Missing()}, "String \"bc\""},
      {u"Mid", {S(u"abc"), I(4)}, "String \"\""},
      {u"Mid", {S(u"abc"), I(3), L(1000)}, "String \"c\""},
  });
}

TEST_F(StringFunctions, CuttingRefusesBadPositionsAndPassesNullOn) {
  Expect({
      {u"Left", {S(u"abc"), I(-1)}, "Error 5"},
      {u"Right", {S(u"abc"), I(-1)}, "Error 5"},
      {u"Mid", {S(u"abc"), I(0)}, "Error 5"},
      {u"Mid", {S(u"abc"), I(1), I(-1)}, "Error 5"},
      {u"Mid", {S(u"abc"), Null()}, "Error 94"},
      {u"Left", {S(u"abc"), Null()}, "Error 94"},
      {u"Left", {Null(), I(1)}, "Null"},
      {u"Right", {Null(), I(1)}, "Null"},
      {u"Mid", {Null(), I(1)}, "Null"},
      {u"Left", {S(u"abc")}, "Error 450"},
      // Mid looks for a Null start or length first, then reads them, then the text.
      {u"Mid", {S(u"abc"), S(u"a"), Null()}, "Error 94"},
      {u"Mid", {S(u"abc"), I(0), Null()}, "Error 94"},
      {u"Mid", {S(u"abc"), Null(), I(-1)}, "Error 94"},
      {u"Mid", {S(u"abc"), S(u"a"), Empty()}, "Error 13"},
      {u"Mid", {Null(), I(-1), I(-1)}, "Error 5"},
  });
}

TEST_F(StringFunctions, LenMeasuresTheTextForm) {
  Expect({
      {u"Len", {S(u"abc")}, "Long 3"},
      {u"Len", {S(u"")}, "Long 0"},
      {u"Len", {Empty()}, "Long 0"},
      {u"Len", {D(1.5)}, "Long 3"},
      {u"Len", {I(-123)}, "Long 4"},
      {u"Len", {B(true)}, "Long 4"},
      {u"Len", {Null()}, "Null"},
      {u"LenB", {S(u"abc")}, "Long 6"},
      {u"LenB", {Null()}, "Null"},
  });
}

TEST_F(StringFunctions, CaseAndTrimming) {
  Expect({
      {u"UCase", {S(u"abc\u00E9")}, "String \"ABC\u00C9\""},
      {u"LCase", {S(u"\u00C4B")}, "String \"\u00E4b\""},
      {u"UCase", {I(12)}, "String \"12\""},
      {u"UCase", {Null()}, "Null"},
      {u"LCase", {Null()}, "Null"},
      {u"Trim", {S(u"  a b  ")}, "String \"a b\""},
      {u"LTrim", {S(u"  a ")}, "String \"a \""},
      {u"RTrim", {S(u" a  ")}, "String \" a\""},
      {u"Trim", {S(u"   ")}, "String \"\""},
      {u"Trim", {S(u"\ta\t")}, "String \"\ta\t\""},
      {u"Trim", {Null()}, "Null"},
  });
}

TEST_F(StringFunctions, SpaceAndStringRepeatACharacter) {
  Expect({
      {u"Space", {I(3)}, "String \"   \""},
      {u"Space", {I(0)}, "String \"\""},
      {u"Space", {I(-1)}, "Error 5"},
      {u"Space", {Null()}, "Error 94"},
      {u"String", {I(3), S(u"ab")}, "String \"aaa\""},
      {u"String", {I(3), I(65)}, "String \"AAA\""},
      {u"String", {I(2), L(321)}, "String \"AA\""},  // 321 Mod 256 = 65
      {u"String", {I(1), I(128)}, "String \"\u20AC\""},
      {u"String", {I(2), Null()}, "Null"},
      {u"String", {I(-1), S(u"a")}, "Error 5"},
      {u"String", {I(2), S(u"")}, "Error 5"},
      {u"String", {I(2), I(-1)}, "Error 5"},
  });
}

TEST_F(StringFunctions, HugeResultsRaiseOutOfStringSpaceBeforeAllocating) {
  const auto too_long = static_cast<int32_t>(kMaxStringLength) + 1;
  Expect({
      {u"Space", {L(too_long)}, "Error 14"},
      {u"String", {L(2147483647), S(u"x")}, "Error 14"},
  });
  Result<Variant> longest = Run(u"Space", {L(static_cast<int32_t>(kMaxStringLength))});
  ASSERT_TRUE(longest.ok());
  EXPECT_EQ(SysStringLen(longest.value().bstrVal), kMaxStringLength);
}

TEST_F(StringFunctions, StrReverseReversesCodeUnits) {
  Expect({
      {u"StrReverse", {S(u"abc")}, "String \"cba\""},
      {u"StrReverse", {S(u"")}, "String \"\""},
      {u"StrReverse", {I(123)}, "String \"321\""},
      {u"StrReverse", {Null()}, "Error 94"},
  });
}

TEST_F(StringFunctions, EscapeEncodesAllButTheUnreservedCharacters) {
  Expect({
      {u"Escape", {S(u"a b+c/\u00E9\u20AC")}, "String \"a%20b+c/%E9%u20AC\""},
      {u"Escape", {S(u"@*_+-./AZaz09")}, "String \"@*_+-./AZaz09\""},
      {u"Escape", {S(u"%&=?\n")}, "String \"%25%26%3D%3F%0A\""},
      {u"Escape", {Null()}, "Null"},
      {u"Unescape", {S(u"a%20b%u20AC%41")}, "String \"a b\u20ACA\""},
      {u"Unescape", {S(u"%zz%")}, "String \"%zz%\""},
      {u"Unescape", {S(u"%u12")}, "String \"%u12\""},
      {u"Unescape", {S(u"%4")}, "String \"%4\""},
      {u"Unescape", {S(u"%e9")}, "String \"\u00E9\""},
      {u"Unescape", {Null()}, "Null"},
  });
}

TEST_F(StringFunctions, UnescapeInvertsEscape) {
  const std::u16string text = u"Grüße, 100% \u4E2D\u6587 & <tags>";
  Result<Variant> escaped = Run(u"Escape", {S(text)});
  ASSERT_TRUE(escaped.ok());
  Result<Variant> back = Run(u"Unescape", {escaped.value()});
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(back.value().StringView(), text);
}

TEST_F(StringFunctions, ByteFunctionsReadTheUtf16LittleEndianBytes) {
  Expect({
      {u"LeftB", {S(u"abc"), I(2)}, "String \"a\""},
      {u"LeftB", {S(u"\u4142"), I(1)}, "String \"B\""},
      {u"RightB", {S(u"abc"), I(2)}, "String \"c\""},
      {u"RightB", {S(u"abc"), I(100)}, "String \"abc\""},
      {u"MidB", {S(u"abc"), I(3), I(2)}, "String \"b\""},
      {u"MidB", {S(u"\u4142"), I(2), I(1)}, "String \"A\""},
      {u"MidB", {S(u"abc"), I(3)}, "String \"bc\""},
      {u"MidB", {S(u"abc"), I(7)}, "String \"\""},
      {u"MidB", {S(u"abc"), I(0)}, "Error 5"},
      {u"LeftB", {S(u"abc"), I(-1)}, "Error 5"},
      {u"LeftB", {Null(), I(1)}, "Null"},
  });
}

TEST_F(StringFunctions, AnOddByteCountKeepsTheLastByteInAUnitOfItsOwn) {
  Result<Variant> three = Run(u"LeftB", {S(u"abc"), I(3)});
  ASSERT_TRUE(three.ok());
  EXPECT_EQ(three.value().StringView(), u"ab");
  Result<Variant> middle = Run(u"MidB", {S(u"\u4142\u4344"), I(2), I(2)});
  ASSERT_TRUE(middle.ok());
  EXPECT_EQ(middle.value().StringView(), u"\u4441");  // bytes 41 44
}

TEST_F(StringFunctions, ArgumentsAreReadThroughReferences) {
  Variant text = S(u"hello");
  Variant count = L(2);
  Expect({
      {u"Left", {Variant::RefTo(&text), Variant::RefTo(&count)}, "String \"he\""},
      {u"Len", {Variant::RefTo(&text)}, "Long 5"},
  });
}

TEST_F(StringFunctions, ObjectsStandForTheirDefaultValueReadOnce) {
  Variant value = S(u"abc");
  FakeDispatch object(value);
  Variant argument = Variant::FromDispatch(&object);
  EXPECT_EQ(Text(u"Left", {argument, I(2)}), "String \"ab\"");
  EXPECT_EQ(object.calls(), 1);
  FakeDispatch null_object(Null());
  EXPECT_EQ(Text(u"Len", {Variant::FromDispatch(&null_object)}), "Null");
  FakeDispatch no_default(Empty());
  no_default.FailWith(DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Text(u"Len", {Variant::FromDispatch(&no_default)}), "Error 438");
}

// ---- Searching ----

class SearchFunctions : public BuiltinTest {};

TEST_F(SearchFunctions, InStrFindsTheFirstOccurrenceFromStart) {
  Expect({
      {u"InStr", {S(u"abcabc"), S(u"c")}, "Long 3"},
      {u"InStr", {I(4), S(u"abcabc"), S(u"c")}, "Long 6"},
      {u"InStr", {S(u"This is a beautiful day!"), S(u"beautiful")}, "Long 11"},
      {u"InStr", {I(7), S(u"This is a beautiful day!"), S(u"i")}, "Long 16"},
      {u"InStr", {S(u"abc"), S(u"x")}, "Long 0"},
      {u"InStr", {S(u"abc"), S(u"")}, "Long 1"},
      {u"InStr", {I(2), S(u"abc"), S(u"")}, "Long 2"},
      {u"InStr", {S(u""), S(u"")}, "Long 0"},
      {u"InStr", {S(u""), S(u"a")}, "Long 0"},
      {u"InStr", {I(4), S(u"abc"), S(u"a")}, "Long 0"},
      {u"InStr", {L(12345), I(3)}, "Long 3"},
      {u"InStr", {Missing(), S(u"abc"), S(u"b")}, "Long 2"},
  });
}

TEST_F(SearchFunctions, InStrCompareModesAndNull) {
  Expect({
      {u"InStr", {I(1), S(u"ABC"), S(u"b"), I(1)}, "Long 2"},
      {u"InStr", {I(1), S(u"ABC"), S(u"b"), I(0)}, "Long 0"},
      {u"InStr", {I(1), S(u"\u00C9T\u00C9"), S(u"\u00E9"), I(1)}, "Long 1"},
      {u"InStr", {I(1), S(u"abc"), S(u"b"), I(2)}, "Error 5"},
      {u"InStr", {I(1), S(u"abc"), S(u"b"), Null()}, "Error 94"},
      {u"InStr", {I(0), S(u"abc"), S(u"a")}, "Error 5"},
      {u"InStr", {Null(), S(u"abc"), S(u"a")}, "Error 94"},
      {u"InStr", {S(u"abc"), Null()}, "Null"},
      {u"InStr", {Null(), S(u"a")}, "Null"},
      {u"InStr", {I(1), Null(), S(u"a")}, "Null"},
  });
}

TEST_F(SearchFunctions, InStrRevFindsTheLastOccurrenceEndingByStart) {
  Expect({
      {u"InStrRev", {S(u"abcabc"), S(u"c")}, "Long 6"},
      {u"InStrRev", {S(u"abcabc"), S(u"c"), I(5)}, "Long 3"},
      {u"InStrRev", {S(u"abcabc"), S(u"bc"), I(5)}, "Long 2"},
      {u"InStrRev", {S(u"abcabc"), S(u"bc"), I(6)}, "Long 5"},
      {u"InStrRev", {S(u"abc"), S(u"")}, "Long 3"},
      {u"InStrRev", {S(u"abc"), S(u""), I(2)}, "Long 2"},
      {u"InStrRev", {S(u""), S(u"a")}, "Long 0"},
      {u"InStrRev", {S(u"abc"), S(u"a"), I(10)}, "Long 0"},
      {u"InStrRev", {S(u"ABC"), S(u"b"), I(-1), I(1)}, "Long 2"},
      {u"InStrRev", {S(u"abc"), S(u"a"), I(0)}, "Error 5"},
      {u"InStrRev", {S(u"abc"), S(u"a"), I(-2)}, "Error 5"},
      {u"InStrRev", {Null(), S(u"a")}, "Error 94"},
      {u"InStrRev", {S(u"a"), Null()}, "Error 94"},
  });
}

TEST_F(SearchFunctions, InStrBCountsBytes) {
  Expect({
      {u"InStrB", {S(u"abc"), S(u"b")}, "Long 3"},
      {u"InStrB", {I(2), S(u"abc"), S(u"b")}, "Long 3"},
      {u"InStrB", {I(4), S(u"abc"), S(u"b")}, "Long 0"},
      {u"InStrB", {S(u"abc"), S(u"")}, "Long 1"},
      {u"InStrB", {S(u"\u4142"), S(u"A")}, "Long 0"},
      {u"InStrB", {S(std::u16string_view(u"\u4100\0", 2)), S(u"A")}, "Long 2"},  // 00 41 00 00
      {u"InStrB", {Null(), S(u"a")}, "Null"},
  });
}

// Compares every search against a plain scan of the same texts, for patterns short and long
// (long ones take the rolling-hash path) over a two-letter alphabet full of near matches.
TEST_F(SearchFunctions, SearchesAgreeWithAPlainScan) {
  std::mt19937 random(12345);
  for (int round = 0; round < 200; ++round) {
    std::u16string haystack;
    for (int i = 0; i < 400; ++i) haystack.push_back(random() % 8 == 0 ? u'b' : u'a');
    size_t length = 1 + random() % 60;
    size_t at = random() % (haystack.size() - length);
    std::u16string needle = haystack.substr(at, length);
    if (round % 3 == 0) needle.back() = u'c';  // sometimes absent
    int32_t start = 1 + static_cast<int32_t>(random() % 300);
    SCOPED_TRACE(Utf8(needle) + " from " + std::to_string(start));
    size_t first = haystack.find(needle, start - 1);
    size_t last = haystack.rfind(needle, start - needle.size());
    if (static_cast<size_t>(start) < needle.size()) last = std::u16string::npos;
    EXPECT_EQ(Text(u"InStr", {L(start), S(haystack), S(needle)}),
              "Long " + std::to_string(first == std::u16string::npos ? 0 : first + 1));
    EXPECT_EQ(Text(u"InStrRev", {S(haystack), S(needle), L(start)}),
              "Long " + std::to_string(last == std::u16string::npos ? 0 : last + 1));
  }
}

TEST_F(SearchFunctions, LongPatternsStayLinearOnRepetitiveText) {
  std::u16string haystack(2000000, u'a');
  std::u16string needle = std::u16string(100000, u'a') + u"b";
  EXPECT_EQ(Text(u"InStr", {S(haystack), S(needle)}), "Long 0");
  EXPECT_EQ(Text(u"InStrRev", {S(haystack), S(needle)}), "Long 0");
  EXPECT_EQ(Text(u"InStr", {I(1), S(haystack), S(needle), I(1)}), "Long 0");
  Result<Variant> split = Run(u"Split", {S(haystack), S(needle)});
  ASSERT_TRUE(split.ok());
  EXPECT_EQ(SafeArrayElementCount(split.value().parray), 1u);
}

TEST_F(SearchFunctions, ReplaceSubstitutesFromStartAndDropsWhatIsBefore) {
  Expect({
      {u"Replace", {S(u"aXbXc"), S(u"X"), S(u"-")}, "String \"a-b-c\""},
      {u"Replace", {S(u"aXbXc"), S(u"x"), S(u"-")}, "String \"aXbXc\""},
      {u"Replace", {S(u"aXbXc"), S(u"x"), S(u"-"), I(1), I(-1), I(1)}, "String \"a-b-c\""},
      {u"Replace", {S(u"This is a beautiful day!"), S(u"i"), S(u"##"), I(15)}, "String \"t##ful day!\""},
      {u"Replace", {S(u"This is a beautiful day!"), S(u"i"), S(u"##"), I(1), I(2)},
       "String \"Th##s ##s a beautiful day!\""},
      {u"Replace", {S(u"abc"), S(u"b"), S(u"x"), I(2)}, "String \"xc\""},
      {u"Replace", {S(u"aaaa"), S(u"aa"), S(u"a")}, "String \"aa\""},
      {u"Replace", {S(u"abc"), S(u""), S(u"x")}, "String \"abc\""},
      {u"Replace", {S(u"abc"), S(u"b"), S(u"")}, "String \"ac\""},
      {u"Replace", {S(u"abc"), S(u"b"), S(u"x"), I(5)}, "String \"\""},
      {u"Replace", {S(u"abc"), S(u"b"), S(u"x"), I(1), I(0)}, "String \"abc\""},
      {u"Replace", {S(u""), S(u"b"), S(u"x")}, "String \"\""},
      {u"Replace", {I(1212), I(1), I(3)}, "String \"3232\""},
  });
}

TEST_F(SearchFunctions, ReplaceRefusesBadArgumentsAndNull) {
  Expect({
      {u"Replace", {S(u"abc"), S(u"b"), S(u"x"), I(0)}, "Error 5"},
      {u"Replace", {S(u"abc"), S(u"b"), S(u"x"), I(1), I(-2)}, "Error 5"},
      {u"Replace", {S(u"abc"), S(u"b"), S(u"x"), I(1), I(-1), I(3)}, "Error 5"},
      {u"Replace", {Null(), S(u"a"), S(u"b")}, "Error 94"},
      {u"Replace", {S(u"abc"), Null(), S(u"b")}, "Error 94"},
      {u"Replace", {S(u"abc"), S(u"a"), Null()}, "Error 94"},
  });
}

TEST_F(SearchFunctions, ReplaceFailsCleanlyWhenTheResultWouldBeTooLong) {
  std::u16string text(1000, u'a');
  std::u16string replacement(100000, u'b');
  EXPECT_EQ(Text(u"Replace", {S(text), S(u"a"), S(replacement)}), "Error 14");
}

TEST_F(SearchFunctions, SplitCutsAtTheDelimiter) {
  Expect({
      {u"Split", {S(u"a,b,c"), S(u",")}, "Variant(String \"a\", String \"b\", String \"c\")"},
      {u"Split", {S(u"a b")}, "Variant(String \"a\", String \"b\")"},
      {u"Split", {S(u"a,,b"), S(u",")}, "Variant(String \"a\", String \"\", String \"b\")"},
      {u"Split", {S(u",a,"), S(u",")}, "Variant(String \"\", String \"a\", String \"\")"},
      {u"Split", {S(u"a,b,c"), S(u","), I(2)}, "Variant(String \"a\", String \"b,c\")"},
      {u"Split", {S(u"a,b,c"), S(u","), I(1)}, "Variant(String \"a,b,c\")"},
      {u"Split", {S(u"a,b"), S(u","), I(0)}, "Variant()"},
      {u"Split", {S(u""), S(u",")}, "Variant()"},
      {u"Split", {S(u"abc"), S(u"")}, "Variant(String \"abc\")"},
      {u"Split", {S(u"aXbxc"), S(u"x"), I(-1), I(1)}, "Variant(String \"a\", String \"b\", String \"c\")"},
      {u"Split", {S(u"a<>b"), S(u"<>")}, "Variant(String \"a\", String \"b\")"},
      {u"Split", {S(u"a b"), Missing(), I(1)}, "Variant(String \"a b\")"},
      {u"Split", {L(102), I(0)}, "Variant(String \"1\", String \"2\")"},
      {u"Split", {Null()}, "Error 94"},
      {u"Split", {S(u"a"), S(u","), I(-2)}, "Error 5"},
  });
}

TEST_F(SearchFunctions, SplitOfTheEmptyStringHasUpperBoundMinusOne) {
  Result<Variant> parts = Run(u"Split", {S(u"")});
  ASSERT_TRUE(parts.ok());
  EXPECT_EQ(parts.value().vt, VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(SafeArrayUpperBound(parts.value().parray, 1).value(), -1);
}

TEST_F(SearchFunctions, JoinConcatenatesTheElementsTextForms) {
  Result<Variant> letters = Run(u"Array", {S(u"a"), S(u"b"), S(u"c")});
  Result<Variant> mixed = Run(u"Array", {I(1), D(2.5), B(true), Empty()});
  Result<Variant> none = Run(u"Array");
  Result<Variant> with_null = Run(u"Array", {S(u"a"), Null()});
  ASSERT_TRUE(letters.ok() && mixed.ok() && none.ok() && with_null.ok());
  Expect({
      {u"Join", {letters.value()}, "String \"a b c\""},
      {u"Join", {letters.value(), S(u", ")}, "String \"a, b, c\""},
      {u"Join", {letters.value(), S(u"")}, "String \"abc\""},
      {u"Join", {mixed.value(), S(u"-")}, "String \"1-2.5-True-\""},
      {u"Join", {none.value(), S(u",")}, "String \"\""},
      {u"Join", {with_null.value()}, "Error 94"},
      {u"Join", {S(u"abc")}, "Error 13"},
      {u"Join", {letters.value(), Null()}, "Error 94"},
  });
}

TEST_F(SearchFunctions, JoinReadsArraysOfStringsAndRefusesSeveralDimensions) {
  SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 1, 2);
  for (int32_t i = 1; i <= 2; ++i) ASSERT_TRUE(SafeArrayPutElement(strings, &i, 1, S(i == 1 ? u"x" : u"y")).ok());
  Variant string_array = Variant::FromArray(VT_BSTR, strings);
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  Variant matrix = Variant::FromArray(VT_VARIANT, SafeArrayCreate(VT_VARIANT, 2, bounds));
  Expect({
      {u"Join", {string_array, S(u"+")}, "String \"x+y\""},
      {u"Join", {matrix}, "Error 5"},
  });
}

TEST_F(SearchFunctions, JoinReadsNumberArraysAndStopsAtTheLengthLimit) {
  SAFEARRAY* numbers = SafeArrayCreateVector(VT_I4, 0, 3);
  for (int32_t i = 0; i < 3; ++i) ASSERT_TRUE(SafeArrayPutElement(numbers, &i, 1, L(i + 1)).ok());
  Variant number_array = Variant::FromArray(VT_I4, numbers);
  EXPECT_EQ(Text(u"Join", {number_array}), "String \"1 2 3\"");
  // Two references to one string of just over half the limit: the second cannot fit.
  Variant half = S(std::u16string(kMaxStringLength / 2 + 1, u'x'));
  Variant twice = Variant::FromArray(VT_VARIANT, SafeArrayCreateVector(VT_VARIANT, 0, 2));
  for (int32_t i = 0; i < 2; ++i) static_cast<VARIANT*>(twice.parray->pvData)[i] = Variant::RefTo(&half).Detach();
  EXPECT_EQ(Text(u"Join", {twice, S(u"")}), "Error 14");
}

TEST_F(SearchFunctions, FilterKeepsTheElementsThatContainTheValue) {
  Result<Variant> fruit = Run(u"Array", {S(u"apple"), S(u"Banana"), S(u"cherry")});
  ASSERT_TRUE(fruit.ok());
  Expect({
      {u"Filter", {fruit.value(), S(u"an")}, "Variant(String \"Banana\")"},
      {u"Filter", {fruit.value(), S(u"an"), B(false)}, "Variant(String \"apple\", String \"cherry\")"},
      {u"Filter", {fruit.value(), S(u"B")}, "Variant(String \"Banana\")"},
      {u"Filter", {fruit.value(), S(u"b"), B(true), I(1)}, "Variant(String \"Banana\")"},
      {u"Filter", {fruit.value(), S(u"zz")}, "Variant()"},
      {u"Filter", {fruit.value(), S(u"")}, "Variant(String \"apple\", String \"Banana\", String \"cherry\")"},
      {u"Filter", {S(u"abc"), S(u"a")}, "Error 13"},
      {u"Filter", {fruit.value(), Null()}, "Error 94"},
  });
}

TEST_F(SearchFunctions, StrCompOrdersBinaryOrIgnoringCase) {
  Expect({
      {u"StrComp", {S(u"a"), S(u"b")}, "Integer -1"},
      {u"StrComp", {S(u"b"), S(u"a")}, "Integer 1"},
      {u"StrComp", {S(u"a"), S(u"a")}, "Integer 0"},
      {u"StrComp", {S(u"a"), S(u"A")}, "Integer 1"},
      {u"StrComp", {S(u"a"), S(u"A"), I(1)}, "Integer 0"},
      {u"StrComp", {S(u"abc"), S(u"ab")}, "Integer 1"},
      {u"StrComp", {I(10), S(u"9")}, "Integer -1"},
      {u"StrComp", {Null(), S(u"a")}, "Null"},
      {u"StrComp", {S(u"a"), S(u"b"), I(2)}, "Error 5"},
  });
}

}  // namespace
