// Numeric strings in three locales: parsing, then printing what was parsed.
#include <cstdint>
#include <string>

#include "platform/automation/locale.h"
#include "platform/automation/number_text.h"
#include "platform/system/code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text = BytesToText(std::string_view(reinterpret_cast<const char*>(data), size), CP_UTF8);
  for (LCID lcid : {1033u, 1031u, 1036u}) {
    const LocaleInfo& locale = *FindLocale(lcid);
    Result<double> number = ParseNumber(text, locale);
    if (!number.ok()) continue;
    (void)DoubleToText(number.value(), locale);
    (void)FormatCurrencyText(number.value(), 2, TriState::UseDefault, TriState::True,
                             TriState::UseDefault, locale);
  }
  return 0;
}
