#include "wendrel/asp/script_language.h"

#include <iterator>

#include "wendrel/asp/tag_attributes.h"
#include "wendrel/common/byte_string.h"

namespace {

constexpr std::string_view kJavaScriptName = "JavaScript";
constexpr std::string_view kJScriptName = "JScript";

// "Response.WritePart %i, %i" and "Response.Write %s" in each language; the last row serves
// VBScript and every name the table does not know.
constexpr WriteTemplates kWriteTemplates[] = {
    {"JScript", "Response.WritePart(", ",", ");\r", "Response.Write (", ");\r"},
    {"PerlScript", "$Response->WritePart(", ",", ");\r", "$Response->Write(", ");\r"},
    {"", "Response.WritePart ", ", ", "\r", "Response.Write ", "\r"},
};

std::string_view WithoutQuotes(std::string_view text) {
  for (char quote : {'"', '\''}) {
    if (!text.empty() && text.front() == quote) text.remove_prefix(1);
    if (!text.empty() && text.back() == quote) text.remove_suffix(1);
  }
  return TrimSpace(text);
}

}  // namespace

std::string NormalisedLanguageName(std::string_view name) {
  std::string_view trimmed = WithoutQuotes(TrimSpace(name));
  if (BytesEqualIgnoringCase(trimmed, kJavaScriptName)) return std::string(kJScriptName);
  return std::string(trimmed);
}

bool SameLanguage(std::string_view a, std::string_view b) { return BytesEqualIgnoringCase(a, b); }

const WriteTemplates& WriteTemplatesFor(std::string_view language) {
  for (const WriteTemplates& templates : kWriteTemplates) {
    if (templates.language.empty() || SameLanguage(templates.language, language)) return templates;
  }
  return kWriteTemplates[std::size(kWriteTemplates) - 1];
}
