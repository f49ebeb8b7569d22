#pragma once
// The built-in MIME table: the content types the server knows without configuration.

#include <string>
#include <string_view>

/// The content type of an extension given with its full stop (".GIF", ".html"; case is
/// ignored); empty when the table does not know it.
std::string_view BuiltInMimeType(std::string_view extension);
