#pragma once
// Decoding of URL-encoded request text (paths, query strings, form bodies, cookies).

#include <string>
#include <string_view>

/// '+' becomes a space; '%' followed by a hexadecimal digit takes the next two bytes as one
/// hexadecimal byte value and replaces the three bytes by it (as "%x" reads them: a second
/// byte that is not a digit ends the number but is still consumed). A '%' not followed by a
/// digit stays. At the end of the text "%4" gives byte 4: nothing past the text is read.
std::string PercentDecoded(std::string_view text);
