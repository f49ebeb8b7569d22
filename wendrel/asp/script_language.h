#pragma once
// Script language names as pages give them, and the write calls the preprocessor generates in
// each language.

#include <string>
#include <string_view>

/// The language every page runs in when neither the page nor the server names one.
inline constexpr std::string_view kDefaultScriptLanguage = "VBScript";

/// A language name normalised: white space and surrounding quotes removed, "JavaScript"
/// (any case) made "JScript". Empty stays empty.
std::string NormalisedLanguageName(std::string_view name);

/// Whether two normalised names name the same language (ignoring case).
bool SameLanguage(std::string_view a, std::string_view b);

/// The generated calls of one language: a literal range is
/// part_open + start + part_separator + end + part_close, an expression is
/// write_open + expression + write_close. Each ends with a CR.
struct WriteTemplates {
  std::string_view language;  // empty for the row every other name uses
  std::string_view part_open;
  std::string_view part_separator;
  std::string_view part_close;
  std::string_view write_open;
  std::string_view write_close;
};

/// The templates for a normalised language name: JScript, PerlScript, else VBScript's.
const WriteTemplates& WriteTemplatesFor(std::string_view language);
