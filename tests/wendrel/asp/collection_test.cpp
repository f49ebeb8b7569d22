#include "wendrel/asp/collection.h"

#include <gtest/gtest.h>

#include "platform/com/enum_variant.h"
#include "tests/wendrel/asp/asp_test_support.h"
#include "wendrel/asp/item.h"

namespace {

ComPtr<Collection> Plain() {
  return MakeObject<Collection>(&Item::MakeSingleValue, CollectionOptions{});
}
ComPtr<Collection> RequestStyle() {
  return MakeObject<Collection>(
      &Item::MakeRequestValue,
      CollectionOptions{.merge_duplicate_keys = true, .empty_item_for_missing_key = true});
}

std::u16string ValueOfEntry(const Result<Variant>& entry) {
  return Text(Call(Object(entry), u"Value"));
}

TEST(CollectionLookup, PositionsAreOneBasedAndSmallOnesSelectTheFirst) {
  ComPtr<Collection> collection = Plain();
  collection->AddEntry("first", "1");
  collection->AddEntry("second", "2");
  for (int32_t position : {0, 1, -5}) {
    SCOPED_TRACE(position);
    EXPECT_EQ(ValueOfEntry(Call(collection.get(), u"Item", {I(position)})), u"1");
  }
  EXPECT_EQ(ValueOfEntry(Call(collection.get(), u"Item", {I(2)})), u"2");
  EXPECT_EQ(Call(collection.get(), u"Item", {I(3)}).value().vt, VT_EMPTY);
  // Only 16- and 32-bit integers are positions; a double selects nothing.
  EXPECT_EQ(Call(collection.get(), u"Item", {Variant::FromR8(1.0)}).value().vt, VT_EMPTY);
  EXPECT_EQ(ValueOfEntry(Call(collection.get(), u"Item", {Variant::FromI2(2)})), u"2");
}

TEST(CollectionLookup, KeysIgnoreCase) {
  ComPtr<Collection> collection = Plain();
  collection->AddEntry("Name", "x");
  for (std::u16string_view key : {u"Name", u"NAME", u"name"}) {
    EXPECT_EQ(ValueOfEntry(Call(collection.get(), u"Item", {S(key)})), u"x");
  }
  EXPECT_EQ(Text(Call(collection.get(), u"Key", {I(1)})), u"Name");
  EXPECT_EQ(Call(collection.get(), u"Key", {S(u"none")}).value().vt, VT_EMPTY);
}

TEST(CollectionLookup, MissingKeyGivesEmptyOrAnEmptyItem) {
  EXPECT_EQ(Call(Plain().get(), u"Item", {S(u"missing")}).value().vt, VT_EMPTY);
  ComPtr<Collection> request = RequestStyle();
  Result<Variant> item = Call(request.get(), u"Item", {S(u"missing")});
  ASSERT_EQ(item.value().vt, VT_DISPATCH);
  EXPECT_EQ(Call(Object(item), u"Count").value().iVal, 0);
  EXPECT_EQ(Call(Object(item), u"Value").value().vt, VT_EMPTY);
  EXPECT_EQ(request->EntryCount(), 0u);  // not added
}

TEST(CollectionLookup, NoIndexGivesTheRawText) {
  ComPtr<Collection> collection = Plain();
  EXPECT_EQ(Text(Call(collection.get(), u"Item")), u"");
  collection->SetRawText("a=1&b=2");
  EXPECT_EQ(Text(Call(collection.get(), u"Item")), u"a=1&b=2");
  ASSERT_TRUE(Call(collection.get(), u"RemoveAll").ok());
  EXPECT_EQ(Text(Call(collection.get(), u"Item")), u"");
}

TEST(CollectionLookup, CreateOnAccessAddsTheMissingKey) {
  ComPtr<Collection> collection =
      MakeObject<Collection>(&Item::MakeSingleValue, CollectionOptions{.create_on_access = true});
  Result<Variant> made = Call(collection.get(), u"Item", {S(u"new")});
  ASSERT_EQ(made.value().vt, VT_DISPATCH);
  EXPECT_EQ(collection->EntryCount(), 1u);
  EXPECT_EQ(Text(Call(collection.get(), u"Key", {I(1)})), u"new");
}

TEST(CollectionChanges, DuplicateKeysMergeIntoOneItem) {
  ComPtr<Collection> collection = RequestStyle();
  collection->AddEntry("a", "1");
  collection->AddEntry("A", "2");
  EXPECT_EQ(collection->EntryCount(), 1u);
  Result<Variant> entry = Call(collection.get(), u"Item", {S(u"a")});
  EXPECT_EQ(Text(Call(Object(entry), u"Value")), u"1, 2");
  EXPECT_EQ(Call(Object(entry), u"Count").value().iVal, 2);
}

TEST(CollectionChanges, AddNeverMergesAndNeedsAFactory) {
  ComPtr<Collection> collection = RequestStyle();
  ASSERT_TRUE(Call(collection.get(), u"Add", {S(u"k"), S(u"1")}).ok());
  ASSERT_TRUE(Call(collection.get(), u"Add", {S(u"k"), S(u"2")}).ok());
  EXPECT_EQ(Call(collection.get(), u"Count").value().lVal, 2);
  ComPtr<Collection> without = MakeObject<Collection>(nullptr, CollectionOptions{});
  Result<Variant> refused = Call(without.get(), u"Add", {S(u"k"), S(u"1")});
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().Hresult(), E_FAIL);
}

TEST(CollectionChanges, RemoveByKeyOrPositionKeepsTheOthersFindable) {
  ComPtr<Collection> collection = Plain();
  for (const char* key : {"a", "b", "c"}) collection->AddEntry(key, key);
  ASSERT_TRUE(Call(collection.get(), u"Remove", {S(u"B")}).ok());
  ASSERT_TRUE(Call(collection.get(), u"Remove", {S(u"absent")}).ok());
  EXPECT_EQ(ValueOfEntry(Call(collection.get(), u"Item", {S(u"c")})), u"c");
  ASSERT_TRUE(Call(collection.get(), u"Remove", {I(1)}).ok());
  EXPECT_EQ(collection->EntryKeys(), std::vector<std::string>{"c"});
}

TEST(CollectionChanges, RenamedEntryIsFoundByItsNewKey) {
  ComPtr<Collection> collection = Plain();
  collection->AddEntry("old", "v");
  IDispatch* entry = Object(Call(collection.get(), u"Item", {S(u"old")}));
  ASSERT_TRUE(Put(entry, u"Key", S(u"fresh")).ok());
  EXPECT_EQ(ValueOfEntry(Call(collection.get(), u"Item", {S(u"FRESH")})), u"v");
  EXPECT_EQ(Call(collection.get(), u"Item", {S(u"old")}).value().vt, VT_EMPTY);
}

TEST(CollectionEnumeration, YieldsTheKeysInOrder) {
  ComPtr<Collection> collection = Plain();
  collection->AddEntry("x", "1");
  collection->AddEntry("y", "2");
  Result<Variant> enumerator = Call(collection.get(), u"_NewEnum");
  ASSERT_EQ(enumerator.value().vt, VT_UNKNOWN);
  ComPtr<IEnumVARIANT> walk =
      ComPtr<IUnknown>(enumerator.value().punkVal).As<IEnumVARIANT>(IID_IEnumVARIANT);
  ASSERT_TRUE(walk);
  VARIANT keys[3];
  ULONG fetched = 0;
  EXPECT_EQ(walk->Next(3, keys, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(BstrView(keys[0].bstrVal), u"x");
  EXPECT_EQ(BstrView(keys[1].bstrVal), u"y");
  for (ULONG i = 0; i < fetched; ++i) VariantClear(&keys[i]);
}

TEST(CollectionScale, ManyDistinctKeysStayFast) {
  // 200,000 fields must not cost a quadratic number of key comparisons.
  ComPtr<Collection> collection = RequestStyle();
  for (int i = 0; i < 200'000; ++i) collection->AddEntry("field" + std::to_string(i), "v");
  EXPECT_EQ(collection->EntryCount(), 200'000u);
  EXPECT_TRUE(collection->FindEntry("FIELD199999"));
}

}  // namespace
