// IP-mask member of UtilitiesClass: whether a client's IPv4 address lies in an allowed network
// given as a network address and a prefix length.
#include "tabulix32/utilities/utilities_class.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/automation/arithmetic.h"
#include "platform/automation/conversion.h"
#include "tabulix32/utilities/utilities_text_internal.h"

using namespace utilities_internal;

namespace {

constexpr size_t kAddressParts = 4;
constexpr char16_t kPartSeparator = u'.';
constexpr double kMaxPartValue = 255.0;
constexpr int32_t kBitsPerPart = 8;

using DottedQuad = std::array<int32_t, kAddressParts>;

// A part of a dotted quad as a whole number: numeric in the locale's syntax and, rounded half
// to even, from 0 to 255; nothing otherwise.
std::optional<int32_t> PartValue(std::u16string_view part) {
  Variant text = Variant::FromString(part);
  Result<double> number = ToDouble(text);
  if (!number.ok()) return std::nullopt;
  double rounded = std::nearbyint(number.value());
  if (!(rounded >= 0.0 && rounded <= kMaxPartValue)) return std::nullopt;
  return static_cast<int32_t>(rounded);
}

// The four parts of an address text (Null counts as ""), or nothing when it is not an address.
Result<std::optional<DottedQuad>> ParseDottedQuad(const VARIANT& value) {
  std::u16string text = TRY(ConcatenatedText(value));
  std::u16string_view address = TrimSpaces(text);
  if (address.empty()) return std::optional<DottedQuad>();
  size_t separators = 0;
  for (char16_t c : address) separators += c == kPartSeparator ? 1 : 0;
  if (separators != kAddressParts - 1) return std::optional<DottedQuad>();
  DottedQuad parts{};
  for (size_t i = 0; i < kAddressParts; ++i) {
    size_t end = std::min(address.find(kPartSeparator), address.size());
    std::optional<int32_t> part = PartValue(address.substr(0, end));
    if (!part) return std::optional<DottedQuad>();
    parts[i] = *part;
    address.remove_prefix(std::min(end + 1, address.size()));
  }
  return std::optional<DottedQuad>(parts);
}

// The prefix length split into whole bytes and the bits of the next byte, by the value type's
// integer division and Mod; nothing when it is Null.
struct PrefixLength {
  int32_t whole_bytes;
  int32_t rest_bits;
};

Result<std::optional<PrefixLength>> SplitPrefixLength(const VARIANT& bits) {
  Variant per_part = Variant::FromI2(kBitsPerPart);
  Variant whole = TRY(IntegerDivide(bits, per_part));
  Variant rest = TRY(Modulo(bits, per_part));
  if (whole.IsNull() || rest.IsNull()) return std::optional<PrefixLength>();
  return std::optional<PrefixLength>(PrefixLength{TRY(ToInt32(whole)), TRY(ToInt32(rest))});
}

bool MatchesPrefix(const DottedQuad& address, const DottedQuad& network, PrefixLength prefix) {
  if (prefix.whole_bytes < 0 || prefix.whole_bytes > static_cast<int32_t>(kAddressParts)) {
    return false;
  }
  size_t whole = static_cast<size_t>(prefix.whole_bytes);
  for (size_t i = 0; i < whole; ++i) {
    if (address[i] != network[i]) return false;
  }
  // With all four bytes compared there is no partial byte (both count as 0).
  if (prefix.rest_bits <= 0 || whole == kAddressParts) return true;
  int32_t ignored_bits = kBitsPerPart - prefix.rest_bits;
  return (address[whole] >> ignored_bits) == (network[whole] >> ignored_bits);
}

}  // namespace

// satisfiesIPMask(l_addr, l_mask, l_nsb): whether the leading l_nsb bits of the client address
// equal those of the network address. Invalid addresses give False, not an error.
Result<Variant> UtilitiesClass::satisfiesIPMask(const DispatchArguments& arguments) {
  std::optional<DottedQuad> address = TRY(ParseDottedQuad(arguments[0]));
  if (!address) return Variant::FromBool(false);
  std::optional<DottedQuad> network = TRY(ParseDottedQuad(arguments[1]));
  if (!network) return Variant::FromBool(false);
  std::optional<PrefixLength> prefix = TRY(SplitPrefixLength(arguments[2]));
  if (!prefix) return Variant::FromBool(false);
  return Variant::FromBool(MatchesPrefix(*address, *network, *prefix));
}
