#pragma once
// The normal form of a header value: control bytes become spaces, two spaces become one, and
// bytes up to space are trimmed from both ends.

#include <string>
#include <string_view>

std::string NormalisedHeaderValue(std::string_view value);

/// The text without its leading bytes up to space (control bytes and spaces).
std::string_view WithoutLeadingBlanks(std::string_view text);
/// The text without its leading space characters only.
std::string_view WithoutLeadingSpaces(std::string_view text);
