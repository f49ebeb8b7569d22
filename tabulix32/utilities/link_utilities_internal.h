#pragma once
// The query-string and link steps of UtilitiesClass as plain functions, for the members that
// build drill-down links (getEnableLink) and for the render methods, which encode and escape
// key values the same way.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/automation/result.h"

namespace utilities_internal {

/// The longest text the URL encoding takes, after NULs and outer spaces are removed: its
/// position counter is a 16-bit integer that must also step past the last character.
inline constexpr size_t kMaxUrlEncodedInput = 32766;

/// URL encoding of a link value: NULs removed, outer spaces trimmed, then space as "+", ASCII
/// letters and digits as themselves, every other UTF-16 code unit as the "%XX" bytes of its
/// UTF-8 form (a surrogate is encoded on its own, as three bytes). Overflow (6) for an input
/// longer than kMaxUrlEncodedInput.
Result<std::u16string> UrlEncode(std::u16string_view text);

/// myescape3: every `character` (any text; empty changes nothing) gets `escape` in front.
Result<std::u16string> EscapeCharacter(std::u16string_view text, std::u16string_view character,
                                       std::u16string_view escape);
/// myescape2: "," then the range character then "&" escaped, in that order.
Result<std::u16string> EscapeLinkValue(std::u16string_view text, std::u16string_view range,
                                       std::u16string_view escape);
/// The substitutions a key value gets before it enters a link: "'" as "*$*", "+" as "%2B".
Result<std::u16string> SubstituteQuoteAndPlus(std::u16string_view text);

/// changeQSVariable: the first `name`=value pair of the query string (after "?" or "&", or at
/// the start) gets `value`; an absent pair is appended with "&". Out of string space (14) when
/// the result would be longer than the longest string.
Result<std::u16string> ChangeQueryStringVariable(std::u16string_view query,
                                                 std::u16string_view name,
                                                 std::u16string_view value);
/// setQSVariable: as ChangeQueryStringVariable for a present pair; an absent pair is appended
/// with the leading separator normalised (one leading "&" removed).
Result<std::u16string> SetQueryStringVariable(std::u16string_view query,
                                              std::u16string_view name,
                                              std::u16string_view value);

}  // namespace utilities_internal
