// Date texts in three locales: parsing, then printing what was parsed.
#include <cstdint>
#include <string>

#include "platform/automation/date_time.h"
#include "platform/automation/locale.h"
#include "platform/system/code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text = BytesToText(std::string_view(reinterpret_cast<const char*>(data), size), CP_UTF8);
  for (LCID lcid : {1033u, 2057u, 1031u}) {
    const LocaleInfo& locale = *FindLocale(lcid);
    Result<DATE> date = ParseDate(text, locale);
    if (!date.ok()) continue;
    (void)DateToText(date.value(), locale);
    (void)FormatDateTimeText(date.value(), NamedDateFormat::LongDate, locale);
  }
  return 0;
}
