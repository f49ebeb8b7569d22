#include "wendrel/asp/page_directive.h"

#include <charconv>
#include <cstdint>

#include "wendrel/asp/preprocessor_texts.h"
#include "wendrel/asp/script_language.h"
#include "wendrel/asp/tag_attributes.h"
#include "wendrel/common/byte_string.h"

namespace {

constexpr std::string_view kLanguageName = "LANGUAGE";
constexpr std::string_view kCodePageName = "CODEPAGE";
constexpr std::string_view kLcidName = "LCID";
constexpr std::string_view kPopIncludeName = "POPINC";
constexpr std::string_view kFileName = "FILE";
constexpr std::string_view kVirtualName = "VIRTUAL";

// number -> 1*digit, at most 2^31 - 1
std::optional<int> DecimalNumber(std::string_view text) {
  int32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty() ||
      text.front() == '-') {
    return std::nullopt;
  }
  return value;
}

PreprocessOutcome<int> DirectiveNumber(std::string_view value, std::string_view failure) {
  std::optional<int> number = DecimalNumber(value);
  if (number) return *number;
  return PreprocessFailure{kAspParseError, std::string(failure) + std::string(value), {}};
}

}  // namespace

// directive -> { name [ '=' value ] }
PreprocessOutcome<PageDirective> ParsePageDirective(std::string_view text) {
  PageDirective directive;
  TagAttributeReader reader(text);
  TagAttribute pair;
  while (reader.Next(pair)) {
    if (!pair.has_value && BytesEqualIgnoringCase(pair.name, kPopIncludeName)) continue;
    if (pair.value.empty()) break;
    if (BytesEqualIgnoringCase(pair.name, kLanguageName)) {
      std::string language = NormalisedLanguageName(pair.value);
      if (!language.empty()) directive.language = std::move(language);
    } else if (BytesEqualIgnoringCase(pair.name, kCodePageName)) {
      directive.code_page = TRY(DirectiveNumber(pair.value, kBadCodePage));
    } else if (BytesEqualIgnoringCase(pair.name, kLcidName)) {
      directive.lcid = TRY(DirectiveNumber(pair.value, kBadLcid));
    }
  }
  return directive;
}

// include-body -> { attribute }, the first FILE= or VIRTUAL= deciding
std::optional<IncludeDirective> ParseIncludeComment(std::string_view body) {
  TagAttributeReader reader(body);
  TagAttribute attribute;
  while (reader.Next(attribute)) {
    std::optional<IncludeForm> form;
    if (BytesEqualIgnoringCase(attribute.name, kFileName)) form = IncludeForm::File;
    if (BytesEqualIgnoringCase(attribute.name, kVirtualName)) form = IncludeForm::Virtual;
    if (!form) continue;
    if (attribute.value.empty()) return std::nullopt;
    return IncludeDirective{*form, std::string(attribute.value)};
  }
  return std::nullopt;
}

std::string DirectoryOf(std::string_view path) {
  size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}
