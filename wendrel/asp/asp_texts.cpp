#include "wendrel/asp/asp_texts.h"

#include "platform/system/code_page.h"
#include "wendrel/asp/html_encode.h"
#include "wendrel/common/formatted.h"

namespace {

struct AspErrorEntry {
  int code;
  const char* text;
};

constexpr AspErrorEntry kErrors[] = {
#define ASP_ERROR(name, code, text) {code, text},
#define ASP_TEXT(name, text)
#include "wendrel/asp/asp_texts.def"
#undef ASP_ERROR
#undef ASP_TEXT
};

constexpr const char* kTexts[] = {
#define ASP_ERROR(name, code, text)
#define ASP_TEXT(name, text) text,
#include "wendrel/asp/asp_texts.def"
#undef ASP_ERROR
#undef ASP_TEXT
};

}  // namespace

std::string AspErrorText(int code) {
  for (const AspErrorEntry& entry : kErrors) {
    if (entry.code == code) return entry.text;
  }
  return Formatted("Can't find error 0x%X", static_cast<unsigned>(code));
}

const char* AspTextFormat(AspText text) { return kTexts[static_cast<size_t>(text)]; }

std::string AspErrorPage(int code) {
  return Formatted(AspTextFormat(AspText::ErrorPage), AspErrorText(code).c_str(), code);
}

std::string ScriptErrorFragment(std::u16string_view description, uint32_t number,
                                std::string_view file, int32_t line, int32_t position,
                                std::u16string_view source_line) {
  std::string shown_description = TextToBytes(HtmlEncoded(description), CP_UTF8);
  std::string shown_file = HtmlEncodedBytes(file);
  std::string shown_line = TextToBytes(HtmlEncoded(source_line), CP_UTF8);
  return Formatted(AspTextFormat(AspText::ScriptErrorFragment), shown_description.c_str(), number,
                   shown_file.c_str(), line, position, shown_line.c_str());
}
