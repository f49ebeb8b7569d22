#pragma once
// Locale data for number, currency and date text: a compiled table of common locales by LCID
// (1033 en-US first), the process locale taken from the environment, and a per-thread locale
// that pages and sessions may set.

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/automation/ole_interfaces.h"

/// The values of one locale, as the platform's locale database gives them. Patterns use the
/// platform's picture letters: d dd ddd dddd, M MM MMM MMMM, y yy yyyy, h hh H HH, m mm, s ss,
/// t tt, and 'quoted' literals.
struct LocaleInfo {
  LCID lcid;
  std::u16string_view name;  // "en-US"

  // Numbers
  std::u16string_view decimal_separator;
  std::u16string_view group_separator;
  /// Group sizes from the decimal point leftwards; a final 0 repeats the previous size
  /// ("3;0" → {3, 0}); a single {3} groups only the first three digits.
  std::array<uint8_t, 4> grouping;
  uint8_t grouping_count;
  int digits;               // decimals shown by default
  bool leading_zero;        // "0.5" rather than ".5"
  int negative_number;      // 0 "(1.1)", 1 "-1.1", 2 "- 1.1", 3 "1.1-", 4 "1.1 -"

  // Currency
  std::u16string_view currency_symbol;
  std::u16string_view currency_decimal_separator;
  std::u16string_view currency_group_separator;
  int currency_digits;
  int positive_currency;    // 0 "$1.1", 1 "1.1$", 2 "$ 1.1", 3 "1.1 $"
  int negative_currency;    // 0 "($1.1)" ... 15 "(1.1 $)", the platform's sixteen patterns

  // Dates and times
  std::u16string_view short_date;  // "M/d/yyyy"
  std::u16string_view long_date;   // "dddd, MMMM d, yyyy"
  std::u16string_view long_time;   // "h:mm:ss tt"
  std::u16string_view short_time;  // "h:mm tt"
  std::u16string_view date_separator;
  std::u16string_view time_separator;
  std::u16string_view am_designator;
  std::u16string_view pm_designator;
  std::array<std::u16string_view, 7> day_names;        // Sunday first
  std::array<std::u16string_view, 7> abbreviated_day_names;
  std::array<std::u16string_view, 12> month_names;      // January first
  std::array<std::u16string_view, 12> abbreviated_month_names;
  int first_day_of_week;    // 0 Monday ... 6 Sunday, as the platform numbers it
};

/// The locale with this LCID, or null when the table has none. LOCALE_USER_DEFAULT (0x0400)
/// and 0 mean the calling thread's locale.
const LocaleInfo* FindLocale(LCID lcid);

/// The LCID for a POSIX locale name ("de_DE.UTF-8", "fr_FR@euro", "en_GB"); "C", "POSIX" and
/// empty or unknown names give 1033.
LCID LcidFromPosixName(std::string_view name);

/// The LCID for a locale name: "de-DE" or "de_de" (any case), or a language alone ("de", its
/// first locale in the table); 0 when the table has no such locale.
LCID LcidFromLocaleName(std::u16string_view name);

/// The process locale: the first set of LC_ALL, LC_NUMERIC, LANG, read once.
LCID ProcessLocaleId();

/// The calling thread's locale: the one set with SetThreadLocale, else the process locale.
LCID GetThreadLocale();
/// Sets the calling thread's locale; false (nothing changed) for an LCID the table lacks.
/// 0 returns the thread to the process locale.
bool SetThreadLocale(LCID lcid);

/// The calling thread's locale data.
const LocaleInfo& CurrentLocale();
