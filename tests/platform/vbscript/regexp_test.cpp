#include "platform/vbscript/regexp_module.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/text_case.h"
#include "platform/com/enum_variant.h"
#include "platform/com/object_type_name.h"

namespace {

constexpr int32_t kSyntaxError = 5017;
constexpr int32_t kUnexpectedQuantifier = 5018;
constexpr int32_t kExpectedBracket = 5019;
constexpr int32_t kExpectedParen = 5020;
constexpr int32_t kInvalidRange = 5021;
constexpr int32_t kInvalidProcedureCall = 5;

Variant S(std::u16string_view text) { return Variant::FromString(text); }
Variant I(int32_t value) { return Variant::FromI4(value); }
Variant B(bool value) { return Variant::FromBool(value); }

// Printable form for failure messages; units outside ASCII as \uXXXX.
std::string Narrow(std::u16string_view text) {
  std::string narrow;
  for (char16_t unit : text) {
    if (unit >= 0x20 && unit < 0x7F) {
      narrow += static_cast<char>(unit);
      continue;
    }
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
    narrow += escape;
  }
  return narrow;
}

Result<Variant> Call(IDispatch* object, std::u16string_view name,
                     std::initializer_list<Variant> arguments = {}) {
  std::vector<VARIANT> borrowed(arguments.begin(), arguments.end());
  return CallMember(object, name, borrowed);
}

// A call expected to succeed; its value.
Variant Get(IDispatch* object, std::u16string_view name,
            std::initializer_list<Variant> arguments = {}) {
  Result<Variant> outcome = Call(object, name, arguments);
  EXPECT_TRUE(outcome.ok()) << Narrow(name) << " failed: "
                            << (outcome.ok() ? "" : Narrow(outcome.error().Description()));
  return outcome.ok() ? std::move(outcome).value() : Variant();
}

// A call expected to fail; its error.
Error Fails(IDispatch* object, std::u16string_view name,
            std::initializer_list<Variant> arguments = {}) {
  Result<Variant> outcome = Call(object, name, arguments);
  EXPECT_FALSE(outcome.ok()) << Narrow(name) << " succeeded";
  return outcome.ok() ? Error(ErrorNumber::InternalError) : outcome.error();
}

void Put(IDispatch* object, std::u16string_view name, const Variant& value) {
  Result<void> outcome = PutMember(object, name, {}, value);
  ASSERT_TRUE(outcome.ok()) << Narrow(name) << " = failed: " << Narrow(outcome.error().Description());
}

std::u16string Text(const Variant& value) {
  Result<Bstr> text = ToBstr(value);
  EXPECT_TRUE(text.ok());
  return text.ok() ? std::u16string(text.value().view()) : std::u16string();
}

bool Truth(const Variant& value) {
  EXPECT_EQ(value.Type(), VT_BOOL);
  return value.Type() == VT_BOOL && value.boolVal != VARIANT_FALSE;
}

int32_t Number(const Variant& value) {
  EXPECT_EQ(value.Type(), VT_I4);
  return value.Type() == VT_I4 ? value.lVal : -1;
}

// Switches a RegExp may be given at creation.
struct Switches {
  bool global = false;
  bool ignore_case = false;
  bool multiline = false;
};

ComPtr<IDispatch> NewRegExp(std::u16string_view pattern, Switches switches = {}) {
  ComPtr<IDispatch> regexp = CreateRegExp();
  Put(regexp.get(), u"Pattern", S(pattern));
  if (switches.global) Put(regexp.get(), u"Global", B(true));
  if (switches.ignore_case) Put(regexp.get(), u"IgnoreCase", B(true));
  if (switches.multiline) Put(regexp.get(), u"Multiline", B(true));
  return regexp;
}

// The Matches collection of Execute(subject), as an owned object.
ComPtr<IDispatch> Execute(IDispatch* regexp, std::u16string_view subject) {
  Variant matches = Get(regexp, u"Execute", {S(subject)});
  EXPECT_EQ(matches.Type(), VT_DISPATCH);
  if (matches.Type() != VT_DISPATCH) return ComPtr<IDispatch>();
  return ComPtr<IDispatch>(matches.pdispVal);
}

// Item(index) of a collection, as an owned object.
ComPtr<IDispatch> ItemObject(IDispatch* collection, int32_t index) {
  Variant item = Get(collection, u"Item", {I(index)});
  EXPECT_EQ(item.Type(), VT_DISPATCH);
  if (item.Type() != VT_DISPATCH) return ComPtr<IDispatch>();
  return ComPtr<IDispatch>(item.pdispVal);
}

// Every match's Value, read through Item(i) for i below Count.
std::vector<std::u16string> MatchValues(IDispatch* regexp, std::u16string_view subject) {
  ComPtr<IDispatch> matches = Execute(regexp, subject);
  if (!matches) return {};
  std::vector<std::u16string> values;
  int32_t count = Number(Get(matches.get(), u"Count"));
  for (int32_t i = 0; i < count; ++i) {
    ComPtr<IDispatch> match = ItemObject(matches.get(), i);
    if (match) values.push_back(Text(Get(match.get(), u"Value")));
  }
  return values;
}

// The first match's text, or nothing when the pattern does not match.
std::optional<std::u16string> FirstMatch(std::u16string_view pattern, std::u16string_view subject,
                                         Switches switches = {}) {
  ComPtr<IDispatch> regexp = NewRegExp(pattern, switches);
  std::vector<std::u16string> values = MatchValues(regexp.get(), subject);
  if (values.empty()) return std::nullopt;
  return values[0];
}

std::u16string ReplaceText(std::u16string_view pattern, std::u16string_view subject,
                           std::u16string_view replacement, Switches switches = {}) {
  ComPtr<IDispatch> regexp = NewRegExp(pattern, switches);
  return Text(Get(regexp.get(), u"Replace", {S(subject), S(replacement)}));
}

// Everything an enumerator yields, via _NewEnum.
std::vector<Variant> Enumerate(IDispatch* collection) {
  Variant enumerator = Get(collection, u"_NewEnum");
  EXPECT_EQ(enumerator.Type(), VT_UNKNOWN);
  if (enumerator.Type() != VT_UNKNOWN) return {};
  ComPtr<IEnumVARIANT> values;
  EXPECT_EQ(enumerator.punkVal->QueryInterface(IID_IEnumVARIANT,
                                               reinterpret_cast<void**>(values.Receive())),
            S_OK);
  std::vector<Variant> result;
  Variant next;
  ULONG fetched = 0;
  while (values && values->Next(1, &next, &fetched) == S_OK && fetched == 1) {
    result.push_back(std::move(next));
    next = Variant();
  }
  return result;
}

// Error number of Test with `pattern`, 0 when it compiles.
int32_t PatternError(std::u16string_view pattern) {
  ComPtr<IDispatch> regexp = NewRegExp(pattern);
  Result<Variant> outcome = Call(regexp.get(), u"Test", {S(u"subject")});
  return outcome.ok() ? 0 : outcome.error().Number();
}

}  // namespace

// --- The object and its properties ------------------------------------------------------

TEST(RegExpObject, StartsWithAnEmptyPatternAndEverySwitchFalse) {
  ComPtr<IDispatch> regexp = CreateRegExp();
  Variant pattern = Get(regexp.get(), u"Pattern");
  EXPECT_EQ(pattern.Type(), VT_BSTR);
  EXPECT_EQ(Text(pattern), u"");
  EXPECT_FALSE(Truth(Get(regexp.get(), u"IgnoreCase")));
  EXPECT_FALSE(Truth(Get(regexp.get(), u"Global")));
  EXPECT_FALSE(Truth(Get(regexp.get(), u"Multiline")));
}

TEST(RegExpObject, PropertiesKeepWhatIsAssignedConverted) {
  ComPtr<IDispatch> regexp = CreateRegExp();
  Put(regexp.get(), u"Pattern", I(42));
  Put(regexp.get(), u"IgnoreCase", I(1));
  Put(regexp.get(), u"Global", S(u"True"));
  Put(regexp.get(), u"Multiline", B(true));
  EXPECT_EQ(Text(Get(regexp.get(), u"Pattern")), u"42");
  EXPECT_TRUE(Truth(Get(regexp.get(), u"IgnoreCase")));
  EXPECT_TRUE(Truth(Get(regexp.get(), u"Global")));
  EXPECT_TRUE(Truth(Get(regexp.get(), u"Multiline")));
}

TEST(RegExpObject, ASwitchThatIsNoBooleanIsATypeMismatch) {
  ComPtr<IDispatch> regexp = CreateRegExp();
  Result<void> outcome = PutMember(regexp.get(), u"Global", {}, S(u"often"));
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 13);
}

TEST(RegExpObject, MembersHaveStableDispatchIds) {
  ComPtr<IDispatch> regexp = CreateRegExp();
  const std::pair<std::u16string_view, DISPID> cases[] = {
      {u"Pattern", 1}, {u"ignorecase", 2}, {u"Global", 3}, {u"Multiline", 4},
      {u"Test", 5},    {u"EXECUTE", 6},    {u"Replace", 7}};
  for (const auto& [name, dispid] : cases) {
    SCOPED_TRACE(Narrow(name));
    Result<DISPID> found = GetDispatchId(regexp.get(), name);
    ASSERT_TRUE(found.ok());
    EXPECT_EQ(found.value(), dispid);
  }
}

TEST(RegExpObject, EachObjectTellsItsInterfaceName) {
  ComPtr<IDispatch> regexp = NewRegExp(u"(b)");
  ComPtr<IDispatch> matches = Execute(regexp.get(), u"abc");
  ComPtr<IDispatch> match = ItemObject(matches.get(), 0);
  Variant sub_matches = Get(match.get(), u"SubMatches");
  ASSERT_EQ(sub_matches.Type(), VT_DISPATCH);
  EXPECT_EQ(ObjectTypeName(regexp.get()), u"IRegExp2");
  EXPECT_EQ(ObjectTypeName(matches.get()), u"IMatchCollection2");
  EXPECT_EQ(ObjectTypeName(match.get()), u"IMatch2");
  EXPECT_EQ(ObjectTypeName(sub_matches.pdispVal), u"ISubMatches");
}

// --- Test -------------------------------------------------------------------------------

TEST(RegExpTest, TellsWhetherThePatternMatchesAnywhere) {
  ComPtr<IDispatch> regexp = NewRegExp(u"b+c");
  EXPECT_TRUE(Truth(Get(regexp.get(), u"Test", {S(u"aabbbcc")})));
  EXPECT_FALSE(Truth(Get(regexp.get(), u"Test", {S(u"aacc")})));
  EXPECT_FALSE(Truth(Get(regexp.get(), u"Test", {S(u"")})));
}

TEST(RegExpTest, EmptyPatternMatchesEvenTheEmptyString) {
  ComPtr<IDispatch> regexp = CreateRegExp();
  EXPECT_TRUE(Truth(Get(regexp.get(), u"Test", {S(u"")})));
  EXPECT_TRUE(Truth(Get(regexp.get(), u"Test", {Variant()})));
}

TEST(RegExpTest, ChangingThePatternOrASwitchTakesEffectOnTheNextCall) {
  ComPtr<IDispatch> regexp = NewRegExp(u"abc");
  EXPECT_FALSE(Truth(Get(regexp.get(), u"Test", {S(u"ABC")})));
  Put(regexp.get(), u"IgnoreCase", B(true));
  EXPECT_TRUE(Truth(Get(regexp.get(), u"Test", {S(u"ABC")})));
  Put(regexp.get(), u"Pattern", S(u"^x"));
  EXPECT_FALSE(Truth(Get(regexp.get(), u"Test", {S(u"ABC\nx")})));
  Put(regexp.get(), u"Multiline", B(true));
  EXPECT_TRUE(Truth(Get(regexp.get(), u"Test", {S(u"ABC\nx")})));
}

// --- Execute, Matches and Match --------------------------------------------------------

TEST(RegExpExecute, WithoutGlobalOnlyTheFirstMatchIsTaken) {
  ComPtr<IDispatch> regexp = NewRegExp(u"\\d+");
  EXPECT_EQ(MatchValues(regexp.get(), u"a1 b22 c333"), std::vector<std::u16string>{u"1"});
}

TEST(RegExpExecute, WithGlobalEveryMatchIsTakenInOrder) {
  ComPtr<IDispatch> regexp = NewRegExp(u"\\d+", {.global = true});
  EXPECT_EQ(MatchValues(regexp.get(), u"a1 b22 c333"),
            (std::vector<std::u16string>{u"1", u"22", u"333"}));
}

TEST(RegExpExecute, NoMatchGivesAnEmptyCollection) {
  ComPtr<IDispatch> regexp = NewRegExp(u"z", {.global = true});
  ComPtr<IDispatch> matches = Execute(regexp.get(), u"abc");
  EXPECT_EQ(Number(Get(matches.get(), u"Count")), 0);
  EXPECT_TRUE(Enumerate(matches.get()).empty());
}

TEST(RegExpExecute, FirstIndexAndLengthCountCodeUnitsFromZero) {
  // U+1F600 is two UTF-16 units; positions after it count both.
  ComPtr<IDispatch> regexp = NewRegExp(u"b+", {.global = true});
  ComPtr<IDispatch> matches = Execute(regexp.get(), u"ab\U0001F600bbb");
  ASSERT_EQ(Number(Get(matches.get(), u"Count")), 2);
  ComPtr<IDispatch> first = ItemObject(matches.get(), 0);
  ComPtr<IDispatch> second = ItemObject(matches.get(), 1);
  EXPECT_EQ(Number(Get(first.get(), u"FirstIndex")), 1);
  EXPECT_EQ(Number(Get(first.get(), u"Length")), 1);
  EXPECT_EQ(Number(Get(second.get(), u"FirstIndex")), 4);
  EXPECT_EQ(Number(Get(second.get(), u"Length")), 3);
}

TEST(RegExpExecute, UnitsOfASurrogatePairAreMatchedOneByOne) {
  EXPECT_EQ(FirstMatch(u"^.$", u"\U0001F600"), std::nullopt);
  EXPECT_EQ(FirstMatch(u"[\\uD800-\\uDBFF][\\uDC00-\\uDFFF]", u"x\U0001F600"), u"\U0001F600");
  EXPECT_EQ(FirstMatch(u"\\uDC00", u"\xD800\xDC00"), u"\xDC00");  // a lone half is text too
}

TEST(RegExpExecute, ValueIsTheDefaultMemberOfAMatchAndItemOfTheCollection) {
  ComPtr<IDispatch> regexp = NewRegExp(u"b.", {.global = true});
  ComPtr<IDispatch> matches = Execute(regexp.get(), u"abcbd");
  VARIANT index[] = {I(1)};
  Result<Variant> item = InvokeDispatch(matches.get(), DISPID_VALUE, DISPATCH_PROPERTYGET, index);
  ASSERT_TRUE(item.ok());
  ASSERT_EQ(item.value().Type(), VT_DISPATCH);
  Result<Variant> value = InvokeDispatch(item.value().pdispVal, DISPID_VALUE, DISPATCH_PROPERTYGET);
  ASSERT_TRUE(value.ok());
  EXPECT_EQ(Text(value.value()), u"bd");
}

TEST(RegExpExecute, AnItemAskedForTwiceIsTheSameObject) {
  ComPtr<IDispatch> regexp = NewRegExp(u"(a)");
  ComPtr<IDispatch> matches = Execute(regexp.get(), u"a");
  ComPtr<IDispatch> match = ItemObject(matches.get(), 0);
  EXPECT_EQ(ItemObject(matches.get(), 0).get(), match.get());
  Variant first = Get(match.get(), u"SubMatches");
  Variant second = Get(match.get(), u"SubMatches");
  ASSERT_EQ(first.Type(), VT_DISPATCH);
  EXPECT_EQ(first.pdispVal, second.pdispVal);
}

TEST(RegExpExecute, MatchesOutliveTheRegExpAndItsLaterChanges) {
  ComPtr<IDispatch> regexp = NewRegExp(u"o", {.global = true});
  ComPtr<IDispatch> matches = Execute(regexp.get(), u"foo");
  Put(regexp.get(), u"Pattern", S(u"f"));
  regexp.Reset();
  EXPECT_EQ(Number(Get(matches.get(), u"Count")), 2);
  EXPECT_EQ(Text(Get(ItemObject(matches.get(), 1).get(), u"Value")), u"o");
}

TEST(RegExpExecute, ForEachWalksTheMatchesInOrder) {
  ComPtr<IDispatch> regexp = NewRegExp(u"[a-z]+", {.global = true});
  ComPtr<IDispatch> matches = Execute(regexp.get(), u"one, two; three");
  std::vector<Variant> items = Enumerate(matches.get());
  std::vector<std::u16string> values;
  for (const Variant& item : items) {
    ASSERT_EQ(item.Type(), VT_DISPATCH);
    values.push_back(Text(Get(item.pdispVal, u"Value")));
  }
  EXPECT_EQ(values, (std::vector<std::u16string>{u"one", u"two", u"three"}));
  EXPECT_EQ(items[0].pdispVal, ItemObject(matches.get(), 0).get());
}

TEST(RegExpExecute, AnIndexOutsideTheCollectionIsAnInvalidArgument) {
  ComPtr<IDispatch> regexp = NewRegExp(u"a", {.global = true});
  ComPtr<IDispatch> matches = Execute(regexp.get(), u"aa");
  EXPECT_EQ(Fails(matches.get(), u"Item", {I(2)}).Number(), kInvalidProcedureCall);
  EXPECT_EQ(Fails(matches.get(), u"Item", {I(-1)}).Number(), kInvalidProcedureCall);
  EXPECT_EQ(Fails(matches.get(), u"Item", {S(u"first")}).Number(), 13);
  EXPECT_EQ(Text(Get(ItemObject(matches.get(), 1).get(), u"Value")), u"a");
}

// --- SubMatches -------------------------------------------------------------------------

TEST(RegExpSubMatches, HoldEachCapturingGroupInOrder) {
  ComPtr<IDispatch> regexp = NewRegExp(u"(\\w+)@(\\w+)\\.(?:com|org)");
  ComPtr<IDispatch> match = ItemObject(Execute(regexp.get(), u"mail joe@example.org now").get(), 0);
  ASSERT_TRUE(match);
  EXPECT_EQ(Text(Get(match.get(), u"Value")), u"joe@example.org");
  EXPECT_EQ(Number(Get(match.get(), u"FirstIndex")), 5);
  Variant sub_matches = Get(match.get(), u"SubMatches");
  ASSERT_EQ(sub_matches.Type(), VT_DISPATCH);
  EXPECT_EQ(Number(Get(sub_matches.pdispVal, u"Count")), 2);
  EXPECT_EQ(Text(Get(sub_matches.pdispVal, u"Item", {I(0)})), u"joe");
  EXPECT_EQ(Text(Get(sub_matches.pdispVal, u"Item", {I(1)})), u"example");
}

TEST(RegExpSubMatches, AGroupThatTookNoPartIsEmptyAndAnEmptyMatchIsAnEmptyString) {
  ComPtr<IDispatch> regexp = NewRegExp(u"(x)?(y*)(z)");
  ComPtr<IDispatch> match = ItemObject(Execute(regexp.get(), u"z").get(), 0);
  ASSERT_TRUE(match);
  Variant sub_matches = Get(match.get(), u"SubMatches");
  ASSERT_EQ(sub_matches.Type(), VT_DISPATCH);
  Variant unmatched = Get(sub_matches.pdispVal, u"Item", {I(0)});
  Variant empty = Get(sub_matches.pdispVal, u"Item", {I(1)});
  EXPECT_EQ(unmatched.Type(), VT_EMPTY);
  EXPECT_EQ(empty.Type(), VT_BSTR);
  EXPECT_EQ(Text(empty), u"");
  std::vector<Variant> all = Enumerate(sub_matches.pdispVal);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].Type(), VT_EMPTY);
  EXPECT_EQ(all[1].Type(), VT_BSTR);
  EXPECT_EQ(Text(all[2]), u"z");
}

TEST(RegExpSubMatches, EachMatchHasItsOwnGroups) {
  ComPtr<IDispatch> regexp = NewRegExp(u"(\\d)(\\d)?", {.global = true});
  ComPtr<IDispatch> matches = Execute(regexp.get(), u"12 3");
  ASSERT_EQ(Number(Get(matches.get(), u"Count")), 2);
  Variant first = Get(ItemObject(matches.get(), 0).get(), u"SubMatches");
  Variant second = Get(ItemObject(matches.get(), 1).get(), u"SubMatches");
  EXPECT_EQ(Text(Get(first.pdispVal, u"Item", {I(1)})), u"2");
  EXPECT_EQ(Text(Get(second.pdispVal, u"Item", {I(0)})), u"3");
  EXPECT_EQ(Get(second.pdispVal, u"Item", {I(1)}).Type(), VT_EMPTY);
}

TEST(RegExpSubMatches, AnIndexOutsideTheGroupsIsAnInvalidArgument) {
  ComPtr<IDispatch> regexp = NewRegExp(u"(a)");
  Variant sub_matches = Get(ItemObject(Execute(regexp.get(), u"a").get(), 0).get(), u"SubMatches");
  ASSERT_EQ(sub_matches.Type(), VT_DISPATCH);
  EXPECT_EQ(Fails(sub_matches.pdispVal, u"Item", {I(1)}).Number(), kInvalidProcedureCall);
  EXPECT_EQ(Fails(sub_matches.pdispVal, u"Item", {I(-1)}).Number(), kInvalidProcedureCall);

  ComPtr<IDispatch> no_groups = NewRegExp(u"a");
  Variant none = Get(ItemObject(Execute(no_groups.get(), u"a").get(), 0).get(), u"SubMatches");
  EXPECT_EQ(Number(Get(none.pdispVal, u"Count")), 0);
  EXPECT_EQ(Fails(none.pdispVal, u"Item", {I(0)}).Number(), kInvalidProcedureCall);
}

// --- The pattern dialect ---------------------------------------------------------------

struct DialectCase {
  std::u16string_view pattern;
  std::u16string_view subject;
  std::optional<std::u16string_view> first_match;  // nothing: no match
};

void CheckDialect(std::initializer_list<DialectCase> cases, Switches switches = {}) {
  for (const DialectCase& test : cases) {
    SCOPED_TRACE(Narrow(test.pattern) + " on " + Narrow(test.subject));
    std::optional<std::u16string> found = FirstMatch(test.pattern, test.subject, switches);
    if (!test.first_match) {
      EXPECT_EQ(found, std::nullopt);
      continue;
    }
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, *test.first_match);
  }
}

TEST(RegExpDialect, ClassEscapesAreAsciiOnly) {
  CheckDialect({
      {u"\\d+", u"x\u0663 42", u"42"},           // an Arabic-Indic digit is no \d
      {u"\\w+", u"\u00e9t\u00e9_1", u"t"},        // nor an accented letter a \w
      {u"\\s+", u"a \t\v\f\r\nb", u" \t\v\f\r\n"},
      {u"\\s", u"\u00a0", std::nullopt},
      {u"\\D+", u"12ab3", u"ab"},
      {u"\\W+", u"ab, cd", u", "},
      {u"\\S+", u"  xy ", u"xy"},
      {u"\\bcat\\b", u"concat cat", u"cat"},
      {u"\\Bcat", u"cat concat", u"cat"},
      {u"\\b\\w", u"\u00e9a", u"a"},
  });
}

TEST(RegExpDialect, CharacterClasses) {
  CheckDialect({
      {u"[a-c]+", u"xxabcabd", u"abcab"},
      {u"[^a-c]+", u"abxyzc", u"xyz"},
      {u"[\\d.]+", u"v1.25x", u"1.25"},
      {u"[\\d-z]+", u"a-9z", u"-9z"},             // a hyphen beside a class escape is literal
      {u"[%-\\d]+", u"x-%5", u"-%5"},
      {u"[a-]+", u"x-a-", u"-a-"},
      {u"[\\]]", u"a]", u"]"},
      {u"[[:alpha:]]+", u"x:]]", u":]]"},         // no POSIX classes: "[[:alpha:]" then "]+"
      {u"[\\b]", u"a\bb", u"\b"},                 // in a class \b is a backspace
      {u"[]a]", u"a]", std::nullopt},             // [] matches nothing
      {u"[^]", u"\n", u"\n"},                     // [^] matches anything
      {u"[\\x41-\\x43]+", u"ABCD", u"ABC"},
  });
}

TEST(RegExpDialect, EscapesOfSingleUnits) {
  CheckDialect({
      {u"\\x41\\u0042", u"zAB", u"AB"},
      {u"\\x4", u"x4", u"x4"},                    // too few digits: the letter itself
      {u"\\u12", u"u12", u"u12"},
      {u"\\cJ", u"a\nb", u"\n"},
      {u"\\101", u"A", u"A"},                     // octal
      {u"\\0", std::u16string_view(u"a\0b", 3), std::u16string_view(u"\0", 1)},
      {u"\\t\\v\\f", u"\t\v\f", u"\t\v\f"},
      {u"\\A\\Q\\z", u"AQz", u"AQz"},            // unknown letters stand for themselves
      {u"\\.\\*\\$", u"a.*$", u".*$"},
  });
}

TEST(RegExpDialect, GroupsLookaheadAndBackreferences) {
  CheckDialect({
      {u"(?:ab)+", u"ababa", u"abab"},
      {u"\\w+(?=!)", u"hey you!", u"you"},
      {u"\\d(?!px)", u"5px 6em", u"6"},
      {u"(a|b)\\1", u"abba", u"bb"},
      {u"\\1(a)", u"a", u"a"},                    // a group not yet matched matches nothing
      {u"(a)\\2", u"a\x02", u"a\x02"},             // no second group: octal
      {u"(a)\\8", u"a8", u"a8"},
      {u"a|ab|abc", u"abc", u"a"},
  });
}

TEST(RegExpDialect, QuantifiersGreedyAndLazy) {
  CheckDialect({
      {u"<.+>", u"<a><b>", u"<a><b>"},
      {u"<.+?>", u"<a><b>", u"<a>"},
      {u"a{2}", u"aaa", u"aa"},
      {u"a{2,}", u"aaaa", u"aaaa"},
      {u"a{1,2}?", u"aaa", u"a"},
      {u"a{,2}", u"a{,2}", u"a{,2}"},             // not a quantifier: literal braces
      {u"{", u"x{", u"{"},
      {u"x{2", u"x{2", u"x{2"},
      {u"(?=a)*a", u"a", u"a"},                   // a lookahead may be quantified
  });
}

TEST(RegExpDialect, DotMatchesAnyUnitButLineFeed) {
  CheckDialect({
      {u"a.c", u"a\nc a\rc", u"a\rc"},
      {u".+", u"\nxy\n", u"xy"},
  });
}

TEST(RegExpDialect, AnchorsWithoutMultilineOnlyMatchTheWholeSubjectsEnds) {
  CheckDialect({
      {u"^b", u"a\nb", std::nullopt},
      {u"a$", u"a\n", std::nullopt},              // not before a final line feed either
      {u"a$", u"ba", u"a"},
      {u"^$", u"", u""},
  });
}

TEST(RegExpDialect, MultilineAnchorsMatchAtLineFeedsAndCarriageReturns) {
  ComPtr<IDispatch> regexp = NewRegExp(u"^\\w+$", {.global = true, .multiline = true});
  EXPECT_EQ(MatchValues(regexp.get(), u"one\ntwo\rthree\r\nfour"),
            (std::vector<std::u16string>{u"one", u"two", u"three", u"four"}));
  ComPtr<IDispatch> line_starts = NewRegExp(u"^", {.global = true, .multiline = true});
  ComPtr<IDispatch> matches = Execute(line_starts.get(), u"a\r\nb");
  std::vector<int32_t> positions;
  for (const Variant& match : Enumerate(matches.get())) {
    positions.push_back(Number(Get(match.pdispVal, u"FirstIndex")));
  }
  EXPECT_EQ(positions, (std::vector<int32_t>{0, 2, 3}));
}

TEST(RegExpDialect, IgnoreCaseFoldsAsciiAndOtherAlphabets) {
  CheckDialect({
          {u"hello", u"Say HeLLo", u"HeLLo"},
          {u"\u00e9t\u00e9", u"\u00c9T\u00c9", u"\u00c9T\u00c9"},
          {u"\u0434\u043e\u043c", u"\u0414\u041e\u041c", u"\u0414\u041e\u041c"},
          {u"\u03a3", u"\u03c3", u"\u03c3"},
          {u"[\u0430-\u044f]+", u"\u041f\u0440\u0418", u"\u041f\u0440\u0418"},
          {u"[^\u00e0-\u00ff]", u"\u00c0x", u"x"},
          {u"[a-z]+", u"ABC", u"ABC"},
          {u"\\W", u"k\u212a-", u"\u212a"},        // the Kelvin sign is no letter here
      },
      {.ignore_case = true});
  CheckDialect({{u"\u00e9", u"\u00c9", std::nullopt}, {u"[\u0430-\u044f]", u"\u0414", std::nullopt}});
}

TEST(RegExpDialect, IgnoreCasePairsEveryLetterThePlatformPairs) {
  // IgnoreCase and the platform's letter-case rules (UCase, text comparison) must agree on
  // every unit beyond ASCII.
  ComPtr<IDispatch> regexp = NewRegExp(u"", {.ignore_case = true});
  int checked = 0;
  for (uint32_t unit = 0x80; unit <= 0xFFFF; ++unit) {
    char16_t letter = char16_t(unit);
    char16_t other = ToUpperChar(letter) != letter ? ToUpperChar(letter) : ToLowerChar(letter);
    if (other == letter) continue;
    std::u16string alone(1, letter);
    SCOPED_TRACE(Narrow(alone));
    for (const std::u16string& pattern : {alone, u"[" + alone + u"]"}) {
      Put(regexp.get(), u"Pattern", S(pattern));
      EXPECT_TRUE(Truth(Get(regexp.get(), u"Test", {S(std::u16string(1, other))})));
    }
    ++checked;
  }
  EXPECT_GT(checked, 300);
}

// --- Empty matches ----------------------------------------------------------------------

TEST(RegExpEmptyMatches, GlobalSearchMovesOnAfterAnEmptyMatch) {
  ComPtr<IDispatch> regexp = NewRegExp(u"a*", {.global = true});
  ComPtr<IDispatch> matches = Execute(regexp.get(), u"baaac");
  std::vector<std::u16string> values;
  std::vector<int32_t> positions;
  for (const Variant& match : Enumerate(matches.get())) {
    values.push_back(Text(Get(match.pdispVal, u"Value")));
    positions.push_back(Number(Get(match.pdispVal, u"FirstIndex")));
  }
  EXPECT_EQ(values, (std::vector<std::u16string>{u"", u"aaa", u"", u""}));
  EXPECT_EQ(positions, (std::vector<int32_t>{0, 1, 4, 5}));
}

TEST(RegExpEmptyMatches, AnEmptyMatchIsNotRetriedAsALongerOne) {
  // After an empty match the search starts one unit further on, so a lazy pattern finds
  // only empty matches, one per position.
  ComPtr<IDispatch> regexp = NewRegExp(u"a*?", {.global = true});
  EXPECT_EQ(MatchValues(regexp.get(), u"aa"), (std::vector<std::u16string>{u"", u"", u""}));
}

TEST(RegExpEmptyMatches, ReplaceInsertsAtEveryEmptyMatch) {
  EXPECT_EQ(ReplaceText(u"a*", u"baaac", u"-", {.global = true}), u"-b--c-");
  EXPECT_EQ(ReplaceText(u"", u"abc", u"-", {.global = true}), u"-a-b-c-");
  EXPECT_EQ(ReplaceText(u"", u"", u"-", {.global = true}), u"-");
}

// --- Replace ----------------------------------------------------------------------------

TEST(RegExpReplace, WithoutGlobalOnlyTheFirstMatchIsReplaced) {
  EXPECT_EQ(ReplaceText(u"o", u"foo boo", u"0"), u"f0o boo");
  EXPECT_EQ(ReplaceText(u"o", u"foo boo", u"0", {.global = true}), u"f00 b00");
  EXPECT_EQ(ReplaceText(u"x", u"foo", u"0", {.global = true}), u"foo");
}

TEST(RegExpReplace, DollarReferencesExpand) {
  struct Case {
    std::u16string_view pattern;
    std::u16string_view replacement;
    std::u16string_view expected;
  };
  const Case cases[] = {
      {u"(\\w+) (\\w+)", u"$2 $1", u"<two one>"},
      {u"(\\w+) (\\w+)", u"[$&]", u"<[one two]>"},
      {u"one", u"$`", u"<< two>"},
      {u"one", u"$'", u"< two> two>"},
      {u"one", u"$$1", u"<$1 two>"},
      {u"one", u"$1", u"<$1 two>"},               // no such group: literal
      {u"(one)", u"$0$", u"<$0$ two>"},
      {u"(one)", u"$x", u"<$x two>"},
      {u"(one)", u"$01", u"<one two>"},
      {u"(one)", u"$10", u"<one0 two>"},          // one group: $1 then "0"
      {u"(x)?one", u"[$1]", u"<[] two>"},         // a group that took no part: nothing
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(Narrow(test.pattern) + " -> " + Narrow(test.replacement));
    EXPECT_EQ(ReplaceText(test.pattern, u"<one two>", test.replacement), test.expected);
  }
}

TEST(RegExpReplace, TwoDigitReferencesNameGroupsTenAndAbove) {
  std::u16string pattern;
  for (char16_t letter = u'a'; letter <= u'k'; ++letter) pattern += u"(" + std::u16string(1, letter) + u")";
  EXPECT_EQ(ReplaceText(pattern, u"abcdefghijk", u"$10$11$1"), u"jka");
}

TEST(RegExpReplace, GlobalReplacementUsesEachMatchsOwnGroups) {
  EXPECT_EQ(ReplaceText(u"(\\d+)-(\\d+)", u"1-2, 30-40", u"$2-$1", {.global = true}),
            u"2-1, 40-30");
  EXPECT_EQ(ReplaceText(u"b", u"abcb", u"[$`|$']", {.global = true}), u"a[a|cb]c[abc|]");
}

// --- Malformed patterns ----------------------------------------------------------------

TEST(RegExpErrors, MalformedPatternsRaiseTheirNumbers) {
  const std::pair<std::u16string_view, int32_t> cases[] = {
      {u"(", kExpectedParen},
      {u"(a(b)", kExpectedParen},
      {u"[a", kExpectedBracket},
      {u"[a\\", kExpectedBracket},
      {u"*a", kUnexpectedQuantifier},
      {u"a|+", kUnexpectedQuantifier},
      {u"(*ACCEPT)", kUnexpectedQuantifier},
      {u"a**", kUnexpectedQuantifier},
      {u"a++", kUnexpectedQuantifier},           // no possessive quantifiers
      {u"^*", kUnexpectedQuantifier},
      {u"\\b+", kUnexpectedQuantifier},
      {u"(?<n>a)", kUnexpectedQuantifier},       // no named groups or other "(?" forms
      {u"(?i)a", kUnexpectedQuantifier},
      {u"{2}", kUnexpectedQuantifier},
      {u"[z-a]", kInvalidRange},
      {u"[\\x42-\\x41]", kInvalidRange},
      {u"a)", kSyntaxError},
      {u"\\", kSyntaxError},
      {u"a{3,1}", kSyntaxError},
      {u"a{99999}", kSyntaxError},
  };
  for (const auto& [pattern, number] : cases) {
    SCOPED_TRACE(Narrow(pattern));
    EXPECT_EQ(PatternError(pattern), number);
  }
}

TEST(RegExpErrors, AreRaisedByTheCallThatUsesThePatternNotByTheAssignment) {
  ComPtr<IDispatch> regexp = CreateRegExp();
  ASSERT_TRUE(PutMember(regexp.get(), u"Pattern", {}, S(u"(")).ok());
  EXPECT_EQ(Fails(regexp.get(), u"Test", {S(u"a")}).Number(), kExpectedParen);
  EXPECT_EQ(Fails(regexp.get(), u"Execute", {S(u"a")}).Number(), kExpectedParen);
  EXPECT_EQ(Fails(regexp.get(), u"Replace", {S(u"a"), S(u"b")}).Number(), kExpectedParen);
  Put(regexp.get(), u"Pattern", S(u"(a)"));
  EXPECT_TRUE(Truth(Get(regexp.get(), u"Test", {S(u"a")})));
}

TEST(RegExpErrors, ErrorsCarryTheStandardDescription) {
  ComPtr<IDispatch> regexp = NewRegExp(u"[a");
  EXPECT_EQ(Fails(regexp.get(), u"Test", {S(u"a")}).Description(),
            u"Expected ']' in regular expression");
}

// --- Limits -----------------------------------------------------------------------------

TEST(RegExpLimits, CatastrophicBacktrackingEndsWithAnError) {
  ComPtr<IDispatch> regexp = NewRegExp(u"(a+)+$");
  std::u16string subject(40, u'a');
  subject += u'b';
  auto started = std::chrono::steady_clock::now();
  Error error = Fails(regexp.get(), u"Test", {S(subject)});
  auto elapsed = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(error.Number(), kSyntaxError);
  EXPECT_EQ(error.Description(), u"Regular expression is too complex");
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  EXPECT_EQ(Fails(regexp.get(), u"Execute", {S(subject)}).Number(), kSyntaxError);
}

TEST(RegExpLimits, HeavyBacktrackingAtManyStartPositionsEndsWithAnError) {
  // Each run of a's alone stays well within what one search may do; together they are
  // hundreds of millions of steps.
  std::u16string subject;
  for (int run = 0; run < 100; ++run) subject += std::u16string(20, u'a') + u'x';
  subject += u'b';
  ComPtr<IDispatch> regexp = NewRegExp(u"(a+)+b");
  auto started = std::chrono::steady_clock::now();
  Error error = Fails(regexp.get(), u"Test", {S(subject)});
  auto elapsed = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(error.Number(), kSyntaxError);
  EXPECT_EQ(error.Description(), u"Regular expression is too complex");
  EXPECT_LT(elapsed, std::chrono::seconds(10));
}

TEST(RegExpLimits, ALongSubjectUnderAQuantifiedGroupStillMatches) {
  // One backtracking point per unit, far beyond a shallow depth limit.
  std::u16string subject;
  for (int i = 0; i < 50000; ++i) subject += (i % 2 == 0) ? u'a' : u'b';
  ComPtr<IDispatch> regexp = NewRegExp(u"^(a|b)*$");
  EXPECT_TRUE(Truth(Get(regexp.get(), u"Test", {S(subject)})));
}

TEST(RegExpLimits, DeeplyNestedGroupsAreRefusedNotOverflowed) {
  std::u16string pattern(100000, u'(');
  pattern += u'a';
  pattern += std::u16string(100000, u')');
  ComPtr<IDispatch> regexp = NewRegExp(pattern);
  Error error = Fails(regexp.get(), u"Test", {S(u"a")});
  EXPECT_EQ(error.Number(), kSyntaxError);
  EXPECT_EQ(error.Description(), u"Regular expression is too complex");
}

TEST(RegExpLimits, AnOverlongPatternIsRefused) {
  std::u16string pattern((size_t{1} << 20) + 1, u'a');
  EXPECT_EQ(PatternError(pattern), kSyntaxError);
}
