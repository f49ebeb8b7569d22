#include "wendrel/asp/quav_dictionary.h"

#include <gtest/gtest.h>

#include "tests/support/fake_dispatch.h"
#include "tests/wendrel/asp/asp_test_support.h"

namespace {

TEST(QuavDictionary, KeysIgnoreCase) {
  ComPtr<CQuavDictionary> contents = MakeObject<CQuavDictionary>();
  ASSERT_TRUE(Put(contents.get(), u"Item", I(5), {S(u"Name")}).ok());
  ASSERT_TRUE(Put(contents.get(), u"Item", I(6), {S(u"NAME")}).ok());
  EXPECT_EQ(Call(contents.get(), u"Item", {S(u"name")}).value().lVal, 6);
  EXPECT_EQ(Call(contents.get(), u"Count").value().iVal, 1);
  EXPECT_EQ(Call(contents.get(), u"Item", {S(u"absent")}).value().vt, VT_EMPTY);
}

TEST(QuavDictionary, RemoveEmptiesTheValueAndKeepsTheKey) {
  ComPtr<CQuavDictionary> contents = MakeObject<CQuavDictionary>();
  ASSERT_TRUE(Put(contents.get(), u"Item", S(u"v"), {S(u"k")}).ok());
  ASSERT_TRUE(Call(contents.get(), u"Remove", {S(u"K")}).ok());
  ASSERT_TRUE(Call(contents.get(), u"Remove", {S(u"absent")}).ok());
  EXPECT_EQ(Call(contents.get(), u"Count").value().iVal, 1);
  EXPECT_EQ(Call(contents.get(), u"Item", {S(u"k")}).value().vt, VT_EMPTY);
  ASSERT_TRUE(Call(contents.get(), u"RemoveAll").ok());
  EXPECT_EQ(Call(contents.get(), u"Count").value().iVal, 0);
}

TEST(QuavDictionary, KeyByPositionAndPositionByKey) {
  ComPtr<CQuavDictionary> contents = MakeObject<CQuavDictionary>();
  ASSERT_TRUE(Put(contents.get(), u"Item", I(1), {S(u"first")}).ok());
  ASSERT_TRUE(Put(contents.get(), u"Item", I(2), {S(u"second")}).ok());
  EXPECT_EQ(Text(Call(contents.get(), u"Key", {I(2)})), u"second");
  EXPECT_EQ(Text(Call(contents.get(), u"Key", {I(3)})), u"");
  EXPECT_EQ(Call(contents.get(), u"Key", {S(u"SECOND")}).value().lVal, 2);
  EXPECT_EQ(Call(contents.get(), u"Key", {S(u"none")}).value().lVal, 0);
}

TEST(QuavDictionary, PutStoresTheDefaultValueAndPutRefTheObject) {
  FakeDispatch object(Variant::FromI4(77));
  ComPtr<CQuavDictionary> contents = MakeObject<CQuavDictionary>();
  Variant reference = Variant::FromDispatch(&object);
  ASSERT_TRUE(Put(contents.get(), u"Item", reference, {S(u"value")}).ok());
  EXPECT_EQ(Call(contents.get(), u"Item", {S(u"value")}).value().lVal, 77);
  DISPID item = GetDispatchId(contents.get(), u"Item").value();
  Variant key = S(u"object");
  std::vector<VARIANT> arguments{key, reference};
  ASSERT_TRUE(InvokeDispatch(contents.get(), item, DISPATCH_PROPERTYPUTREF, arguments).ok());
  Result<Variant> stored = Call(contents.get(), u"Item", {S(u"object")});
  ASSERT_EQ(stored.value().vt, VT_DISPATCH);
  EXPECT_EQ(stored.value().pdispVal, &object);
  ASSERT_TRUE(Call(contents.get(), u"RemoveAll").ok());
}

}  // namespace
