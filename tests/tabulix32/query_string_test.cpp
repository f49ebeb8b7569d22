// Query-string and link members of UtilitiesClass, called by name with by-reference arguments,
// and the URL encoding the render methods share.
#include <gtest/gtest.h>

#include <string>

#include "platform/automation/safearray.h"
#include "platform/scriptruntime/dictionary.h"
#include "tabulix32/utilities/link_utilities_internal.h"
#include "tests/tabulix32/utilities_member_call.h"

namespace {

using namespace utilities_test;

constexpr int32_t kInvalidProcedureCall = 5;
constexpr int32_t kOverflow = 6;
constexpr int32_t kSubscriptOutOfRange = 9;
constexpr int32_t kInvalidUseOfNull = 94;
constexpr int32_t kObjectRequired = 424;
constexpr int32_t kObjectDoesNotSupportMember = 438;

class QueryString : public UtilitiesCallTest {};
class LinkValues : public UtilitiesCallTest {};
class EnableLink : public UtilitiesCallTest {};
class ExternalLink : public UtilitiesCallTest {};
class DescriptionField : public UtilitiesCallTest {};
class FirstCollectionEntry : public UtilitiesCallTest {};

// --- getQSVariable ----------------------------------------------------------------------------

TEST_F(QueryString, GetQSVariableJoinsEveryValue) {
  EXPECT_EQ(Text(Get(u"getQSVariable", {S(u"a=1&b=2&a=3"), S(u"a")})), u"1,3");
  EXPECT_EQ(Text(Get(u"getQSVariable", {S(u"b=2"), S(u"a")})), u"");
  EXPECT_EQ(Text(Get(u"getQSVariable", {S(u"ab=1&A=2"), S(u"a")})), u"");
  EXPECT_EQ(Text(Get(u"getQSVariable", {S(u"a=&a=2"), S(u"a")})), u",2");
  EXPECT_EQ(Text(Get(u"getQSVariable", {S(u""), S(u"")})), u"");
}

TEST_F(QueryString, GetQSVariableKeepsEqualsInValuesAndTrimsTheCallersSeparators) {
  Arguments call{S(u"&a=x=y&"), S(u"a")};
  EXPECT_EQ(Text(Get(u"getQSVariable", call)), u"x=y");
  EXPECT_EQ(Text(call[0]), u"a=x=y");
  Arguments untouched{S(u"a=1"), S(u"a")};
  Get(u"getQSVariable", untouched);
  EXPECT_EQ(Text(untouched[0]), u"a=1");
}

TEST_F(QueryString, GetQSVariableComparesANumericNameAsANumber) {
  EXPECT_EQ(Text(Get(u"getQSVariable", {S(u"5=five&6=six"), I(5)})), u"five");
  EXPECT_EQ(Text(Get(u"getQSVariable", {S(u"a=1"), Variant::Null()})), u"");
}

TEST_F(QueryString, GetQSVariableFailsForAMatchWithoutValue) {
  EXPECT_EQ(FailureNumber(u"getQSVariable", {S(u"b=1&a&c=2"), S(u"a")}), kSubscriptOutOfRange);
  EXPECT_EQ(FailureNumber(u"getQSVariable", {Variant::Null(), S(u"a")}), kInvalidUseOfNull);
}

// --- changeQSVariable and setQSVariable -------------------------------------------------------

TEST_F(QueryString, ChangeQSVariable) {
  struct Case {
    std::u16string_view query, name, value, expected;
  } cases[] = {
      {u"page.asp?a=1&b=2", u"a", u"9", u"page.asp?a=9&b=2"},
      {u"a=1&b=2", u"a", u"9", u"a=9&b=2"},
      {u"x=1", u"a", u"9", u"x=1&a=9"},
      {u"", u"a", u"9", u"&a=9"},
      {u"x=1&a=1&a=2", u"a", u"9", u"x=1&a=9&a=2"},   // only the first pair
      {u"p.asp?x=1?a=1?b=2", u"a", u"9", u"p.asp?x=1?a=9&b=2"},
      {u"ba=1&a=2", u"a", u"9", u"ba=1&a=9"},
      {u"a=1", u"a", u"", u"a="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.query));
    EXPECT_EQ(Text(Get(u"changeQSVariable", {S(c.query), S(c.name), S(c.value)})), c.expected);
  }
}

TEST_F(QueryString, SetQSVariable) {
  struct Case {
    std::u16string_view query, name, value, expected;
  } cases[] = {
      {u"x=1", u"a", u"2", u"x=1&a=2"},
      {u"?x=1", u"a", u"2", u"x=1&a=2"},
      {u"page.asp?x=1", u"x", u"2", u"page.asp?x=2"},
      {u"page.asp?x=1", u"a", u"2", u"page.asp&x=1&a=2"},
      {u"", u"a", u"2", u"&a=2"},
      {u"x=1&y=3", u"x", u"2", u"x=2&y=3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.query));
    EXPECT_EQ(Text(Get(u"setQSVariable", {S(c.query), S(c.name), S(c.value)})), c.expected);
  }
}

TEST_F(QueryString, SetQSVariableTakesNullValuesAsEmptyButNotANullQuery) {
  EXPECT_EQ(Text(Get(u"setQSVariable", {S(u"x=1"), S(u"a"), Variant::Null()})), u"x=1&a=");
  EXPECT_EQ(Text(Get(u"setQSVariable", {S(u"x=1"), S(u"a"), I(7)})), u"x=1&a=7");
  EXPECT_EQ(FailureNumber(u"setQSVariable", {Variant::Null(), S(u"a"), S(u"1")}),
            kInvalidUseOfNull);
  EXPECT_EQ(FailureNumber(u"changeQSVariable", {Variant::Null(), S(u"a"), S(u"1")}),
            kInvalidUseOfNull);
}

// --- removeQSVariable -------------------------------------------------------------------------

TEST_F(QueryString, RemoveQSVariable) {
  struct Case {
    std::u16string_view query, name, expected;
  } cases[] = {
      {u"a=1&b=2&c", u"b", u"a=1&c="},
      {u"a=1", u"a", u""},
      {u"a=b=c&d=1", u"d", u"a=b"},
      {u" b =1&c=2", u"b ", u"c=2"},
      {u"b=1&b=2&c=3", u"b", u"c=3"},
      {u"", u"a", u""},
      {u"a=1&&b=2", u"b", u"a=1&="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.query));
    EXPECT_EQ(Text(Get(u"removeQSVariable", {S(c.query), S(c.name)})), c.expected);
  }
}

TEST_F(QueryString, RemoveQSVariableOfNull) {
  EXPECT_EQ(Get(u"removeQSVariable", {Variant::Null(), S(u"a")}).Type(), VT_NULL);
  EXPECT_EQ(Text(Get(u"removeQSVariable", {S(u"a=1&b"), Variant::Null()})), u"a=1&b=");
}

TEST_F(QueryString, LongQueryStringsTakeLinearWork) {
  std::u16string query;
  for (int i = 0; i < 100000; ++i) query += u"&a=1";
  Variant values = Get(u"getQSVariable", {S(query), S(u"a")});
  EXPECT_EQ(Text(values).size(), 2u * 100000 - 1);
  // The leading "&" makes an empty first part, which comes out as "=".
  EXPECT_EQ(Text(Get(u"removeQSVariable", {S(query), S(u"b")})).size(), 1u + 4u * 100000);
}

// --- myescape3, myescape2 and the URL encoding ------------------------------------------------

TEST_F(LinkValues, MyEscape3EscapesEveryOccurrence) {
  EXPECT_EQ(Text(Get(u"myescape3", {S(u"a-b-c"), S(u"-"), S(u"\\")})), u"a\\-b\\-c");
  EXPECT_EQ(Text(Get(u"myescape3", {S(u"a--b"), S(u"--"), S(u"!")})), u"a!--b");
  EXPECT_EQ(Text(Get(u"myescape3", {S(u"a-b"), S(u""), S(u"\\")})), u"a-b");
  EXPECT_EQ(Text(Get(u"myescape3", {S(u"aAa"), S(u"a"), S(u"\\")})), u"\\aA\\a");
  EXPECT_EQ(FailureNumber(u"myescape3", {Variant::Null(), S(u"-"), S(u"\\")}),
            kInvalidUseOfNull);
}

TEST_F(LinkValues, MyEscape2EscapesCommaRangeAndAmpersand) {
  EXPECT_EQ(Text(Get(u"myescape2", {S(u"1,000-2&3"), S(u"-"), S(u"\\")})),
            u"1\\,000\\-2\\&3");
  EXPECT_EQ(Text(Get(u"myescape2", {S(u"1,000-2&3"), S(u""), S(u"\\")})), u"1\\,000-2\\&3");
  // The escape character itself is not escaped.
  EXPECT_EQ(Text(Get(u"myescape2", {S(u"a\\b"), S(u"-"), S(u"\\")})), u"a\\b");
}

TEST_F(LinkValues, MyEscape2WritesNumbersInTheLocale) {
  EXPECT_EQ(Text(Get(u"myescape2", {D(1000.5), S(u"-"), S(u"\\")})), u"1000.5");
  ASSERT_TRUE(SetThreadLocale(kGerman));
  EXPECT_EQ(Text(Get(u"myescape2", {D(1000.5), S(u"-"), S(u"\\")})), u"1000\\,5");
}

TEST(UrlEncoding, EncodesUtf8BytesOfEachCodeUnit) {
  struct Case {
    std::u16string_view text, expected;
  } cases[] = {
      {u"a b", u"a+b"},           {u"\u00E9", u"%C3%A9"},     {u"\u20AC", u"%E2%82%AC"},
      {u"\u093E", u"%E0%A4%BE"},  {u"\u4E2D", u"%E4%B8%AD"},  {u"\uD55C", u"%ED%95%9C"},
      {u"_", u"%5F"},             {u"-%", u"%2D%25"},         {u"  Az09  ", u"Az09"},
      {u"\u007F\u0080", u"%7F%C2%80"},
      {u"\u07FF\u0800", u"%DF%BF%E0%A0%80"},
      {std::u16string_view(u"\0 x \0y \0", 8), u"x+y"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.expected));
    Result<std::u16string> encoded = utilities_internal::UrlEncode(c.text);
    ASSERT_TRUE(encoded.ok());
    EXPECT_EQ(encoded.value(), c.expected);
  }
}

TEST(UrlEncoding, EncodesEachSurrogateOnItsOwn) {
  Result<std::u16string> encoded = utilities_internal::UrlEncode(u"\U0001F600");
  ASSERT_TRUE(encoded.ok());
  EXPECT_EQ(encoded.value(), u"%ED%A0%BD%ED%B8%80");
}

TEST(UrlEncoding, TakesAtMost32766Characters) {
  std::u16string longest(32766, u'a');
  EXPECT_TRUE(utilities_internal::UrlEncode(u"  " + longest + u"  ").ok());
  Result<std::u16string> too_long = utilities_internal::UrlEncode(longest + u"b");
  ASSERT_FALSE(too_long.ok());
  EXPECT_EQ(too_long.error().Number(), kOverflow);
}

// --- getEnableLink ----------------------------------------------------------------------------

// getEnableLink's arguments: isGrouped, rowsReport, l_keyGroupby, repRowCounter, linkClause,
// range_char, escape_char, hasKeyField, l_key, enableLink (true beforehand, as pages set it).
Arguments LinkCall(Variant grouped, Variant rows, Variant group_key, Variant row,
                   std::u16string_view clause, Variant has_key, Variant key) {
  return Arguments{std::move(grouped), std::move(rows), std::move(group_key), std::move(row),
                   S(clause), S(u"-"), S(u"\\"), std::move(has_key), std::move(key), B(true)};
}

// A two-dimensional row array (column, row) of 2 columns and 2 rows.
Variant RowArray(Variant cell_0_0, Variant cell_1_0, Variant cell_0_1, Variant cell_1_1) {
  SAFEARRAYBOUND bounds[] = {{2, 0}, {2, 0}};
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
  Variant* cells[2][2] = {{&cell_0_0, &cell_0_1}, {&cell_1_0, &cell_1_1}};
  for (int32_t column = 0; column < 2; ++column) {
    for (int32_t row = 0; row < 2; ++row) {
      int32_t indices[] = {column, row};
      EXPECT_TRUE(SafeArrayPutElement(array, indices, 2, *cells[column][row]).ok());
    }
  }
  return Variant::FromArray(VT_VARIANT, array);
}

TEST_F(EnableLink, SubstitutesAndEncodesTheKey) {
  Arguments call = LinkCall(B(false), Variant(), Variant(), Variant(), u"x=1&%key%=",
                            B(true), S(u"O'Neil+1"));
  EXPECT_EQ(Get(u"getEnableLink", call).Type(), VT_EMPTY);
  EXPECT_EQ(Text(call[4]), u"x=1&%key%=O%2A%24%2ANeil%252B1");
  EXPECT_EQ(Text(call[8]), u"O*$*Neil%2B1");
  EXPECT_TRUE(IsBoolean(call[9], true));
}

TEST_F(EnableLink, EscapesKeysThatAreNoDates) {
  Arguments call = LinkCall(B(false), Variant(), Variant(), Variant(), u"%key%=", I(1),
                            S(u"a,b&c"));
  Get(u"getEnableLink", call);
  EXPECT_EQ(Text(call[4]), u"%key%=a%5C%2Cb%5C%26c");
}

TEST_F(EnableLink, DateKeysGoInUnescapedInTheLocaleForm) {
  Arguments call = LinkCall(B(false), Variant(), Variant(), Variant(), u"%key%=", B(true),
                            DateOf(2011, 3, 31));
  Get(u"getEnableLink", call);
  EXPECT_EQ(Text(call[4]), u"%key%=3%2F31%2F2011");
  EXPECT_EQ(Text(call[8]), u"3/31/2011");
  ASSERT_TRUE(SetThreadLocale(kGerman));
  Arguments german = LinkCall(B(false), Variant(), Variant(), Variant(), u"%key%=", B(true),
                              DateOf(2011, 3, 31));
  Get(u"getEnableLink", german);
  EXPECT_EQ(Text(german[4]), u"%key%=31%2E03%2E2011");
}

TEST_F(EnableLink, WithoutKeyFieldOrKeyTheLinkIsDisabled) {
  Arguments no_field = LinkCall(B(false), Variant(), Variant(), Variant(), u"%key%=", Variant(),
                                S(u"k"));
  Get(u"getEnableLink", no_field);
  EXPECT_TRUE(IsBoolean(no_field[9], false));
  EXPECT_EQ(Text(no_field[4]), u"%key%=");
  Arguments null_key = LinkCall(B(false), Variant(), Variant(), Variant(), u"%key%=", B(true),
                                Variant::Null());
  Get(u"getEnableLink", null_key);
  EXPECT_TRUE(IsBoolean(null_key[9], false));
  EXPECT_EQ(null_key[8].Type(), VT_NULL);
}

TEST_F(EnableLink, GroupedWithoutRowUsesTheGroupKeyItself) {
  Arguments call = LinkCall(B(true), Variant(), S(u"1,000-2"), S(u""), u"%keygroupby%=&%key%=",
                            B(false), Variant());
  Get(u"getEnableLink", call);
  EXPECT_EQ(Text(call[4]), u"%keygroupby%=1%5C%2C000%5C%2D2&%key%=");
  EXPECT_TRUE(IsBoolean(call[9], false));
}

TEST_F(EnableLink, GroupedRowTakesItsCellFromTheRowArray) {
  Arguments call = LinkCall(B(true), RowArray(S(u"a"), S(u"b"), S(u"c'd"), S(u"e")), I(0), I(1),
                            u"%keygroupby%=&%key%=", B(true), S(u"k"));
  Get(u"getEnableLink", call);
  EXPECT_EQ(Text(call[4]), u"%keygroupby%=c%2A%24%2Ad&%key%=k");
  EXPECT_TRUE(IsBoolean(call[9], true));
}

TEST_F(EnableLink, ANullCellDisablesTheLinkButTheKeyIsStillFilled) {
  Arguments call = LinkCall(B(true), RowArray(Variant::Null(), S(u"b"), S(u"c"), S(u"e")), I(0),
                            I(0), u"%keygroupby%=old&%key%=", B(true), S(u"k"));
  Get(u"getEnableLink", call);
  EXPECT_TRUE(IsBoolean(call[9], false));
  EXPECT_EQ(Text(call[4]), u"%keygroupby%=old&%key%=k");
}

TEST_F(EnableLink, BothKeysGoIntoAClausePassedByValue) {
  Arguments call = LinkCall(B(true), Variant(), S(u"g"), Variant(), u"%keygroupby%=&%key%=",
                            B(true), S(u"k"));
  ASSERT_TRUE(Call(u"getEnableLink", call, {4}).ok());
  EXPECT_EQ(Text(call[4]), u"%keygroupby%=&%key%=");  // the caller's copy is not changed
  Arguments by_reference = LinkCall(B(true), Variant(), S(u"g"), Variant(),
                                    u"%keygroupby%=&%key%=", B(true), S(u"k"));
  Get(u"getEnableLink", by_reference);
  EXPECT_EQ(Text(by_reference[4]), u"%keygroupby%=g&%key%=k");
}

TEST_F(EnableLink, ARowOutsideTheArrayFails) {
  EXPECT_EQ(FailureNumber(u"getEnableLink",
                          LinkCall(B(true), RowArray(S(u"a"), S(u"b"), S(u"c"), S(u"e")), I(0),
                                   I(2), u"%key%=", B(true), S(u"k"))),
            kSubscriptOutOfRange);
}

// --- substituteLink ---------------------------------------------------------------------------

constexpr std::u16string_view kIconLinkEnd =
    u">"
    u"<IMG title=\"Direct to External Link\" src=\"images/arrows_blue_060.gif\" border=\"0\""
    u" width=\"9\" height=\"10\"></a>";

TEST_F(ExternalLink, FillsTheTokenAndOpensANewWindow) {
  Arguments call{S(u"+detail.asp?x=%descr%"), S(u"<b>Smith</b>"), B(true)};
  std::u16string expected = u"&nbsp;&nbsp;<a href=\"detail.asp?x=Smith\" target=_blank";
  expected += kIconLinkEnd;
  EXPECT_EQ(Text(Get(u"substituteLink", call)), expected);
  EXPECT_EQ(Text(call[1]), u"Smith");
}

TEST_F(ExternalLink, WithoutPlusTheTargetIsEmpty) {
  // The token runs from the first "%" to the last one.
  std::u16string expected = u"&nbsp;&nbsp;<a href=\"http://x/?q=Smith\" target=";
  expected += kIconLinkEnd;
  EXPECT_EQ(Text(Get(u"substituteLink", {S(u" http://x/?q=%d%&r=%d% "), S(u"Smith"), I(1)})),
            expected);
  std::u16string plain = u"&nbsp;&nbsp;<a href=\" plain.asp\" target=";
  plain += kIconLinkEnd;
  EXPECT_EQ(Text(Get(u"substituteLink", {S(u" plain.asp"), S(u"Smith"), I(1)})), plain);
}

TEST_F(ExternalLink, DisabledOrEmptyGivesNothingButStillCleansTheDescription) {
  Arguments call{S(u"+detail.asp?x=%descr%"), S(u"<b>Smith</b><B>x</B>"), B(false)};
  EXPECT_EQ(Text(Get(u"substituteLink", call)), u"");
  EXPECT_EQ(Text(call[1]), u"Smith<B>x</B>");
  EXPECT_EQ(Text(Get(u"substituteLink", {S(u"   "), S(u"Smith"), B(true)})), u"");
  EXPECT_EQ(Text(Get(u"substituteLink", {S(u"a.asp"), S(u"Smith"), Variant()})), u"");
}

TEST_F(ExternalLink, NullArguments) {
  EXPECT_EQ(FailureNumber(u"substituteLink", {Variant::Null(), S(u"x"), B(true)}),
            kInvalidUseOfNull);
  Arguments call{S(u"a.asp?x=%d%"), Variant::Null(), B(true)};
  std::u16string expected = u"&nbsp;&nbsp;<a href=\"a.asp?x=\" target=";
  expected += kIconLinkEnd;
  EXPECT_EQ(Text(Get(u"substituteLink", call)), expected);
  EXPECT_EQ(call[1].Type(), VT_NULL);
}

// --- getDescriptionField ----------------------------------------------------------------------

constexpr std::u16string_view kDescription = u"`name`Smith``city`Leeds`";

TEST_F(DescriptionField, ReadsAField) {
  Arguments call{S(kDescription), S(u"city")};
  EXPECT_EQ(Text(Get(u"getDescriptionField", call)), u"Leeds");
  EXPECT_EQ(Text(call[0]), kDescription);
  EXPECT_EQ(Text(Get(u"getDescriptionField", {S(kDescription), S(u"name")})), u"Smith");
  EXPECT_EQ(Text(Get(u"getDescriptionField", {S(u"`name`Smith"), S(u"name")})), u"");
}

TEST_F(DescriptionField, AnAbsentFieldCutsTheCallersText) {
  Arguments call{S(kDescription), S(u"age")};
  EXPECT_EQ(Text(Get(u"getDescriptionField", call)), u"");
  EXPECT_EQ(Text(call[0]), u"`Smith``city`Leeds");
}

TEST_F(DescriptionField, AnImpossibleCutFailsAndLeavesTheText) {
  for (std::u16string_view text : {u"", u"a", u"ab", u"`a`", u"xab`"}) {
    SCOPED_TRACE(Narrow(text));
    Arguments call{S(text), S(u"age")};
    EXPECT_EQ(FailureNumber(u"getDescriptionField", call), kInvalidProcedureCall);
    EXPECT_EQ(Text(call[0]), text);
  }
}

// --- getFirstCollectionKey and getFirstCollectionValue ----------------------------------------

Result<void> AddEntry(IDispatch* dictionary, Variant key, Variant item) {
  VARIANT arguments[] = {key, item};
  Result<Variant> added = CallMember(dictionary, u"Add", arguments);
  if (!added.ok()) return std::move(added).error();
  return {};
}

TEST_F(FirstCollectionEntry, EmptyDictionaryGivesEmptyText) {
  ComPtr<Dictionary> dictionary = MakeObject<Dictionary>();
  Variant collection = Variant::FromDispatch(dictionary.get());
  EXPECT_EQ(Text(Get(u"getFirstCollectionKey", {collection})), u"");
  EXPECT_EQ(Text(Get(u"getFirstCollectionValue", {collection})), u"");
}

TEST_F(FirstCollectionEntry, GivesTheFirstKeyAndItsItem) {
  ComPtr<Dictionary> dictionary = MakeObject<Dictionary>();
  ASSERT_TRUE(AddEntry(dictionary.get(), I(7), S(u"seven")).ok());
  ASSERT_TRUE(AddEntry(dictionary.get(), S(u"a"), S(u"first a")).ok());
  Variant collection = Variant::FromDispatch(dictionary.get());
  Variant key = Get(u"getFirstCollectionKey", {collection});
  ASSERT_EQ(key.Type(), VT_I4);
  EXPECT_EQ(key.lVal, 7);
  EXPECT_EQ(Text(Get(u"getFirstCollectionValue", {collection})), u"seven");
}

// An object that is no dictionary: its "keys" member gives a dictionary (which enumerates its
// keys) and its default member gives "item " & key.
class KeyedList : public DispatchObject<KeyedList> {
 public:
  static std::span<const DispatchMember<KeyedList>> Members() {
    static constexpr DispatchMember<KeyedList> kMembers[] = {
        {u"Item", DISPID_VALUE, kPropertyGet | kMethod, 1, 1, &KeyedList::Item},
        {u"Keys", 1, kMethod | kPropertyGet, 0, 0, &KeyedList::Keys},
    };
    return kMembers;
  }
  ComPtr<Dictionary> keys = MakeObject<Dictionary>();

 private:
  Result<Variant> Item(const DispatchArguments& arguments) {
    Bstr key = TRY(ToBstr(arguments[0]));
    return Variant::FromString(u"item " + std::u16string(key.view()));
  }
  Result<Variant> Keys(const DispatchArguments&) { return Variant::FromDispatch(keys.get()); }
};

TEST_F(FirstCollectionEntry, AnyObjectWithKeysAndADefaultMemberWorks) {
  ComPtr<KeyedList> list = MakeObject<KeyedList>();
  ASSERT_TRUE(AddEntry(list->keys.get(), S(u"k1"), Variant()).ok());
  ASSERT_TRUE(AddEntry(list->keys.get(), S(u"k2"), Variant()).ok());
  Variant collection = Variant::FromDispatch(list.get());
  EXPECT_EQ(Text(Get(u"getFirstCollectionKey", {collection})), u"k1");
  EXPECT_EQ(Text(Get(u"getFirstCollectionValue", {collection})), u"item k1");
}

TEST_F(FirstCollectionEntry, NoCollection) {
  EXPECT_EQ(FailureNumber(u"getFirstCollectionKey", {S(u"dictionary")}), kObjectRequired);
  Variant no_keys = Variant::FromDispatch(utilities_.get());
  EXPECT_EQ(FailureNumber(u"getFirstCollectionValue", {no_keys}), kObjectDoesNotSupportMember);
}

}  // namespace
