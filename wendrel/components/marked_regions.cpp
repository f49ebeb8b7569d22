#include "wendrel/components/marked_regions.h"

#include "wendrel/common/byte_string.h"

// The spliced text is built from left to right: what lies before the search position is final
// (earlier text and replacements), what lies after it is still the input. A region found in the
// input at `start` sits at output.size() + (start - consumed) of the spliced text, which is
// where an in-place splice would have put it; building this way keeps the parse linear.
Result<std::string> ExpandMarkedRegions(std::string_view text, std::string_view start_mark,
                                        std::string_view end_mark, const RegionHandler& handler) {
  if (text.size() > kMaxMarkedTextBytes) return ErrorNumber::OutOfMemory;
  if (start_mark.empty()) return std::string(text);
  std::string output;
  output.reserve(text.size());
  size_t consumed = 0;  // input bytes already moved to the output
  for (;;) {
    size_t start = FindBytes(text, start_mark, consumed, CaseSensitivity::Sensitive);
    if (start == std::string_view::npos) break;
    size_t end = FindBytes(text, end_mark, start + start_mark.size(), CaseSensitivity::Sensitive);
    if (end == std::string_view::npos) break;
    output.append(text.substr(consumed, start - consumed));
    size_t region_end = end + end_mark.size();
    // Positions stay below kMaxMarkedTextBytes, so they fit the 32-bit indexes.
    auto spliced_start = static_cast<int32_t>(output.size());
    auto spliced_end = static_cast<int32_t>(output.size() + (end - start));
    std::string replacement =
        handler(spliced_start + 1, spliced_end + 1, text.substr(start, region_end - start));
    if (output.size() + replacement.size() + (text.size() - region_end) > kMaxMarkedTextBytes) {
      return ErrorNumber::OutOfMemory;
    }
    output.append(replacement);
    consumed = region_end;
  }
  output.append(text.substr(consumed));
  return output;
}
