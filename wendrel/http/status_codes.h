#pragma once
// Status codes by name and the reason phrases of the status line.

#include <cstdint>
#include <string>

namespace http_status {
#define STATUS_CODE(name, code, phrase) inline constexpr int32_t k##name = code;
#include "wendrel/http/status_codes.def"
#undef STATUS_CODE
/// Refused before a Response exists, so it has no entry in the phrase table.
inline constexpr int32_t kHeaderFieldsTooLarge = 431;
}  // namespace http_status

/// The reason phrase of a status code ("OK" for 200); "Can't find error 0x12B" for a code
/// without one (299 here).
std::string ReasonPhrase(int32_t code);
