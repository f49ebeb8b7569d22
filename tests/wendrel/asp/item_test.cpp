#include "wendrel/asp/item.h"

#include <gtest/gtest.h>

#include "tests/wendrel/asp/asp_test_support.h"

namespace {

ComPtr<Item> MultiValued(std::string_view first) {
  return MakeObject<Item>("a", Item::Values::Multiple, CP_ACP, first);
}

TEST(ItemValues, SeveralValuesJoinWithCommaAndSpace) {
  ComPtr<Item> item = MultiValued("1");
  item->AppendEntryValue("2");
  EXPECT_EQ(Text(Call(item.get(), u"Value")), u"1, 2");
  EXPECT_EQ(Text(Call(item.get(), u"Value", {I(2)})), u"2");
  EXPECT_EQ(Text(Call(item.get(), u"Item", {I(1)})), u"1");
  EXPECT_EQ(Call(item.get(), u"Count").value().iVal, 2);
}

TEST(ItemValues, IndexOutsideTheSlotsIsSubscriptOutOfRange) {
  ComPtr<Item> item = MultiValued("1");
  EXPECT_EQ(Call(item.get(), u"Value", {I(0)}).error().Number(), 9);
  EXPECT_EQ(Call(item.get(), u"Value", {I(9)}).error().Number(), 9);
  EXPECT_EQ(Text(Call(item.get(), u"Value", {I(8)})), u"");  // an unused slot reads empty
}

TEST(ItemValues, PutWithIntegerIndexWritesTheZeroBasedSlot) {
  ComPtr<Item> item = MultiValued("1");
  item->AppendEntryValue("2");
  ASSERT_TRUE(Put(item.get(), u"Value", S(u"second"), {I(1)}).ok());
  EXPECT_EQ(Text(Call(item.get(), u"Value", {I(2)})), u"second");
  ASSERT_TRUE(Put(item.get(), u"Value", S(u"third"), {I(2)}).ok());
  EXPECT_EQ(Call(item.get(), u"Count").value().iVal, 2);  // the count stays
  EXPECT_EQ(Text(Call(item.get(), u"Value", {I(3)})), u"third");
  ASSERT_TRUE(Put(item.get(), u"Value", S(u"zero")).ok());
  EXPECT_EQ(Text(Call(item.get(), u"Value", {I(1)})), u"zero");
  ASSERT_TRUE(Put(item.get(), u"Value", S(u"appended"), {S(u"x")}).ok());
  EXPECT_EQ(Call(item.get(), u"Count").value().iVal, 3);
  EXPECT_EQ(Text(Call(item.get(), u"Value", {I(3)})), u"appended");
}

TEST(ItemValues, SlotsGrowPastTheFirstCapacity) {
  ComPtr<Item> item = MultiValued("0");
  for (int i = 1; i < 40; ++i) item->AppendEntryValue(std::to_string(i));
  EXPECT_EQ(Call(item.get(), u"Count").value().iVal, 40);
  EXPECT_EQ(Text(Call(item.get(), u"Value", {I(40)})), u"39");
}

TEST(ItemValues, CountStopsAtTheLargest16BitNumber) {
  ComPtr<Item> item = MultiValued("v");
  for (int i = 1; i < Item::kMaxValues + 10; ++i) item->AppendEntryValue("v");
  EXPECT_EQ(Call(item.get(), u"Count").value().iVal, Item::kMaxValues);
}

TEST(ItemValues, WithoutAValueTheItemIsEmptyAndSingleValued) {
  ComPtr<Item> item = MakeObject<Item>("k", Item::Values::Multiple, CP_ACP, std::nullopt);
  EXPECT_FALSE(item->IsMultiValued());
  EXPECT_EQ(Call(item.get(), u"Count").value().iVal, 0);
  EXPECT_EQ(Call(item.get(), u"Value", {I(3)}).value().vt, VT_EMPTY);
  item->AppendEntryValue("ignored");
  EXPECT_EQ(Call(item.get(), u"Count").value().iVal, 0);
}

TEST(ItemValues, SingleValuedItemIgnoresTheIndex) {
  ComPtr<Item> item = MakeObject<Item>("k", Item::Values::Single, CP_ACP, "v");
  EXPECT_EQ(Text(Call(item.get(), u"Value", {I(7)})), u"v");
  ASSERT_TRUE(Put(item.get(), u"Value", I(5)).ok());
  EXPECT_EQ(Call(item.get(), u"Value").value().lVal, 5);
}

TEST(ItemCodePage, Utf8BytesAreDetected) {
  struct Case {
    std::string_view bytes;
    uint32_t code_page;
  } cases[] = {
      {"plain ascii", CP_ACP},
      {"caf\xC3\xA9", CP_UTF8},
      {"caf\xE9", CP_ACP},           // Windows-1252 é
      {"\xE9\xE9\xA9", CP_ACP},      // one valid, one invalid pair: not more valid
      {"\xE2\x82\xAC 5", CP_UTF8},   // euro sign
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(Item::DetectCodePage(c.bytes), c.code_page);
  }
  CollectionEntryHandle utf8 = Item::MakeRequestValue("name", "caf\xC3\xA9");
  EXPECT_EQ(Text(Call(utf8.object.get(), u"Value")), u"café");
  CollectionEntryHandle ansi = Item::MakeRequestValue("name", "caf\xE9");
  EXPECT_EQ(Text(Call(ansi.object.get(), u"Value")), u"café");
}

TEST(ItemEnumeration, WalksTheValuesOfAMultiValuedItem) {
  ComPtr<Item> item = MultiValued("1");
  item->AppendEntryValue("2");
  Result<Variant> enumerator = Call(item.get(), u"_NewEnum");
  ASSERT_EQ(enumerator.value().vt, VT_UNKNOWN);
}

}  // namespace
