#pragma once
// Calls members of UtilitiesClass by name through IDispatch, as ASP pages do: every argument
// by reference (VT_BYREF | VT_VARIANT), so that tests see what a member writes back.

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/date_time.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/locale.h"
#include "platform/automation/safearray.h"
#include "platform/com/dispatch_object.h"
#include "tabulix32/utilities/utilities_class.h"

namespace utilities_test {

inline constexpr LCID kEnglishUnitedStates = 1033;
inline constexpr LCID kGerman = 1031;

inline Variant S(std::u16string_view text) { return Variant::FromString(text); }
inline Variant I(int32_t value) { return Variant::FromI4(value); }
inline Variant D(double value) { return Variant::FromR8(value); }
inline Variant B(bool value) { return Variant::FromBool(value); }
inline Variant DateOf(int year, int month, int day) {
  return Variant::FromDate(DateFromParts(year, month, day).value());
}

/// For failure messages: the text with non-ASCII characters as '?'.
inline std::string Narrow(std::u16string_view text) {
  std::string narrow;
  for (char16_t c : text) narrow += c < 128 ? static_cast<char>(c) : '?';
  return narrow;
}

/// A one-dimensional array of variants from `lower_bound`.
inline Variant Array(std::initializer_list<Variant> values, int32_t lower_bound = 0) {
  SAFEARRAY* array =
      SafeArrayCreateVector(VT_VARIANT, lower_bound, static_cast<uint32_t>(values.size()));
  int32_t index = lower_bound;
  for (const Variant& value : values) {
    EXPECT_TRUE(SafeArrayPutElement(array, &index, 1, value).ok());
    ++index;
  }
  return Variant::FromArray(VT_VARIANT, array);
}

/// A fetched-rows array indexed (column, row), from the rows as lists of columns.
inline Variant Rows(std::initializer_list<std::initializer_list<Variant>> rows) {
  uint32_t columns = rows.size() == 0 ? 0 : static_cast<uint32_t>(rows.begin()->size());
  SAFEARRAYBOUND bounds[2] = {{columns, 0}, {static_cast<uint32_t>(rows.size()), 0}};
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
  int32_t row = 0;
  for (const auto& cells : rows) {
    int32_t column = 0;
    for (const Variant& cell : cells) {
      int32_t indices[2] = {column++, row};
      EXPECT_TRUE(SafeArrayPutElement(array, indices, 2, cell).ok());
    }
    ++row;
  }
  return Variant::FromArray(VT_VARIANT, array);
}

/// The variables of one call; each is passed by reference.
struct Arguments {
  Arguments(std::initializer_list<Variant> list) : values(list) {}
  Variant& operator[](size_t index) { return values[index]; }
  std::vector<Variant> values;
};

/// A fixture with a UtilitiesClass object and the thread in en-US; TearDown restores the
/// process locale.
class UtilitiesCallTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SetThreadLocale(kEnglishUnitedStates)); }
  void TearDown() override { SetThreadLocale(0); }

  /// Every argument by reference, except those at `by_value` (passed as copies the member
  /// cannot write to).
  Result<Variant> Call(std::u16string_view name, Arguments& arguments,
                       std::initializer_list<size_t> by_value = {}) {
    std::vector<Variant> passed;
    for (size_t i = 0; i < arguments.values.size(); ++i) {
      bool copy = std::find(by_value.begin(), by_value.end(), i) != by_value.end();
      passed.push_back(copy ? arguments[i] : Variant::RefTo(&arguments[i]));
    }
    std::vector<VARIANT> borrowed(passed.begin(), passed.end());
    return CallMember(utilities_.get(), name, borrowed);
  }
  Result<Variant> Call(std::u16string_view name, Arguments&& arguments) {
    return Call(name, arguments);
  }

  /// A call expected to succeed: its result.
  Variant Get(std::u16string_view name, Arguments& arguments) {
    Result<Variant> outcome = Call(name, arguments);
    EXPECT_TRUE(outcome.ok()) << Narrow(name) << " failed: "
                              << (outcome.ok() ? "" : Narrow(outcome.error().Description()));
    return outcome.ok() ? std::move(outcome).value() : Variant();
  }
  Variant Get(std::u16string_view name, Arguments&& arguments) { return Get(name, arguments); }

  /// A call expected to fail: its script error number.
  int32_t FailureNumber(std::u16string_view name, Arguments& arguments) {
    Result<Variant> outcome = Call(name, arguments);
    EXPECT_FALSE(outcome.ok()) << Narrow(name) << " succeeded";
    return outcome.ok() ? 0 : outcome.error().Number();
  }
  int32_t FailureNumber(std::u16string_view name, Arguments&& arguments) {
    return FailureNumber(name, arguments);
  }

  /// A string result's text ("<not a string>" otherwise, which no expectation matches).
  static std::u16string Text(const Variant& value) {
    if (value.Type() != VT_BSTR) return u"<not a string>";
    return std::u16string(value.StringView());
  }

  ComPtr<UtilitiesClass> utilities_ = MakeObject<UtilitiesClass>();
};

/// Checks a Boolean result.
inline ::testing::AssertionResult IsBoolean(const Variant& value, bool expected) {
  if (value.Type() != VT_BOOL) {
    return ::testing::AssertionFailure() << "type " << value.Type() << " is not Boolean";
  }
  if ((value.boolVal != 0) != expected) return ::testing::AssertionFailure() << "wrong Boolean";
  return ::testing::AssertionSuccess();
}

/// Checks a date result: a date value of that day at midnight.
inline ::testing::AssertionResult IsDay(const Variant& value, int year, int month, int day) {
  if (value.Type() != VT_DATE) {
    return ::testing::AssertionFailure() << "type " << value.Type() << " is not a date";
  }
  Result<DATE> expected = DateFromParts(year, month, day);
  if (!expected.ok() || value.date != expected.value()) {
    Result<DateParts> parts = SplitDate(value.date);
    if (!parts.ok()) return ::testing::AssertionFailure() << "date out of range";
    return ::testing::AssertionFailure() << "got " << parts.value().year << "-"
                                         << parts.value().month << "-" << parts.value().day
                                         << " (" << value.date << ")";
  }
  return ::testing::AssertionSuccess();
}

}  // namespace utilities_test
