#pragma once
// Marked regions of a text, expanded in the manner of server-side includes: every region that
// begins with a start mark and ends with the next end mark after it is handed to a handler, and
// the handler's answer replaces the region, marks included. TextParser runs its files and
// strings through here; the fuzz target drives it directly.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/automation/result.h"

/// The longest text a parse holds, before and after splicing (the longest string a script
/// keeps is 64 Mi characters too).
inline constexpr size_t kMaxMarkedTextBytes = size_t{64} << 20;

/// Answers one region: `start_index` is the one-based position of its start mark and
/// `end_index` the one-based position of the first byte of its end mark, both in the text as
/// spliced so far. Returns the replacement (the region itself to leave it as it is).
using RegionHandler =
    std::function<std::string(int32_t start_index, int32_t end_index, std::string_view region)>;

/// The text with every region replaced by the handler's answer. Searches are case-sensitive.
/// After a region the search goes on at the end of its replacement, so a replacement is never
/// searched again and a region right after another is found too. A start mark without an end
/// mark after it ends the search; an empty start mark marks nothing. Out of memory (7) when the
/// text or the spliced result would pass kMaxMarkedTextBytes.
Result<std::string> ExpandMarkedRegions(std::string_view text, std::string_view start_mark,
                                        std::string_view end_mark, const RegionHandler& handler);
