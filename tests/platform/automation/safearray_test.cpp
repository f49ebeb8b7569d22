#include "platform/automation/safearray.h"

#include <gtest/gtest.h>

namespace {

// A 2-D array of variants indexed (column, row) with the given bounds.
SAFEARRAY* MakeGrid(int32_t column_low, uint32_t columns, int32_t row_low, uint32_t rows) {
  SAFEARRAYBOUND bounds[2] = {{columns, column_low}, {rows, row_low}};
  return SafeArrayCreate(VT_VARIANT, 2, bounds);
}

}  // namespace

TEST(SafeArray, BoundsOfEachDimension) {
  SAFEARRAY* grid = MakeGrid(1, 3, -2, 5);
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(SafeArrayGetDim(grid), 2u);
  EXPECT_EQ(SafeArrayLowerBound(grid, 1).value(), 1);
  EXPECT_EQ(SafeArrayUpperBound(grid, 1).value(), 3);
  EXPECT_EQ(SafeArrayLowerBound(grid, 2).value(), -2);
  EXPECT_EQ(SafeArrayUpperBound(grid, 2).value(), 2);
  EXPECT_TRUE(SafeArrayUpperBound(grid, 3).error().Is(ErrorNumber::SubscriptOutOfRange));
  EXPECT_TRUE(SafeArrayLowerBound(grid, 0).error().Is(ErrorNumber::SubscriptOutOfRange));
  SafeArrayDestroy(grid);
}

TEST(SafeArray, EmptyDynamicArrayHasUpperBoundBelowLower) {
  SAFEARRAY* empty = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SafeArrayUpperBound(empty, 1).value(), -1);
  int32_t index = 0;
  EXPECT_FALSE(SafeArrayGetElement(empty, &index, 1).ok());
  SafeArrayDestroy(empty);
}

TEST(SafeArray, ElementsAreIndependentPerPosition) {
  SAFEARRAY* grid = MakeGrid(0, 3, 0, 2);
  for (int32_t row = 0; row < 2; ++row) {
    for (int32_t column = 0; column < 3; ++column) {
      int32_t indices[2] = {column, row};
      ASSERT_TRUE(SafeArrayPutElement(grid, indices, 2, Variant::FromI4(row * 10 + column)).ok());
    }
  }
  int32_t probe[2] = {2, 1};
  EXPECT_EQ(SafeArrayGetElement(grid, probe, 2).value().lVal, 12);
  SafeArrayDestroy(grid);
}

TEST(SafeArray, OutOfRangeAccessIsSubscriptError) {
  SAFEARRAY* grid = MakeGrid(1, 2, 1, 2);
  struct Case {
    int32_t column;
    int32_t row;
  } cases[] = {{0, 1}, {3, 1}, {1, 0}, {1, 3}, {INT32_MIN, 1}, {1, INT32_MAX}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.column << "," << c.row);
    int32_t indices[2] = {c.column, c.row};
    Result<Variant> element = SafeArrayGetElement(grid, indices, 2);
    ASSERT_FALSE(element.ok());
    EXPECT_EQ(element.error().Number(), 9);
  }
  int32_t one_index = 1;
  EXPECT_EQ(SafeArrayGetElement(grid, &one_index, 1).error().Number(), 9);
  SafeArrayDestroy(grid);
}

TEST(SafeArray, RedimPreserveKeepsElementsAndEmptiesNewOnes) {
  SAFEARRAY* grid = MakeGrid(0, 2, 0, 2);
  int32_t cell[2] = {1, 1};
  ASSERT_TRUE(SafeArrayPutElement(grid, cell, 2, Variant::FromString(u"kept")).ok());
  ASSERT_TRUE(SafeArrayRedim(grid, SAFEARRAYBOUND{4, 0}).ok());
  EXPECT_EQ(SafeArrayGetElement(grid, cell, 2).value().StringView(), u"kept");
  int32_t fresh[2] = {1, 3};
  EXPECT_TRUE(SafeArrayGetElement(grid, fresh, 2).value().IsEmpty());
  SafeArrayDestroy(grid);
}

TEST(SafeArray, RedimShrinkReleasesDroppedStrings) {
  SAFEARRAY* list = SafeArrayCreateVector(VT_BSTR, 0, 3);
  for (int32_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(SafeArrayPutElement(list, &i, 1, Variant::FromString(u"text")).ok());
  }
  ASSERT_TRUE(SafeArrayRedim(list, SAFEARRAYBOUND{1, 0}).ok());  // leak check catches a miss
  int32_t gone = 1;
  EXPECT_FALSE(SafeArrayGetElement(list, &gone, 1).ok());
  SafeArrayDestroy(list);
}

TEST(SafeArray, TypedElementsConvertOnStore) {
  SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 2);
  int32_t index = 0;
  ASSERT_TRUE(SafeArrayPutElement(bytes, &index, 1, Variant::FromString(u"200")).ok());
  EXPECT_EQ(SafeArrayGetElement(bytes, &index, 1).value().bVal, 200);
  Result<void> too_big = SafeArrayPutElement(bytes, &index, 1, Variant::FromI4(256));
  EXPECT_EQ(too_big.error().Number(), 6);
  SafeArrayDestroy(bytes);
}

TEST(SafeArray, LockedArrayRefusesRedimAndDestroy) {
  SAFEARRAY* list = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  {
    SafeArrayLockGuard lock(list);
    EXPECT_EQ(SafeArrayRedim(list, SAFEARRAYBOUND{5, 0}).error().Number(), 10);
    EXPECT_EQ(SafeArrayDestroy(list), DISP_E_ARRAYISLOCKED);
  }
  EXPECT_TRUE(SafeArrayRedim(list, SAFEARRAYBOUND{5, 0}).ok());
  EXPECT_EQ(SafeArrayDestroy(list), S_OK);
}

TEST(SafeArray, HugeSizesAreRefusedNotAllocated) {
  SAFEARRAYBOUND huge[2] = {{0x10000, 0}, {0x10000, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 2, huge), nullptr);
  SAFEARRAY* list = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  EXPECT_EQ(SafeArrayRedim(list, SAFEARRAYBOUND{0xFFFFFFFFu, 0}).error().Number(), 7);
  SafeArrayDestroy(list);
  EXPECT_EQ(SafeArrayCreate(VT_VARIANT, kMaxArrayDimensions + 1, huge), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_DECIMAL, 0, 1), nullptr);
}

TEST(SafeArray, CopyIsDeepForStrings) {
  SAFEARRAY* list = SafeArrayCreateVector(VT_BSTR, 1, 1);
  int32_t index = 1;
  ASSERT_TRUE(SafeArrayPutElement(list, &index, 1, Variant::FromString(u"one")).ok());
  SAFEARRAY* copy = SafeArrayCopy(list);
  SafeArrayDestroy(list);
  EXPECT_EQ(SafeArrayGetElement(copy, &index, 1).value().StringView(), u"one");
  SafeArrayDestroy(copy);
}
