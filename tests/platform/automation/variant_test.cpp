#include "platform/automation/variant.h"

#include <gtest/gtest.h>

#include "platform/automation/safearray.h"
#include "tests/support/fake_dispatch.h"

TEST(Variant, CopyDuplicatesStringsAndLeavesSourceIntact) {
  Variant original = Variant::FromString(u"report");
  Variant copy = original;
  EXPECT_EQ(copy.StringView(), u"report");
  EXPECT_NE(copy.bstrVal, original.bstrVal);
  original = Variant::FromI4(3);
  EXPECT_EQ(copy.StringView(), u"report");
}

TEST(Variant, MoveLeavesSourceEmpty) {
  Variant original = Variant::FromString(u"x");
  Variant moved = std::move(original);
  EXPECT_TRUE(original.IsEmpty());  // NOLINT(bugprone-use-after-move): the rule under test
  EXPECT_EQ(moved.StringView(), u"x");
}

TEST(Variant, ObjectReferencesAreCountedAcrossCopiesAndClear) {
  FakeDispatch object(Variant::FromI4(1));
  {
    Variant holder = Variant::FromDispatch(&object);
    EXPECT_EQ(object.references(), 1u);
    Variant copy = holder;
    EXPECT_EQ(object.references(), 2u);
    copy.Clear();
    EXPECT_EQ(object.references(), 1u);
  }
  EXPECT_EQ(object.references(), 0u);
}

TEST(Variant, NothingIsADispatchVariantWithNullPointer) {
  Variant nothing = Variant::FromDispatch(nullptr);
  EXPECT_EQ(nothing.Type(), VT_DISPATCH);
  Variant copy = nothing;  // copying Nothing must not touch a null object
  EXPECT_EQ(copy.pdispVal, nullptr);
}

TEST(Variant, MissingArgumentIsParamNotFoundError) {
  Variant missing = Variant::Missing();
  EXPECT_EQ(missing.Type(), VT_ERROR);
  EXPECT_EQ(missing.scode, DISP_E_PARAMNOTFOUND);
  EXPECT_TRUE(missing.IsMissing());
  EXPECT_FALSE(Variant::FromError(E_FAIL).IsMissing());
}

TEST(Variant, BooleanIsMinusOneOrZero) {
  EXPECT_EQ(Variant::FromBool(true).boolVal, -1);
  EXPECT_EQ(Variant::FromBool(false).boolVal, 0);
}

TEST(VariantReference, PeekFollowsVariantReferenceChains) {
  Variant target = Variant::FromString(u"deep");
  Variant first = Variant::RefTo(&target);
  Variant second = Variant::RefTo(&first);
  VARIANT value = PeekValue(second);
  EXPECT_EQ(value.vt, VT_BSTR);
  EXPECT_EQ(BstrView(value.bstrVal), u"deep");
}

TEST(VariantReference, PeekReadsTypedReferences) {
  int32_t number = 41;
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = VT_BYREF | VT_I4;
  reference.plVal = &number;
  number = 42;
  VARIANT value = PeekValue(reference);
  EXPECT_EQ(value.vt, VT_I4);
  EXPECT_EQ(value.lVal, 42);
}

TEST(VariantReference, CyclicReferenceReadsAsEmptyInsteadOfLooping) {
  VARIANT a;
  VARIANT b;
  VariantInit(&a);
  VariantInit(&b);
  a.vt = VT_BYREF | VT_VARIANT;
  a.pvarVal = &b;
  b.vt = VT_BYREF | VT_VARIANT;
  b.pvarVal = &a;
  EXPECT_EQ(PeekValue(a).vt, VT_EMPTY);
}

TEST(VariantReference, CopyKeepsReferenceAndCopyIndTakesValue) {
  Variant target = Variant::FromString(u"value");
  Variant reference = Variant::RefTo(&target);
  Variant same_reference = reference;
  EXPECT_EQ(same_reference.Type(), VT_BYREF | VT_VARIANT);
  EXPECT_EQ(same_reference.pvarVal, &target);

  Variant value;
  ASSERT_EQ(VariantCopyInd(&value, &reference), S_OK);
  EXPECT_EQ(value.Type(), VT_BSTR);
  EXPECT_EQ(value.StringView(), u"value");
  EXPECT_NE(value.bstrVal, target.bstrVal);
}

TEST(VariantReference, CopyIndInPlaceReplacesReferenceWithValue) {
  BSTR text = SysAllocString(u"in place");
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = VT_BYREF | VT_BSTR;
  reference.pbstrVal = &text;
  ASSERT_EQ(VariantCopyInd(&reference, &reference), S_OK);
  EXPECT_EQ(reference.vt, VT_BSTR);
  EXPECT_EQ(BstrView(reference.bstrVal), u"in place");
  VariantClear(&reference);
  SysFreeString(text);
}

TEST(Variant, ArrayCopyIsDeep) {
  Variant array = Variant::FromArray(VT_VARIANT, SafeArrayCreateVector(VT_VARIANT, 0, 2));
  int32_t index = 1;
  ASSERT_TRUE(SafeArrayPutElement(array.parray, &index, 1, Variant::FromString(u"a")).ok());
  Variant copy = array;
  ASSERT_TRUE(SafeArrayPutElement(array.parray, &index, 1, Variant::FromString(u"b")).ok());
  Result<Variant> element = SafeArrayGetElement(copy.parray, &index, 1);
  ASSERT_TRUE(element.ok());
  EXPECT_EQ(element.value().StringView(), u"a");
}

TEST(Variant, DetachAndAttachTransferOwnership) {
  Variant holder = Variant::FromString(u"owned");
  VARIANT raw = holder.Detach();
  EXPECT_TRUE(holder.IsEmpty());
  Variant other;
  other.Attach(raw);
  EXPECT_EQ(other.StringView(), u"owned");
}
