#pragma once
// Base64 as HTTP Basic authorization sends it.

#include <string>
#include <string_view>

/// The bytes the text stands for. Spaces, tabs and line breaks are ignored; decoding stops at
/// the first '=' or at any other byte outside the alphabet, keeping the whole bytes read so
/// far; a lone trailing sextet is dropped.
std::string Base64Decoded(std::string_view text);
