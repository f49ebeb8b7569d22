#include "platform/automation/error.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/automation/result.h"

TEST(ErrorTable, NumbersAreUniqueAndEveryEntryHasText) {
  std::set<int32_t> seen;
#define ERROR_MESSAGE(name, number, text)                             \
  EXPECT_TRUE(seen.insert(number).second) << "duplicate " << number; \
  EXPECT_FALSE(StandardErrorDescription(number).empty());
#include "platform/automation/error_messages.def"
#undef ERROR_MESSAGE
  EXPECT_GT(seen.size(), 100u);
}

TEST(ErrorTable, StandardDescriptionsOfTheValueType) {
  struct Case {
    ErrorNumber number;
    const char16_t* text;
  } cases[] = {
      {ErrorNumber::InvalidProcedureCall, u"Invalid procedure call or argument"},
      {ErrorNumber::Overflow, u"Overflow"},
      {ErrorNumber::SubscriptOutOfRange, u"Subscript out of range"},
      {ErrorNumber::DivisionByZero, u"Division by zero"},
      {ErrorNumber::TypeMismatch, u"Type mismatch"},
      {ErrorNumber::InvalidUseOfNull, u"Invalid use of Null"},
  };
  for (const Case& c : cases) {
    Error error(c.number);
    EXPECT_EQ(error.Description(), c.text);
    EXPECT_EQ(static_cast<uint32_t>(error.Hresult()), 0x800A0000u + static_cast<uint32_t>(c.number));
  }
}

TEST(Error, CustomDescriptionAndSourceOverrideTheStandardText) {
  Error error = Error::Script(13, u"Bad value", u"Tabulix32");
  EXPECT_EQ(error.Number(), 13);
  EXPECT_EQ(error.Description(), u"Bad value");
  EXPECT_EQ(error.Source(), u"Tabulix32");
  EXPECT_EQ(Error::Script(65000).Description(), u"");
}

TEST(Error, PlatformCodesReadAsScriptNumbers) {
  EXPECT_EQ(Error::FromHresult(DISP_E_TYPEMISMATCH).Number(), 13);
  EXPECT_EQ(Error::FromHresult(DISP_E_MEMBERNOTFOUND).Number(), 438);
  EXPECT_EQ(Error::FromHresult(DISP_E_BADINDEX).Number(), 9);
  EXPECT_EQ(Error::FromHresult(E_OUTOFMEMORY).Description(), u"Out of memory");
  EXPECT_EQ(Error::FromHresult(E_FAIL).Number(), E_FAIL);
}

namespace {

Result<int> Half(int value) {
  if (value % 2 != 0) return ErrorNumber::InvalidProcedureCall;
  return value / 2;
}

Result<int> Quarter(int value) {
  int half = TRY(Half(value));
  return TRY(Half(half));
}

}  // namespace

TEST(Result, TryPropagatesTheFirstError) {
  EXPECT_EQ(Quarter(8).value(), 2);
  EXPECT_EQ(Quarter(6).error().Number(), 5);
  EXPECT_EQ(Quarter(3).error().Number(), 5);
}
