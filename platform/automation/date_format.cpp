#include "platform/automation/date_time.h"

#include <cstdint>

namespace {

constexpr char16_t kQuote = u'\'';
constexpr std::u16string_view kShortTimePicture = u"HH:mm";

// Writes a non-negative number with at least `min_digits` digits.
void AppendNumber(std::u16string& out, int64_t value, int min_digits) {
  if (value < 0) {
    out += u'-';
    value = -value;
  }
  char16_t digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
  } while (value > 0 && count < 20);
  for (int pad = count; pad < min_digits; ++pad) out += u'0';
  while (count > 0) out += digits[--count];
}

size_t RunLength(std::u16string_view picture, size_t start) {
  size_t end = start;
  while (end < picture.size() && picture[end] == picture[start]) ++end;
  return end - start;
}

// Copies a 'quoted' literal, where '' stands for one quote; returns the index after it. An
// unclosed quote runs to the end of the picture.
size_t AppendQuoted(std::u16string& out, std::u16string_view picture, size_t start) {
  size_t index = start + 1;
  while (index < picture.size()) {
    if (picture[index] != kQuote) {
      out += picture[index++];
      continue;
    }
    if (index + 1 < picture.size() && picture[index + 1] == kQuote) {
      out += kQuote;
      index += 2;
      continue;
    }
    return index + 1;
  }
  return index;
}

// A number field of one or two letters, else a name: abbreviated for three, full for more.
// Names are looked up only for fields in range; callers may pass any DateParts.
template <size_t kCount>
void AppendNumberOrName(std::u16string& out, int value, size_t run,
                        const std::array<std::u16string_view, kCount>& abbreviated,
                        const std::array<std::u16string_view, kCount>& full) {
  if (run <= 2) {
    AppendNumber(out, value, static_cast<int>(run));
    return;
  }
  if (value < 1 || value > static_cast<int>(kCount)) return;
  out += run == 3 ? abbreviated[value - 1] : full[value - 1];
}

void AppendYear(std::u16string& out, int year, size_t run) {
  if (run <= 2) {
    // y and yy show the year of the century; y drops the leading zero.
    int64_t century_year = year % 100;
    if (century_year < 0) century_year = -century_year;
    AppendNumber(out, century_year, static_cast<int>(run));
    return;
  }
  AppendNumber(out, year, 1);
}

void AppendTwelveHour(std::u16string& out, int hour, size_t run) {
  int twelve_hour = hour % 12;
  AppendNumber(out, twelve_hour == 0 ? 12 : twelve_hour, run >= 2 ? 2 : 1);
}

void AppendDesignator(std::u16string& out, int hour, size_t run, const LocaleInfo& locale) {
  std::u16string_view designator = hour < 12 ? locale.am_designator : locale.pm_designator;
  if (run == 1) designator = designator.substr(0, 1);
  out += designator;
}

// Writes the field a run of picture letters names; returns false for a letter that names no
// field (its characters are then copied).
bool AppendField(std::u16string& out, const DateParts& parts, char16_t letter, size_t run,
                 const LocaleInfo& locale) {
  size_t short_run = run >= 2 ? 2 : 1;
  switch (letter) {
    case u'd':
      AppendNumberOrName(out, run <= 2 ? parts.day : parts.day_of_week, run,
                         locale.abbreviated_day_names, locale.day_names);
      return true;
    case u'M':
      AppendNumberOrName(out, parts.month, run, locale.abbreviated_month_names,
                         locale.month_names);
      return true;
    case u'y': AppendYear(out, parts.year, run); return true;
    case u'h': AppendTwelveHour(out, parts.hour, run); return true;
    case u'H': AppendNumber(out, parts.hour, static_cast<int>(short_run)); return true;
    case u'm': AppendNumber(out, parts.minute, static_cast<int>(short_run)); return true;
    case u's': AppendNumber(out, parts.second, static_cast<int>(short_run)); return true;
    case u't': AppendDesignator(out, parts.hour, short_run, locale); return true;
    default: return false;
  }
}

std::u16string FormatDate(DATE date, std::u16string_view picture, const LocaleInfo& locale) {
  Result<DateParts> parts = SplitDate(date);
  if (!parts.ok()) return {};
  return FormatDatePicture(parts.value(), picture, locale);
}

}  // namespace

std::u16string FormatDatePicture(const DateParts& parts, std::u16string_view picture,
                                 const LocaleInfo& locale) {
  std::u16string out;
  size_t index = 0;
  while (index < picture.size()) {
    char16_t letter = picture[index];
    if (letter == kQuote) {
      index = AppendQuoted(out, picture, index);
      continue;
    }
    size_t run = RunLength(picture, index);
    if (!AppendField(out, parts, letter, run, locale)) out.append(run, letter);
    index += run;
  }
  return out;
}

std::u16string DateToText(DATE date, const LocaleInfo& locale) {
  // Callers pass valid dates; anything else prints as nothing rather than a made-up date.
  Result<DateParts> split = SplitDate(date);
  if (!split.ok()) return {};
  const DateParts& parts = split.value();
  bool is_midnight = parts.hour == 0 && parts.minute == 0 && parts.second == 0;
  bool is_day_zero = parts.year == 1899 && parts.month == 12 && parts.day == 30;
  if (is_day_zero) return FormatDatePicture(parts, locale.long_time, locale);
  std::u16string text = FormatDatePicture(parts, locale.short_date, locale);
  if (is_midnight) return text;
  text += u' ';
  text += FormatDatePicture(parts, locale.long_time, locale);
  return text;
}

Result<std::u16string> FormatDateTimeText(DATE date, NamedDateFormat format,
                                          const LocaleInfo& locale) {
  int32_t code = static_cast<int32_t>(format);
  if (code < 0 || code > static_cast<int32_t>(NamedDateFormat::ShortTime)) {
    return ErrorNumber::InvalidProcedureCall;
  }
  if (!IsValidDate(date)) return ErrorNumber::Overflow;
  switch (format) {
    case NamedDateFormat::GeneralDate: return DateToText(date, locale);
    case NamedDateFormat::LongDate: return FormatDate(date, locale.long_date, locale);
    case NamedDateFormat::ShortDate: return FormatDate(date, locale.short_date, locale);
    case NamedDateFormat::LongTime: return FormatDate(date, locale.long_time, locale);
    case NamedDateFormat::ShortTime: return FormatDate(date, kShortTimePicture, locale);
  }
  return ErrorNumber::InvalidProcedureCall;
}
