#include "platform/automation/date_time.h"

#include <array>
#include <ctime>

#include "platform/automation/date_time_internal.h"

using namespace date_internal;

namespace {

// A date and time needs at most nine tokens (day name, three date parts, three time parts,
// designator, spare); longer texts are rejected as soon as the limit is passed, so the work
// stays linear in the text and bounded in tokens.
constexpr size_t kMaxTokens = 12;
// Nine digits fit any date field with room to spare and cannot overflow.
constexpr size_t kMaxNumberDigits = 9;
constexpr char16_t kTimeSeparator = u':';

constexpr std::array<std::u16string_view, 12> kEnglishMonthNames = {
    u"January", u"February", u"March",     u"April",   u"May",      u"June",
    u"July",    u"August",   u"September", u"October", u"November", u"December"};
constexpr std::array<std::u16string_view, 12> kEnglishMonthAbbreviations = {
    u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
    u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
constexpr std::array<std::u16string_view, 7> kEnglishDayNames = {
    u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday"};
constexpr std::array<std::u16string_view, 7> kEnglishDayAbbreviations = {
    u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};
constexpr std::array<std::u16string_view, 2> kEnglishAmDesignators = {u"AM", u"A"};
constexpr std::array<std::u16string_view, 2> kEnglishPmDesignators = {u"PM", u"P"};

enum class CharClass : uint8_t { Blank, Digit, Punctuation, Letter, Other };
enum class TokenKind : uint8_t { Number, Word };
enum class WordKind : uint8_t { None, Month, DayName, Am, Pm };
enum class DateOrder : uint8_t { MonthDayYear, DayMonthYear, YearMonthDay };

struct Token {
  TokenKind kind;
  std::u16string_view text;
  int64_t value;        // a number's value
  int64_t digits;       // a number's digit count
  char16_t separator;   // the punctuation between the previous token and this one, or 0
  WordKind word;        // what a word names
  int month;            // the month a month name names
};

struct TokenList {
  std::array<Token, kMaxTokens> items;
  size_t count = 0;
};

// The fields the tokens give, before the date order is resolved.
struct DateText {
  std::array<const Token*, 3> numbers{};
  size_t number_count = 0;
  int month_from_name = 0;
  bool has_day_name = false;
  bool has_time = false;
  std::array<int64_t, 3> time{};  // hour, minute, second
  WordKind designator = WordKind::None;
};

// Folds ASCII and Latin-1 capitals, enough for the month and day names of Latin-script locales.
char16_t FoldCase(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  return c;
}

// Names in the tables may end in the abbreviation's period ("janv."); the tokenizer has
// already split the period off the text.
bool MatchesName(std::u16string_view word, std::u16string_view name) {
  if (!name.empty() && name.back() == u'.') name.remove_suffix(1);
  if (name.empty() || name.size() != word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (FoldCase(word[i]) != FoldCase(name[i])) return false;
  }
  return true;
}

template <size_t kCount>
int FindName(std::u16string_view word, const std::array<std::u16string_view, kCount>& names) {
  for (size_t i = 0; i < kCount; ++i) {
    if (MatchesName(word, names[i])) return static_cast<int>(i) + 1;
  }
  return 0;
}

int FindMonth(std::u16string_view word, const LocaleInfo& locale) {
  if (int month = FindName(word, locale.month_names)) return month;
  if (int month = FindName(word, locale.abbreviated_month_names)) return month;
  if (int month = FindName(word, kEnglishMonthNames)) return month;
  return FindName(word, kEnglishMonthAbbreviations);
}

bool IsDayName(std::u16string_view word, const LocaleInfo& locale) {
  return FindName(word, locale.day_names) || FindName(word, locale.abbreviated_day_names) ||
         FindName(word, kEnglishDayNames) || FindName(word, kEnglishDayAbbreviations);
}

WordKind FindDesignator(std::u16string_view word, const LocaleInfo& locale) {
  if (MatchesName(word, locale.am_designator)) return WordKind::Am;
  if (MatchesName(word, locale.pm_designator)) return WordKind::Pm;
  if (FindName(word, kEnglishAmDesignators)) return WordKind::Am;
  if (FindName(word, kEnglishPmDesignators)) return WordKind::Pm;
  return WordKind::None;
}

// The locale's own names come first, so its abbreviations win over English ones.
void ClassifyWord(Token& token, const LocaleInfo& locale) {
  token.month = FindMonth(token.text, locale);
  if (token.month != 0) {
    token.word = WordKind::Month;
    return;
  }
  if (IsDayName(token.text, locale)) {
    token.word = WordKind::DayName;
    return;
  }
  token.word = FindDesignator(token.text, locale);
}

bool IsLocaleSeparator(char16_t c, const LocaleInfo& locale) {
  return (locale.date_separator.size() == 1 && locale.date_separator[0] == c) ||
         (locale.time_separator.size() == 1 && locale.time_separator[0] == c);
}

// The locale's own time separator when it is not the colon and does not separate dates too
// (Italian "13.45.30"); 0 when there is none.
char16_t LocalTimeSeparator(const LocaleInfo& locale) {
  if (locale.time_separator.size() != 1) return 0;
  char16_t separator = locale.time_separator[0];
  if (separator == kTimeSeparator) return 0;
  if (locale.date_separator.size() == 1 && locale.date_separator[0] == separator) return 0;
  return separator;
}

bool IsTimeSeparator(char16_t c, char16_t local_time_separator) {
  return c == kTimeSeparator || (local_time_separator != 0 && c == local_time_separator);
}

CharClass ClassOf(char16_t c, const LocaleInfo& locale) {
  if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0 || c == 0x202F) {
    return CharClass::Blank;
  }
  if (c >= u'0' && c <= u'9') return CharClass::Digit;
  if (c == u'/' || c == u'-' || c == u'.' || c == u',' || c == kTimeSeparator) {
    return CharClass::Punctuation;
  }
  if (IsLocaleSeparator(c, locale)) return CharClass::Punctuation;
  if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) return CharClass::Letter;
  // Other scripts' letters; an unknown word among them still fails later.
  if (c >= 0x80) return CharClass::Letter;
  return CharClass::Other;
}

// The end of the run of characters of one class starting at `start`.
size_t RunEnd(std::u16string_view text, size_t start, CharClass run_class,
              const LocaleInfo& locale) {
  size_t end = start;
  while (end < text.size() && ClassOf(text[end], locale) == run_class) ++end;
  return end;
}

// Builds a number or word token from a run; false for a number too long to be a date field.
bool MakeToken(std::u16string_view run, CharClass run_class, char16_t separator,
               const LocaleInfo& locale, Token& token) {
  token = Token{TokenKind::Word, run, 0, 0, separator, WordKind::None, 0};
  if (run_class == CharClass::Letter) {
    ClassifyWord(token, locale);
    return true;
  }
  if (run.size() > kMaxNumberDigits) return false;
  token.kind = TokenKind::Number;
  token.digits = static_cast<int64_t>(run.size());
  for (char16_t digit : run) token.value = token.value * 10 + (digit - u'0');
  return true;
}

// Splits the text into numbers and words, remembering the one punctuation mark allowed between
// two tokens. Fails on other characters, doubled punctuation, punctuation before the first
// token, or after the last one unless it is an abbreviation's period.
bool Tokenize(std::u16string_view text, const LocaleInfo& locale, TokenList& tokens) {
  char16_t separator = 0;
  size_t index = 0;
  while (index < text.size()) {
    CharClass char_class = ClassOf(text[index], locale);
    if (char_class == CharClass::Other) return false;
    if (char_class == CharClass::Blank) {
      ++index;
      continue;
    }
    if (char_class == CharClass::Punctuation) {
      if (separator != 0 || tokens.count == 0) return false;
      separator = text[index++];
      continue;
    }
    if (tokens.count == kMaxTokens) return false;
    size_t end = RunEnd(text, index, char_class, locale);
    Token& token = tokens.items[tokens.count++];
    if (!MakeToken(text.substr(index, end - index), char_class, separator, locale, token)) {
      return false;
    }
    separator = 0;
    index = end;
  }
  if (tokens.count == 0) return false;
  const Token& last = tokens.items[tokens.count - 1];
  return separator == 0 || (separator == u'.' && last.kind == TokenKind::Word);
}

bool IsNumber(const TokenList& tokens, size_t index) {
  return index < tokens.count && tokens.items[index].kind == TokenKind::Number;
}

bool IsDesignator(const TokenList& tokens, size_t index) {
  if (index >= tokens.count || tokens.items[index].kind != TokenKind::Word) return false;
  WordKind word = tokens.items[index].word;
  return word == WordKind::Am || word == WordKind::Pm;
}

// True when the token at `index` is a number joined to the previous one as part of a time.
bool ContinuesTime(const TokenList& tokens, size_t index, char16_t local_time_separator) {
  return IsNumber(tokens, index) &&
         IsTimeSeparator(tokens.items[index].separator, local_time_separator);
}

// A time starts at a number followed by ":number" or by a designator ("1 PM").
bool StartsTime(const TokenList& tokens, size_t index, char16_t local_time_separator) {
  return ContinuesTime(tokens, index + 1, local_time_separator) ||
         IsDesignator(tokens, index + 1);
}

// Reads h[:m[:s]] from `index`; returns the index after it.
size_t ReadTime(const TokenList& tokens, size_t index, char16_t local_time_separator,
                DateText& fields) {
  fields.has_time = true;
  fields.time[0] = tokens.items[index++].value;
  for (size_t field = 1; field < fields.time.size(); ++field) {
    if (!ContinuesTime(tokens, index, local_time_separator)) break;
    fields.time[field] = tokens.items[index++].value;
  }
  return index;
}

// Records what a word says; false for an unknown word or one said twice.
bool AddWord(const Token& token, DateText& fields) {
  switch (token.word) {
    case WordKind::Month:
      if (fields.month_from_name != 0) return false;
      fields.month_from_name = token.month;
      return true;
    case WordKind::DayName:
      if (fields.has_day_name) return false;
      fields.has_day_name = true;
      return true;
    case WordKind::Am:
    case WordKind::Pm:
      if (fields.designator != WordKind::None) return false;
      fields.designator = token.word;
      return true;
    case WordKind::None: return false;
  }
  return false;
}

// Sorts the tokens into date numbers, one time, and words; false for anything left over.
bool CollectFields(const TokenList& tokens, char16_t local_time_separator, DateText& fields) {
  size_t index = 0;
  while (index < tokens.count) {
    const Token& token = tokens.items[index];
    // A colon only ever joins the parts of the time, which ReadTime consumes.
    if (token.separator == kTimeSeparator) return false;
    if (token.kind == TokenKind::Word) {
      if (!AddWord(token, fields)) return false;
      ++index;
      continue;
    }
    if (StartsTime(tokens, index, local_time_separator)) {
      if (fields.has_time) return false;
      index = ReadTime(tokens, index, local_time_separator, fields);
      continue;
    }
    if (fields.number_count == fields.numbers.size()) return false;
    fields.numbers[fields.number_count++] = &token;
    ++index;
  }
  return true;
}

// The order of day, month and year in the locale's short date pattern.
DateOrder OrderOf(const LocaleInfo& locale) {
  for (char16_t letter : locale.short_date) {
    if (letter == u'd') return DateOrder::DayMonthYear;
    if (letter == u'y') return DateOrder::YearMonthDay;
    if (letter == u'M') return DateOrder::MonthDayYear;
  }
  return DateOrder::MonthDayYear;
}

// Three or more digits, or a value no day can have, can only be a year.
bool IsYearLike(const Token& number) { return number.digits >= 3 || number.value > 31; }

int CurrentLocalYear() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return 2000;
  return local.tm_year + 1900;
}

bool TryDate(int64_t year, int64_t month, int64_t day, CivilDate& date) {
  year = WindowTwoDigitYear(year);
  if (!IsCalendarDate(year, month, day)) return false;
  date = {year, static_cast<int>(month), static_cast<int>(day)};
  return true;
}

// A day and month that make no date in the given order are tried the other way round
// ("13/1/2024" in a month-first locale is January 13).
bool TryDateEitherWay(int64_t year, int64_t month, int64_t day, CivilDate& date) {
  return TryDate(year, month, day, date) || TryDate(year, day, month, date);
}

// "January 15, 2024", "15 Jan 2024", "Jan 2024" (the 1st), "January 15" (this year).
bool ResolveNamedMonth(const DateText& fields, CivilDate& date) {
  int64_t month = fields.month_from_name;
  if (fields.number_count == 1) {
    const Token& only = *fields.numbers[0];
    if (IsYearLike(only)) return TryDate(only.value, month, 1, date);
    return TryDate(CurrentLocalYear(), month, only.value, date);
  }
  if (fields.number_count != 2) return false;
  const Token& first = *fields.numbers[0];
  const Token& second = *fields.numbers[1];
  if (IsYearLike(first) && !IsYearLike(second)) {
    return TryDate(first.value, month, second.value, date);
  }
  return TryDate(second.value, month, first.value, date);
}

// "1/15" (this year) or "1/2024" (the 1st of the month).
bool ResolveTwoNumbers(const Token& first, const Token& second, DateOrder order,
                       CivilDate& date) {
  bool first_is_year = IsYearLike(first);
  bool second_is_year = IsYearLike(second);
  if (first_is_year && second_is_year) return false;
  if (first_is_year) return TryDate(first.value, second.value, 1, date);
  if (second_is_year) return TryDate(second.value, first.value, 1, date);
  int64_t year = CurrentLocalYear();
  if (order == DateOrder::DayMonthYear) {
    return TryDateEitherWay(year, second.value, first.value, date);
  }
  return TryDateEitherWay(year, first.value, second.value, date);
}

// A year-like first number means year first (ISO); otherwise the locale's order, except that a
// year-first locale reads "1/15/2024" month first when only the last number is a year.
bool ResolveThreeNumbers(const Token& first, const Token& second, const Token& third,
                         DateOrder order, CivilDate& date) {
  if (IsYearLike(first)) return TryDateEitherWay(first.value, second.value, third.value, date);
  if (order == DateOrder::YearMonthDay && IsYearLike(third)) order = DateOrder::MonthDayYear;
  switch (order) {
    case DateOrder::MonthDayYear:
      return TryDateEitherWay(third.value, first.value, second.value, date);
    case DateOrder::DayMonthYear:
      return TryDateEitherWay(third.value, second.value, first.value, date);
    case DateOrder::YearMonthDay:
      return TryDateEitherWay(first.value, second.value, third.value, date);
  }
  return false;
}

// The calendar day the text names; 1899-12-30 when it names only a time.
bool ResolveDate(const DateText& fields, const LocaleInfo& locale, CivilDate& date) {
  if (fields.month_from_name != 0) return ResolveNamedMonth(fields, date);
  if (fields.number_count == 0) {
    date = {1899, 12, 30};
    return fields.has_time && !fields.has_day_name;
  }
  const auto& numbers = fields.numbers;
  DateOrder order = OrderOf(locale);
  if (fields.number_count == 2) return ResolveTwoNumbers(*numbers[0], *numbers[1], order, date);
  if (fields.number_count == 3) {
    return ResolveThreeNumbers(*numbers[0], *numbers[1], *numbers[2], order, date);
  }
  return false;  // a lone number is no date
}

// The 24-hour hour; -1 when the hour does not fit the designator. 12 AM is midnight and
// 12 PM noon.
int64_t HourWithDesignator(int64_t hour, WordKind designator) {
  if (designator == WordKind::None) return hour;
  if (hour > 12) return -1;
  if (designator == WordKind::Am) return hour == 12 ? 0 : hour;
  return hour == 12 ? 12 : hour + 12;
}

// Reads the tokens as a date and time, with `local_time_separator` (or 0) joining time parts
// besides the colon.
Result<DATE> DateFromTokens(const TokenList& tokens, const LocaleInfo& locale,
                            char16_t local_time_separator) {
  DateText fields;
  if (!CollectFields(tokens, local_time_separator, fields)) return ErrorNumber::TypeMismatch;
  if (fields.designator != WordKind::None && !fields.has_time) return ErrorNumber::TypeMismatch;
  CivilDate date{};
  if (!ResolveDate(fields, locale, date)) return ErrorNumber::TypeMismatch;
  int64_t hour = HourWithDesignator(fields.time[0], fields.designator);
  int64_t minute = fields.time[1];
  int64_t second = fields.time[2];
  if (hour < 0 || hour > 23 || minute > 59 || second > 59) return ErrorNumber::TypeMismatch;
  Result<DATE> result =
      DateFromParts(static_cast<int>(date.year), date.month, date.day, static_cast<int>(hour),
                    static_cast<int>(minute), static_cast<int>(second));
  if (!result.ok()) return ErrorNumber::TypeMismatch;
  return result;
}

}  // namespace

Result<DATE> ParseDate(std::u16string_view text, const LocaleInfo& locale) {
  TokenList tokens;
  if (!Tokenize(text, locale, tokens)) return ErrorNumber::TypeMismatch;
  // A locale whose time separator is also a date punctuation mark ('.') reads it as a time
  // first, so its own display form parses back, then as a date ("15.01.2024").
  char16_t local_time_separator = LocalTimeSeparator(locale);
  Result<DATE> date = DateFromTokens(tokens, locale, local_time_separator);
  if (date.ok() || local_time_separator == 0) return date;
  return DateFromTokens(tokens, locale, 0);
}
