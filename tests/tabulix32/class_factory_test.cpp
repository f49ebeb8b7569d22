// ClassFactory.createUtilitiesClass: a new, working UtilitiesClass for every call.
#include "tabulix32/utilities/class_factory.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/automation/dispatch_call.h"
#include "platform/com/object_type_name.h"

namespace {

Variant NewUtilities(IDispatch* factory) {
  Result<Variant> created = CallMember(factory, u"createUtilitiesClass");
  EXPECT_TRUE(created.ok());
  return created.ok() ? std::move(created).value() : Variant();
}

TEST(ReportClassFactoryTest, CreatesAUtilitiesClassObject) {
  ComPtr<ReportClassFactory> factory = MakeObject<ReportClassFactory>();
  EXPECT_EQ(ObjectTypeName(static_cast<IDispatch*>(factory.get())), u"ClassFactory");
  Variant utilities = NewUtilities(factory.get());
  ASSERT_EQ(utilities.Type(), VT_DISPATCH);
  ASSERT_NE(utilities.pdispVal, nullptr);
  EXPECT_EQ(ObjectTypeName(utilities.pdispVal), u"UtilitiesClass");
  Variant null = Variant::Null();
  std::vector<VARIANT> arguments{null};
  Result<Variant> fixed = CallMember(utilities.pdispVal, u"nullFix", arguments);
  ASSERT_TRUE(fixed.ok());
  EXPECT_EQ(fixed.value().StringView(), u"<NULL>");
}

TEST(ReportClassFactoryTest, EveryCallGivesANewObject) {
  ComPtr<ReportClassFactory> factory = MakeObject<ReportClassFactory>();
  Variant first = NewUtilities(factory.get());
  Variant second = NewUtilities(factory.get());
  ASSERT_EQ(first.Type(), VT_DISPATCH);
  ASSERT_EQ(second.Type(), VT_DISPATCH);
  EXPECT_NE(first.pdispVal, second.pdispVal);
}

TEST(ReportClassFactoryTest, TakesNoArguments) {
  ComPtr<ReportClassFactory> factory = MakeObject<ReportClassFactory>();
  Variant extra = Variant::FromI4(1);
  std::vector<VARIANT> arguments{extra};
  Result<Variant> outcome = CallMember(factory.get(), u"createUtilitiesClass", arguments);
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 450);
}

}  // namespace
