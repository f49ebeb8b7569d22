// Locale lookups: LCID to table entry, POSIX locale names to LCIDs, and the process and
// per-thread locale choices.

#include "platform/automation/locale.h"

#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "platform/automation/locale_internal.h"

namespace {

constexpr LCID kDefaultLcid = 1033;

// The longest language code we try to match ("de", "fil"); anything longer is not a language.
constexpr size_t kMaxLanguageLength = 3;

// The locale a thread chose with SetThreadLocale; 0 while it follows the process locale.
thread_local LCID t_thread_locale = 0;

char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c; }

// True when a table name part equals a POSIX name part, ignoring ASCII case.
bool EqualIgnoringCase(std::u16string_view table_part, std::string_view posix_part) {
  if (table_part.size() != posix_part.size()) return false;
  for (size_t i = 0; i < table_part.size(); ++i) {
    const auto posix_char = static_cast<char16_t>(static_cast<unsigned char>(posix_part[i]));
    if (AsciiLower(table_part[i]) != AsciiLower(posix_char)) return false;
  }
  return true;
}

// The language part of a table name: "de" of "de-DE".
std::u16string_view LanguageOf(const LocaleInfo& locale) {
  return locale.name.substr(0, locale.name.find(u'-'));
}

// The country part of a table name: "DE" of "de-DE"; empty when there is none.
std::u16string_view CountryOf(const LocaleInfo& locale) {
  const size_t dash = locale.name.find(u'-');
  if (dash == std::u16string_view::npos) return {};
  return locale.name.substr(dash + 1);
}

// The first table entry for a language, or 0.
LCID FirstLocaleOfLanguage(std::string_view language) {
  for (const LocaleInfo& locale : LocaleTable()) {
    if (EqualIgnoringCase(LanguageOf(locale), language)) return locale.lcid;
  }
  return 0;
}

// The table entry for a language and country, or 0.
LCID LocaleOfLanguageAndCountry(std::string_view language, std::string_view country) {
  for (const LocaleInfo& locale : LocaleTable()) {
    if (EqualIgnoringCase(LanguageOf(locale), language) &&
        EqualIgnoringCase(CountryOf(locale), country)) {
      return locale.lcid;
    }
  }
  return 0;
}

// Older systems name Norwegian Bokmål "no"; the table knows it as "nb".
std::string_view CanonicalLanguage(std::string_view language) {
  if (EqualIgnoringCase(u"no", language)) return "nb";
  return language;
}

LCID ReadProcessLocale() {
  for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0') return LcidFromPosixName(value);
  }
  return kDefaultLcid;
}

}  // namespace

const LocaleInfo* FindLocale(LCID lcid) {
  if (lcid == 0 || lcid == LOCALE_USER_DEFAULT) lcid = GetThreadLocale();
  for (const LocaleInfo& locale : LocaleTable()) {
    if (locale.lcid == lcid) return &locale;
  }
  return nullptr;
}

LCID LcidFromPosixName(std::string_view name) {
  // "ll_CC.codeset@modifier": the codeset and modifier say nothing about number or date forms.
  name = name.substr(0, name.find_first_of(".@"));
  const size_t separator = name.find_first_of("_-");
  const std::string_view language = CanonicalLanguage(name.substr(0, separator));
  if (language.empty() || language.size() > kMaxLanguageLength) return kDefaultLcid;
  if (separator != std::string_view::npos) {
    const LCID exact = LocaleOfLanguageAndCountry(language, name.substr(separator + 1));
    if (exact != 0) return exact;
  }
  // An unknown country still tells us the language, whose conventions are the closest match.
  const LCID by_language = FirstLocaleOfLanguage(language);
  return by_language != 0 ? by_language : kDefaultLcid;
}

LCID LcidFromLocaleName(std::u16string_view name) {
  // Locale names are ASCII; anything else names no locale.
  std::string narrow;
  for (char16_t c : name) {
    if (c == 0 || c > 0x7F) return 0;
    narrow.push_back(static_cast<char>(c));
  }
  const std::string_view text = narrow;
  const size_t separator = text.find_first_of("_-");
  const std::string_view language = CanonicalLanguage(text.substr(0, separator));
  if (language.empty() || language.size() > kMaxLanguageLength) return 0;
  if (separator == std::string_view::npos) return FirstLocaleOfLanguage(language);
  return LocaleOfLanguageAndCountry(language, text.substr(separator + 1));
}

LCID ProcessLocaleId() {
  static const LCID process_locale = ReadProcessLocale();
  return process_locale;
}

LCID GetThreadLocale() {
  return t_thread_locale != 0 ? t_thread_locale : ProcessLocaleId();
}

bool SetThreadLocale(LCID lcid) {
  if (lcid == 0) {
    t_thread_locale = 0;
    return true;
  }
  if (lcid == LOCALE_USER_DEFAULT) return false;
  if (FindLocale(lcid) == nullptr) return false;
  t_thread_locale = lcid;
  return true;
}

const LocaleInfo& CurrentLocale() {
  const LocaleInfo* locale = FindLocale(GetThreadLocale());
  return locale != nullptr ? *locale : LocaleTable().front();
}
