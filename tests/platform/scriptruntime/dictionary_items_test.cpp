// IDictionaryItems: the direct access to a dictionary's items keeps the rules of the dispatch
// members it stands for; each test checks one rule against what the members themselves show.
#include "platform/scriptruntime/dictionary_items.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/automation/dispatch_call.h"
#include "platform/com/com_ptr.h"
#include "platform/scriptruntime/dictionary.h"

namespace {

Variant S(std::u16string_view text) { return Variant::FromString(text); }
Variant I(int32_t value) { return Variant::FromI4(value); }

class DictionaryItems : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(dictionary_->QueryInterface(IID_IDictionaryItems,
                                                      reinterpret_cast<void**>(items_.Receive()))));
  }

  Variant Member(std::u16string_view name, std::initializer_list<Variant> arguments = {}) {
    std::vector<VARIANT> borrowed(arguments.begin(), arguments.end());
    Result<Variant> outcome = CallMember(dictionary_.get(), name, borrowed);
    EXPECT_TRUE(outcome.ok());
    return outcome.ok() ? std::move(outcome).value() : Variant();
  }
  int32_t Count() { return Member(u"Count").lVal; }

  ComPtr<Dictionary> dictionary_ = MakeObject<Dictionary>();
  ComPtr<IDictionaryItems> items_;
};

TEST_F(DictionaryItems, TextKeyFindsTheItemAStringKeyStored) {
  Member(u"Add", {S(u"K1_sales"), I(42)});
  const VARIANT* item = items_->ReadTextItem(u"K1_sales").value();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->vt, VT_I4);
  EXPECT_EQ(item->lVal, 42);
  EXPECT_EQ(Count(), 1);
}

TEST_F(DictionaryItems, ReadingAnAbsentKeyAddsItWithEmptyAsItemDoes) {
  const VARIANT* item = items_->ReadTextItem(u"missing").value();
  EXPECT_EQ(item->vt, VT_EMPTY);
  EXPECT_EQ(Count(), 1);
  EXPECT_EQ(Member(u"Exists", {S(u"missing")}).boolVal, VARIANT_TRUE);
  // The added key is a string, as a page's d("missing") would add it.
  EXPECT_EQ(items_->KeyList().value().front().Type(), VT_BSTR);
}

TEST_F(DictionaryItems, FindingAnAbsentKeyAddsNothing) {
  EXPECT_EQ(items_->FindTextItem(u"missing").value(), nullptr);
  EXPECT_EQ(items_->FindItem(S(u"missing")).value(), nullptr);
  EXPECT_EQ(Count(), 0);
}

TEST_F(DictionaryItems, NumberKeysAreNotTheirText) {
  Member(u"Add", {I(1), S(u"one")});
  EXPECT_EQ(items_->FindTextItem(u"1").value(), nullptr);
  const VARIANT* item = items_->FindItem(Variant::FromR8(1.0)).value();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(std::u16string_view(item->bstrVal), u"one");
}

TEST_F(DictionaryItems, TextCompareModeIgnoresCaseForTextKeys) {
  ASSERT_TRUE(PutMember(dictionary_.get(), u"CompareMode", {}, I(1)).ok());
  Member(u"Add", {S(u"Sales"), I(7)});
  const VARIANT* item = items_->FindTextItem(u"SALES").value();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->lVal, 7);
  EXPECT_EQ(items_->ReadTextItem(u"sales").value()->lVal, 7);
  EXPECT_EQ(Count(), 1);
}

TEST_F(DictionaryItems, WritingReplacesOrAddsAndItemReadsIt) {
  ASSERT_TRUE(items_->WriteTextItem(u"total", I(5)).ok());
  ASSERT_TRUE(items_->WriteTextItem(u"total", Variant::FromR8(7.5)).ok());
  ASSERT_TRUE(items_->WriteItem(I(3), S(u"three")).ok());
  EXPECT_EQ(Member(u"Item", {S(u"total")}).dblVal, 7.5);
  EXPECT_EQ(Member(u"Item", {I(3)}).StringView(), u"three");
  EXPECT_EQ(Count(), 2);
}

TEST_F(DictionaryItems, WritingStoresACopyOfTheValueBehindAReference) {
  Variant value = S(u"x");
  Variant reference = Variant::RefTo(&value);
  ASSERT_TRUE(items_->WriteTextItem(u"k", reference).ok());
  value = S(u"changed");
  EXPECT_EQ(Member(u"Item", {S(u"k")}).StringView(), u"x");
}

TEST_F(DictionaryItems, AddRefusesAPresentKeyWith457AndKeepsTheItem) {
  ASSERT_TRUE(items_->AddItem(S(u"k"), I(1)).ok());
  Result<void> again = items_->AddItem(S(u"k"), I(2));
  ASSERT_FALSE(again.ok());
  EXPECT_EQ(again.error().Number(), 457);
  EXPECT_EQ(Member(u"Item", {S(u"k")}).lVal, 1);
}

TEST_F(DictionaryItems, ArraysAreNoKeys) {
  Variant array = Member(u"Keys");  // an (empty) array value
  Result<const VARIANT*> read = items_->ReadItem(array);
  ASSERT_FALSE(read.ok());
  EXPECT_EQ(read.error().Number(), 5);
}

TEST_F(DictionaryItems, KeyListAndCountFollowInsertionOrder) {
  Member(u"Add", {S(u"b"), I(1)});
  Member(u"Add", {I(2), I(2)});
  Member(u"Add", {S(u"a"), I(3)});
  Member(u"Remove", {I(2)});
  std::vector<Variant> keys = items_->KeyList().value();
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].StringView(), u"b");
  EXPECT_EQ(keys[1].StringView(), u"a");
  EXPECT_EQ(items_->ItemCount(), 2);
}

TEST_F(DictionaryItems, TextKeysStillFoundAfterTheTableGrowsAndShrinks) {
  for (int32_t i = 0; i < 500; ++i) {
    std::string digits = std::to_string(i);
    ASSERT_TRUE(
        items_->WriteTextItem(u"k" + std::u16string(digits.begin(), digits.end()), I(i)).ok());
  }
  for (int32_t i = 0; i < 400; ++i) {
    std::string digits = std::to_string(i);
    Member(u"Remove", {S(u"k" + std::u16string(digits.begin(), digits.end()))});
  }
  EXPECT_EQ(items_->FindTextItem(u"k10").value(), nullptr);
  const VARIANT* item = items_->FindTextItem(u"k450").value();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->lVal, 450);
}

}  // namespace
