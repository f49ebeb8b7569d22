#include "wendrel/http/request_head.h"

#include "wendrel/common/byte_string.h"

namespace {

constexpr std::string_view kKnownHeaderNames[] = {
#define KNOWN_HEADER(name, spelling) spelling,
#include "wendrel/http/known_headers.def"
#undef KNOWN_HEADER
};

}  // namespace

KnownHeader KnownHeaderOf(std::string_view name) {
  // Few names share a length, so the length rules most out before any comparison.
  for (size_t i = 0; i < std::size(kKnownHeaderNames); ++i) {
    std::string_view known = kKnownHeaderNames[i];
    if (known.size() == name.size() && BytesEqualIgnoringCase(known, name)) {
      return static_cast<KnownHeader>(i);
    }
  }
  return KnownHeader::Other;
}

std::string_view KnownHeaderName(KnownHeader header) {
  size_t index = static_cast<size_t>(header);
  return index < std::size(kKnownHeaderNames) ? kKnownHeaderNames[index] : std::string_view();
}
