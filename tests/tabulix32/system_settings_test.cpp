// SystemSettings: the defaults of the three font setters, the four plain setters that store
// their text unchanged and refuse Null, and the getters; called by name as the pages call them.
#include "tabulix32/utilities/system_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/automation/dispatch_call.h"
#include "platform/automation/locale.h"
#include "platform/com/object_type_name.h"

namespace {

Variant S(std::u16string_view text) { return Variant::FromString(text); }

constexpr std::u16string_view kGetters[] = {
    u"getDefaultFontSize", u"getDefaultFontFamily", u"getDefaultFontColor",
    u"getCurrencySymbol",  u"getSystemCurrencySymbol", u"getRangeChar", u"getEscapeChar"};

// The plain setters with their getters.
struct PlainSetting {
  std::u16string_view setter;
  std::u16string_view getter;
};
constexpr PlainSetting kPlainSettings[] = {
    {u"setCurrencySymbol", u"getCurrencySymbol"},
    {u"setSystemCurrencySymbol", u"getSystemCurrencySymbol"},
    {u"setRangeChar", u"getRangeChar"},
    {u"setEscapeChar", u"getEscapeChar"},
};

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

class SystemSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SetThreadLocale(1033)); }
  void TearDown() override { SetThreadLocale(0); }

  // The font setters take their argument by value.
  Result<Variant> SetByValue(std::u16string_view setter, Variant value) {
    std::vector<VARIANT> arguments{value};
    return CallMember(settings_.get(), setter, arguments);
  }
  // The plain setters take theirs by reference.
  Result<Variant> SetByReference(std::u16string_view setter, Variant& value) {
    Variant reference = Variant::RefTo(&value);
    std::vector<VARIANT> arguments{reference};
    return CallMember(settings_.get(), setter, arguments);
  }
  std::u16string Stored(std::u16string_view getter) {
    Result<Variant> value = CallMember(settings_.get(), getter);
    EXPECT_TRUE(value.ok());
    if (!value.ok() || value.value().Type() != VT_BSTR) return u"<no string>";
    return std::u16string(value.value().StringView());
  }
  std::u16string FontSizeFor(Variant value) {
    EXPECT_TRUE(SetByValue(u"setDefaultFontSize", std::move(value)).ok());
    return Stored(u"getDefaultFontSize");
  }

  ComPtr<SystemSettings> settings_ = MakeObject<SystemSettings>();
};

TEST_F(SystemSettingsTest, NewObjectGivesEmptyStrings) {
  for (std::u16string_view getter : kGetters) {
    EXPECT_EQ(Stored(getter), u"") << Narrow(getter);
  }
  EXPECT_EQ(ObjectTypeName(static_cast<IDispatch*>(settings_.get())), u"SystemSettings");
}

// --- Font size -----------------------------------------------------------------------------------

TEST_F(SystemSettingsTest, FontSizeDefaultsToEightForBlankOrNonNumericValues) {
  for (Variant value : {S(u"12pt"), S(u""), S(u"   "), Variant::Null(), Variant(),
                        Variant::FromDate(40000)}) {
    EXPECT_EQ(FontSizeFor(value), u"8");
  }
}

TEST_F(SystemSettingsTest, FontSizeIsStoredAsTextUntrimmed) {
  EXPECT_EQ(FontSizeFor(Variant::FromI4(10)), u"10");
  EXPECT_EQ(FontSizeFor(S(u" 12 ")), u" 12 ");
  EXPECT_EQ(FontSizeFor(S(u"10.5")), u"10.5");
}

TEST_F(SystemSettingsTest, FontSizeReadsNumbersInTheLocale) {
  ASSERT_TRUE(SetThreadLocale(1031));
  EXPECT_EQ(FontSizeFor(S(u"10,5")), u"10,5");
  EXPECT_EQ(FontSizeFor(Variant::FromR8(10.5)), u"10,5");
  EXPECT_EQ(FontSizeFor(S(u"1O")), u"8");
}

// --- Font family and colour ----------------------------------------------------------------------

TEST_F(SystemSettingsTest, FontFamilyDefaultsToTahomaWhenBlank) {
  for (Variant value : {S(u"  "), Variant::Null(), Variant()}) {
    ASSERT_TRUE(SetByValue(u"setDefaultFontFamily", value).ok());
    EXPECT_EQ(Stored(u"getDefaultFontFamily"), u"Tahoma");
  }
  ASSERT_TRUE(SetByValue(u"setDefaultFontFamily", S(u" Arial ")).ok());
  EXPECT_EQ(Stored(u"getDefaultFontFamily"), u" Arial ");
}

TEST_F(SystemSettingsTest, FontColourDefaultsToBlackWhenBlankAndIsNotChecked) {
  ASSERT_TRUE(SetByValue(u"setDefaultFontColor", Variant::Null()).ok());
  EXPECT_EQ(Stored(u"getDefaultFontColor"), u"#000000");
  ASSERT_TRUE(SetByValue(u"setDefaultFontColor", S(u"not a colour")).ok());
  EXPECT_EQ(Stored(u"getDefaultFontColor"), u"not a colour");
}

// --- The plain setters ---------------------------------------------------------------------------

TEST_F(SystemSettingsTest, PlainSettersStoreTheTextUnchanged) {
  for (const PlainSetting& setting : kPlainSettings) {
    SCOPED_TRACE(Narrow(setting.setter));
    Variant value = S(u" -- ");
    ASSERT_TRUE(SetByReference(setting.setter, value).ok());
    EXPECT_EQ(Stored(setting.getter), u" -- ");
    EXPECT_EQ(value.StringView(), u" -- ");  // the caller's variable is not written
    Variant number = Variant::FromI4(5);
    ASSERT_TRUE(SetByReference(setting.setter, number).ok());
    EXPECT_EQ(Stored(setting.getter), u"5");
    Variant empty;
    ASSERT_TRUE(SetByReference(setting.setter, empty).ok());
    EXPECT_EQ(Stored(setting.getter), u"");
  }
}

TEST_F(SystemSettingsTest, PlainSettersRefuseNullAndKeepTheOldValue) {
  for (const PlainSetting& setting : kPlainSettings) {
    SCOPED_TRACE(Narrow(setting.setter));
    Variant old_value = S(u"\\");
    ASSERT_TRUE(SetByReference(setting.setter, old_value).ok());
    Variant null = Variant::Null();
    Result<Variant> outcome = SetByReference(setting.setter, null);
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().Number(), 94);
    EXPECT_EQ(Stored(setting.getter), u"\\");
  }
}

TEST_F(SystemSettingsTest, EachObjectHasItsOwnSettings) {
  Variant euro = S(u"\u20AC");
  ASSERT_TRUE(SetByReference(u"setCurrencySymbol", euro).ok());
  ComPtr<SystemSettings> other = MakeObject<SystemSettings>();
  EXPECT_EQ(CallMember(other.get(), u"getCurrencySymbol").value().StringView(), u"");
  EXPECT_EQ(Stored(u"getCurrencySymbol"), u"\u20AC");
}

TEST_F(SystemSettingsTest, SettersTakeExactlyOneArgument) {
  Result<Variant> outcome = CallMember(settings_.get(), u"setRangeChar");
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 450);
}

}  // namespace
