// Locale table consistency, POSIX name mapping and the per-thread locale.

#include "platform/automation/locale.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <thread>

#include "platform/automation/locale_internal.h"

namespace {

// Restores the calling thread's locale when a test ends, whatever it set.
class ThreadLocaleGuard {
 public:
  ~ThreadLocaleGuard() { SetThreadLocale(0); }
};

TEST(LocaleTable, EnglishUnitedStatesComesFirst) {
  ASSERT_FALSE(LocaleTable().empty());
  EXPECT_EQ(LocaleTable().front().lcid, 1033u);
  EXPECT_EQ(LocaleTable().front().name, u"en-US");
}

TEST(LocaleTable, LcidsAreUnique) {
  std::set<LCID> seen;
  for (const LocaleInfo& locale : LocaleTable()) {
    SCOPED_TRACE(locale.lcid);
    EXPECT_TRUE(seen.insert(locale.lcid).second);
  }
}

TEST(LocaleTable, NamesAreUnique) {
  std::set<std::u16string_view> seen;
  for (const LocaleInfo& locale : LocaleTable()) {
    SCOPED_TRACE(locale.lcid);
    EXPECT_TRUE(seen.insert(locale.name).second);
  }
}

TEST(LocaleTable, HoldsTheSupportedLocales) {
  const struct {
    LCID lcid;
    std::u16string_view name;
  } kCases[] = {{1033, u"en-US"}, {2057, u"en-GB"}, {1031, u"de-DE"}, {1036, u"fr-FR"},
                {1040, u"it-IT"}, {3082, u"es-ES"}, {1043, u"nl-NL"}, {1046, u"pt-BR"},
                {2070, u"pt-PT"}, {3079, u"de-AT"}, {2055, u"de-CH"}, {4105, u"en-CA"},
                {3081, u"en-AU"}, {1053, u"sv-SE"}, {1030, u"da-DK"}, {1044, u"nb-NO"},
                {1035, u"fi-FI"}, {1045, u"pl-PL"}, {1049, u"ru-RU"}, {1041, u"ja-JP"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.lcid);
    const LocaleInfo* locale = FindLocale(c.lcid);
    ASSERT_NE(locale, nullptr);
    EXPECT_EQ(locale->name, c.name);
  }
}

TEST(LocaleTable, EveryLocaleNamesAllDaysAndMonths) {
  for (const LocaleInfo& locale : LocaleTable()) {
    SCOPED_TRACE(locale.lcid);
    std::set<std::u16string_view> days(locale.day_names.begin(), locale.day_names.end());
    std::set<std::u16string_view> months(locale.month_names.begin(), locale.month_names.end());
    EXPECT_EQ(days.size(), 7u);
    EXPECT_EQ(months.size(), 12u);
    EXPECT_EQ(days.count(u""), 0u);
    EXPECT_EQ(months.count(u""), 0u);
    for (std::u16string_view name : locale.abbreviated_day_names) EXPECT_FALSE(name.empty());
    for (std::u16string_view name : locale.abbreviated_month_names) EXPECT_FALSE(name.empty());
  }
}

TEST(LocaleTable, EveryLocaleHasUsablePatternsAndSeparators) {
  for (const LocaleInfo& locale : LocaleTable()) {
    SCOPED_TRACE(locale.lcid);
    for (std::u16string_view text : {locale.short_date, locale.long_date, locale.long_time,
                                     locale.short_time, locale.date_separator,
                                     locale.time_separator, locale.decimal_separator,
                                     locale.group_separator, locale.currency_symbol,
                                     locale.currency_decimal_separator,
                                     locale.currency_group_separator}) {
      EXPECT_FALSE(text.empty());
    }
    EXPECT_NE(locale.decimal_separator, locale.group_separator);
    EXPECT_NE(locale.currency_decimal_separator, locale.currency_group_separator);
    EXPECT_LE(locale.grouping_count, locale.grouping.size());
    EXPECT_GE(locale.negative_number, 0);
    EXPECT_LE(locale.negative_number, 4);
    EXPECT_GE(locale.positive_currency, 0);
    EXPECT_LE(locale.positive_currency, 3);
    EXPECT_GE(locale.negative_currency, 0);
    EXPECT_LE(locale.negative_currency, 15);
    EXPECT_GE(locale.first_day_of_week, 0);
    EXPECT_LE(locale.first_day_of_week, 6);
    // A twelve-hour clock needs designators to tell morning from afternoon.
    if (locale.long_time.find(u't') != std::u16string_view::npos) {
      EXPECT_FALSE(locale.am_designator.empty());
    }
  }
}

TEST(LocaleTable, CarriesThePlatformValuesForCommonLocales) {
  const LocaleInfo& us = *FindLocale(1033);
  EXPECT_EQ(us.short_date, u"M/d/yyyy");
  EXPECT_EQ(us.long_time, u"h:mm:ss tt");
  EXPECT_EQ(us.negative_currency, 0);
  EXPECT_EQ(us.first_day_of_week, 6);
  EXPECT_EQ(us.grouping_count, 2);
  EXPECT_EQ(us.grouping[0], 3);
  EXPECT_EQ(us.grouping[1], 0);

  const LocaleInfo& germany = *FindLocale(1031);
  EXPECT_EQ(germany.decimal_separator, u",");
  EXPECT_EQ(germany.group_separator, u".");
  EXPECT_EQ(germany.currency_symbol, u"\u20AC");
  EXPECT_EQ(germany.positive_currency, 3);
  EXPECT_EQ(germany.negative_currency, 8);
  EXPECT_EQ(germany.short_date, u"dd.MM.yyyy");
  EXPECT_TRUE(germany.am_designator.empty());
  EXPECT_EQ(germany.first_day_of_week, 0);

  const LocaleInfo& france = *FindLocale(1036);
  EXPECT_EQ(france.group_separator, u"\u00A0");
  EXPECT_EQ(france.month_names[7], u"août");

  EXPECT_EQ(FindLocale(1049)->month_names[0], u"Январь");
  EXPECT_EQ(FindLocale(1041)->currency_digits, 0);
}

TEST(FindLocale, UnknownLcidGivesNull) {
  for (LCID lcid : {1u, 0x0800u, 0x0409u + 0x10000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(lcid);
    EXPECT_EQ(FindLocale(lcid), nullptr);
  }
}

TEST(FindLocale, ZeroAndUserDefaultMeanTheThreadLocale) {
  ThreadLocaleGuard guard;
  ASSERT_TRUE(SetThreadLocale(1036));
  ASSERT_NE(FindLocale(0), nullptr);
  EXPECT_EQ(FindLocale(0)->lcid, 1036u);
  ASSERT_NE(FindLocale(LOCALE_USER_DEFAULT), nullptr);
  EXPECT_EQ(FindLocale(LOCALE_USER_DEFAULT)->lcid, 1036u);
}

TEST(LcidFromPosixName, MapsLanguageAndCountry) {
  const struct {
    std::string_view name;
    LCID expected;
  } kCases[] = {
      {"de_DE.UTF-8", 1031}, {"fr_FR@euro", 1036},     {"en_GB", 2057},
      {"en_US.utf8", 1033},  {"pt_BR.ISO-8859-1", 1046}, {"pt_PT", 2070},
      {"de_AT", 3079},       {"de_CH.UTF-8", 2055},    {"sv_SE.utf8", 1053},
      {"ja_JP.eucJP", 1041}, {"ru_RU.KOI8-R", 1049},   {"EN_gb", 2057},
      {"nb_NO", 1044},       {"no_NO", 1044},          {"es_ES@euro", 3082},
      {"de-CH", 2055},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.name));
    EXPECT_EQ(LcidFromPosixName(c.name), c.expected);
  }
}

TEST(LcidFromPosixName, FallsBackToTheLanguageThenToEnglish) {
  const struct {
    std::string_view name;
    LCID expected;
  } kCases[] = {
      {"de", 1031},    {"de_LU.UTF-8", 1031}, {"fr_BE", 1036},  {"pt", 1046},
      {"C", 1033},     {"POSIX", 1033},       {"", 1033},       {"C.UTF-8", 1033},
      {"xx_YY", 1033}, {"klingon", 1033},     {"_DE", 1033},    {"@euro", 1033},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.name));
    EXPECT_EQ(LcidFromPosixName(c.name), c.expected);
  }
}

TEST(ProcessLocaleId, IsALocaleOfTheTable) {
  EXPECT_NE(FindLocale(ProcessLocaleId()), nullptr);
  EXPECT_EQ(ProcessLocaleId(), ProcessLocaleId());
}

TEST(ThreadLocale, FollowsTheProcessLocaleUntilSet) {
  ThreadLocaleGuard guard;
  EXPECT_EQ(GetThreadLocale(), ProcessLocaleId());
  const LCID other = ProcessLocaleId() == 1031 ? 1036 : 1031;
  ASSERT_TRUE(SetThreadLocale(other));
  EXPECT_EQ(GetThreadLocale(), other);
  EXPECT_EQ(CurrentLocale().lcid, other);
  ASSERT_TRUE(SetThreadLocale(0));
  EXPECT_EQ(GetThreadLocale(), ProcessLocaleId());
  EXPECT_EQ(CurrentLocale().lcid, ProcessLocaleId());
}

TEST(ThreadLocale, RejectsLocalesTheTableLacks) {
  ThreadLocaleGuard guard;
  ASSERT_TRUE(SetThreadLocale(2057));
  for (LCID lcid : {1u, 12345u, LOCALE_USER_DEFAULT, 0xFFFFFFFFu}) {
    SCOPED_TRACE(lcid);
    EXPECT_FALSE(SetThreadLocale(lcid));
    EXPECT_EQ(GetThreadLocale(), 2057u);
  }
}

TEST(ThreadLocale, IsSeparateForEachThread) {
  ThreadLocaleGuard guard;
  ASSERT_TRUE(SetThreadLocale(1031));
  LCID seen_at_start = 0;
  LCID seen_after_set = 0;
  std::thread other([&] {
    seen_at_start = GetThreadLocale();
    SetThreadLocale(1036);
    seen_after_set = GetThreadLocale();
  });
  other.join();
  EXPECT_EQ(seen_at_start, ProcessLocaleId());
  EXPECT_EQ(seen_after_set, 1036u);
  EXPECT_EQ(GetThreadLocale(), 1031u);
}

}  // namespace
