#pragma once
// The directives a page gives the preprocessor: <%@ name=value ... %> and the #include
// comment.

#include <optional>
#include <string>
#include <string_view>

#include "wendrel/asp/preprocessor.h"

struct PageDirective {
  std::optional<std::string> language;  // normalised (see NormalisedLanguageName)
  std::optional<int> code_page;
  std::optional<int> lcid;
};

/// Reads the text between "<%@" and "%>" as name=value pairs (names ignoring case): LANGUAGE,
/// CODEPAGE and LCID are taken; ENABLESESSIONSTATE, TRANSACTION, any other name and the bare
/// name POPINC (the old include-end marker) are accepted and ignored. Any other bare name, or
/// an empty value, ends the directive. A later pair of the same name replaces an earlier one.
/// Fails (kAspParseError) when CODEPAGE or LCID is not a decimal number from 0 to 2^31 - 1.
PreprocessOutcome<PageDirective> ParsePageDirective(std::string_view text);

struct IncludeDirective {
  IncludeForm form;
  std::string name;
};

/// Reads the body of an "<!--#include ... -->" comment (the text after "#include"): the first
/// FILE= or VIRTUAL= attribute (ignoring case) decides; nothing when that has no name.
std::optional<IncludeDirective> ParseIncludeComment(std::string_view body);

/// The directory part of a full path: everything before its last '/', "/" for a file at the
/// top, "" when the path has no '/'.
std::string DirectoryOf(std::string_view path);
