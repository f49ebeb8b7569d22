#pragma once
// Text put into HTML that the server writes itself.

#include <string>
#include <string_view>

/// `text` with '<', '>', '&' and '"' written as entities, for a value put into a page or an
/// attribute; every other byte stays.
std::string HtmlEscaped(std::string_view text);
