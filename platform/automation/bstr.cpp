#include "platform/automation/bstr.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Stored before the characters. Both counts are in characters; the text is followed by a NUL
// that the capacity does not include.
struct BstrHeader {
  uint32_t capacity;
  uint32_t length;
};

BstrHeader* HeaderOf(BSTR text) {
  return reinterpret_cast<BstrHeader*>(reinterpret_cast<char*>(text) - sizeof(BstrHeader));
}

BSTR TextOf(BstrHeader* header) {
  return reinterpret_cast<BSTR>(reinterpret_cast<char*>(header) + sizeof(BstrHeader));
}

BstrHeader* AllocateHeader(uint32_t capacity) {
  size_t bytes = sizeof(BstrHeader) + (static_cast<size_t>(capacity) + 1) * sizeof(OLECHAR);
  auto* header = static_cast<BstrHeader*>(std::malloc(bytes));
  if (header == nullptr) return nullptr;
  header->capacity = capacity;
  header->length = 0;
  return header;
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length) {
  if (length > kMaxBstrLength) return nullptr;
  BstrHeader* header = AllocateHeader(length);
  if (header == nullptr) return nullptr;
  BSTR result = TextOf(header);
  if (text != nullptr) {
    std::memcpy(result, text, length * sizeof(OLECHAR));
  } else {
    std::memset(result, 0, length * sizeof(OLECHAR));
  }
  result[length] = 0;
  header->length = length;
  return result;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  return SysAllocStringLen(text, static_cast<uint32_t>(std::char_traits<char16_t>::length(text)));
}

void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(HeaderOf(text));
}

uint32_t SysStringLen(BSTR text) { return text == nullptr ? 0 : HeaderOf(text)->length; }

bool SysReAllocStringLen(BSTR* target, const OLECHAR* text, uint32_t length) {
  BSTR replacement = SysAllocStringLen(text, length);
  if (replacement == nullptr && length > 0) return false;
  SysFreeString(*target);
  *target = replacement;
  return true;
}

bool BstrAppend(BSTR* target, std::u16string_view text) {
  uint32_t old_length = SysStringLen(*target);
  if (text.size() > kMaxBstrLength - old_length) return false;
  auto new_length = static_cast<uint32_t>(old_length + text.size());
  const OLECHAR* source = text.data();
  if (*target == nullptr || HeaderOf(*target)->capacity < new_length) {
    uint64_t grown = std::max<uint64_t>(new_length, uint64_t{old_length} * 2);
    auto capacity = static_cast<uint32_t>(std::min<uint64_t>(grown, kMaxBstrLength));
    BstrHeader* header = AllocateHeader(capacity);
    if (header == nullptr) return false;
    BSTR grown_text = TextOf(header);
    if (old_length > 0) std::memcpy(grown_text, *target, old_length * sizeof(OLECHAR));
    // The appended text may be part of the old string itself (s = s & s).
    bool aliases_old = *target != nullptr && source >= *target && source < *target + old_length;
    if (aliases_old) source = grown_text + (source - *target);
    SysFreeString(*target);
    *target = grown_text;
  }
  if (!text.empty()) std::memmove(*target + old_length, source, text.size() * sizeof(OLECHAR));
  HeaderOf(*target)->length = new_length;
  (*target)[new_length] = 0;
  return true;
}

Bstr::Bstr(std::u16string_view text)
    : text_(SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()))) {}
