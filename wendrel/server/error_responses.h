#pragma once
// Whole responses for requests the server refuses before any handler sees them (a header that
// never ends, ambiguous body framing, a client too slow to finish). Each closes the connection.

#include <string_view>

/// The complete response for a refusal status (400, 408, 413, 431, 501); a 400 for any other.
std::string_view RefusalResponse(int status);
