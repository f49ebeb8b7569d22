// StringBuffer: the blank-text rule, the 65,536-character growth steps, clear, and the
// failures that leave the content as it was; called by name as the pages and the render
// methods call it.
#include "tabulix32/utilities/string_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/automation/dispatch_call.h"
#include "platform/automation/locale.h"
#include "platform/com/object_type_name.h"

namespace {

constexpr int32_t kStep = StringBuffer::kCapacityStep;

Variant S(std::u16string_view text) { return Variant::FromString(text); }

class StringBufferTest : public ::testing::Test {
 protected:
  void TearDown() override { SetThreadLocale(0); }

  // append(AddString): the string by value, as the interface passes it.
  Result<Variant> Append(Variant text) {
    std::vector<VARIANT> arguments{text};
    return CallMember(buffer_.get(), u"append", arguments);
  }
  void AppendOk(std::u16string_view text) { ASSERT_TRUE(Append(S(text)).ok()); }
  std::u16string Content() {
    Result<Variant> content = CallMember(buffer_.get(), u"toString");
    EXPECT_TRUE(content.ok());
    if (!content.ok() || content.value().Type() != VT_BSTR) return u"<no string>";
    return std::u16string(content.value().StringView());
  }

  ComPtr<StringBuffer> buffer_ = MakeObject<StringBuffer>();
};

// --- Creation and toString -----------------------------------------------------------------------

TEST_F(StringBufferTest, NewBufferIsEmptyWithOneStep) {
  EXPECT_EQ(Content(), u"");
  EXPECT_EQ(buffer_->Capacity(), kStep);
  EXPECT_EQ(ObjectTypeName(static_cast<IDispatch*>(buffer_.get())), u"StringBuffer");
}

TEST_F(StringBufferTest, ToStringLeavesTheContentForMoreAppends) {
  AppendOk(u"<tr>");
  EXPECT_EQ(Content(), u"<tr>");
  AppendOk(u"</tr>");
  EXPECT_EQ(Content(), u"<tr></tr>");
}

// --- append --------------------------------------------------------------------------------------

TEST_F(StringBufferTest, BlankTextsAreNotAppended) {
  AppendOk(u"a");
  for (std::u16string_view blank : {u"", u" ", u"   "}) AppendOk(blank);
  EXPECT_EQ(Content(), u"a");
}

TEST_F(StringBufferTest, TextWithContentIsAppendedWhole) {
  AppendOk(u" x ");
  AppendOk(u"\t");
  AppendOk(u"\r\n");
  AppendOk(u"\u00A0");  // a no-break space is not the space character
  EXPECT_EQ(Content(), u" x \t\r\n\u00A0");
}

TEST_F(StringBufferTest, OtherValuesAreAppendedAsText) {
  ASSERT_TRUE(Append(Variant::FromI4(12)).ok());
  ASSERT_TRUE(Append(Variant()).ok());
  ASSERT_TRUE(Append(Variant::FromBool(true)).ok());
  ASSERT_TRUE(SetThreadLocale(1031));
  ASSERT_TRUE(Append(Variant::FromR8(1.5)).ok());
  EXPECT_EQ(Content(), u"12True1,5");
}

TEST_F(StringBufferTest, TextPassedByReferenceIsAppended) {
  Variant text = S(u"cell");
  Variant reference = Variant::RefTo(&text);
  ASSERT_TRUE(Append(reference).ok());
  EXPECT_EQ(Content(), u"cell");
  EXPECT_EQ(text.StringView(), u"cell");
}

TEST_F(StringBufferTest, NullIsInvalidUseOfNullAndAppendsNothing) {
  AppendOk(u"kept");
  Result<Variant> outcome = Append(Variant::Null());
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 94);
  EXPECT_EQ(Content(), u"kept");
}

TEST_F(StringBufferTest, MemberNamesIgnoreCase) {
  Variant text = S(u"x");
  std::vector<VARIANT> arguments{text};
  ASSERT_TRUE(CallMember(buffer_.get(), u"Append", arguments).ok());
  EXPECT_EQ(CallMember(buffer_.get(), u"ToString").value().StringView(), u"x");
}

// --- Growth --------------------------------------------------------------------------------------

TEST_F(StringBufferTest, FullFirstStepDoesNotGrow) {
  std::u16string full(kStep, u'a');
  AppendOk(full);
  EXPECT_EQ(buffer_->Capacity(), kStep);
  AppendOk(u"b");
  EXPECT_EQ(buffer_->Capacity(), 2 * kStep);
  EXPECT_EQ(Content(), full + u"b");
}

TEST_F(StringBufferTest, LongTextGrowsByWholeSteps) {
  std::u16string text(70000, u'x');
  text[0] = u'<';
  text[69999] = u'>';
  AppendOk(text);
  EXPECT_EQ(buffer_->Capacity(), 131072);
  EXPECT_EQ(Content(), text);
  AppendOk(std::u16string(200000, u'y'));
  EXPECT_EQ(buffer_->Capacity(), 5 * kStep);  // 270,000 characters need five steps
  EXPECT_EQ(Content().size(), 270000u);
}

TEST_F(StringBufferTest, ManySmallPiecesKeepTheirOrder) {
  std::u16string expected;
  for (int i = 0; i < 2000; ++i) {
    std::u16string piece = u"<td>" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) +
                           u"</td>";
    AppendOk(piece);
    expected += piece;
  }
  EXPECT_EQ(Content(), expected);
  EXPECT_EQ(buffer_->Capacity(), kStep);
}

TEST(StringBufferCapacity, SmallestWholeStepThatHoldsTheContent) {
  EXPECT_EQ(StringBuffer::CapacityFor(kStep, 0).value(), kStep);
  EXPECT_EQ(StringBuffer::CapacityFor(kStep, kStep).value(), kStep);
  EXPECT_EQ(StringBuffer::CapacityFor(kStep, kStep + 1).value(), 2 * kStep);
  EXPECT_EQ(StringBuffer::CapacityFor(kStep, 3 * kStep).value(), 3 * kStep);
  EXPECT_EQ(StringBuffer::CapacityFor(0, 1).value(), kStep);
}

TEST(StringBufferCapacity, ContentBeyondTheLongestCountOverflows) {
  EXPECT_TRUE(StringBuffer::CapacityFor(kStep, INT32_MAX).ok());
  Result<int64_t> beyond = StringBuffer::CapacityFor(kStep, int64_t{INT32_MAX} + 1);
  ASSERT_FALSE(beyond.ok());
  EXPECT_EQ(beyond.error().Number(), 6);
}

// --- clear ---------------------------------------------------------------------------------------

TEST_F(StringBufferTest, ClearGivesBackAGrownCapacity) {
  AppendOk(std::u16string(3 * kStep, u'z'));
  EXPECT_EQ(buffer_->Capacity(), 3 * kStep);
  ASSERT_TRUE(CallMember(buffer_.get(), u"clear").ok());
  EXPECT_EQ(buffer_->Capacity(), kStep);
  EXPECT_EQ(Content(), u"");
  AppendOk(u"again");
  EXPECT_EQ(Content(), u"again");
}

// --- Running out of memory -----------------------------------------------------------------------

// Allocators for the failure tests: one that gives only the first step, one that gives nothing,
// and one that fails from the Nth call on.
char16_t* FirstStepOnly(char16_t* block, size_t count) {
  return count <= static_cast<size_t>(kStep) ? StringBuffer::ResizeCharacters(block, count)
                                             : nullptr;
}
char16_t* Nothing(char16_t*, size_t) { return nullptr; }
int allocations_left = 0;
char16_t* Limited(char16_t* block, size_t count) {
  if (allocations_left == 0) return nullptr;
  --allocations_left;
  return StringBuffer::ResizeCharacters(block, count);
}

TEST(StringBufferMemory, FailedGrowthIsOutOfMemoryAndKeepsTheContent) {
  ComPtr<StringBuffer> buffer = MakeObject<StringBuffer>(&FirstStepOnly);
  std::u16string full(kStep - 1, u'a');
  ASSERT_TRUE(buffer->Append(full).ok());
  Variant text = Variant::FromString(u"bc");
  std::vector<VARIANT> arguments{text};
  Result<Variant> outcome = CallMember(buffer.get(), u"append", arguments);
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 7);
  EXPECT_EQ(buffer->Capacity(), kStep);
  EXPECT_EQ(buffer->Content(), full);
  ASSERT_TRUE(buffer->Append(u"b").ok());  // what still fits goes in
  EXPECT_EQ(buffer->Content().size(), static_cast<size_t>(kStep));
}

TEST(StringBufferMemory, BufferWithoutFirstAllocationStaysUsable) {
  ComPtr<StringBuffer> buffer = MakeObject<StringBuffer>(&Nothing);
  EXPECT_EQ(buffer->Capacity(), 0);
  EXPECT_EQ(CallMember(buffer.get(), u"toString").value().StringView(), u"");
  Result<void> outcome = buffer->Append(u"x");
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 7);
  buffer->Clear();
  EXPECT_EQ(buffer->Content(), u"");
}

TEST(StringBufferMemory, ClearWithoutMemoryStillEmptiesTheBuffer) {
  allocations_left = 2;  // creation and one growth
  ComPtr<StringBuffer> buffer = MakeObject<StringBuffer>(&Limited);
  ASSERT_TRUE(buffer->Append(std::u16string(kStep + 5, u'q')).ok());
  ASSERT_TRUE(CallMember(buffer.get(), u"clear").ok());
  EXPECT_EQ(buffer->Content(), u"");
  EXPECT_EQ(buffer->Capacity(), 2 * kStep);  // the old buffer is kept when no new one comes
  ASSERT_TRUE(buffer->Append(u"next").ok());
  EXPECT_EQ(buffer->Content(), u"next");
}

}  // namespace
