#include "platform/com/guid.h"

namespace {

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

void AppendHex(std::u16string& text, uint64_t value, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
    text.push_back(kHexDigits[(value >> shift) & 0xF]);
  }
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// Reads `digits` hexadecimal digits at `position`.
bool ReadHex(std::u16string_view text, size_t position, int digits, uint64_t* value) {
  uint64_t result = 0;
  for (int i = 0; i < digits; ++i) {
    int digit = HexValue(text[position + i]);
    if (digit < 0) return false;
    result = (result << 4) | static_cast<uint64_t>(digit);
  }
  *value = result;
  return true;
}

}  // namespace

std::u16string GuidToString(const GUID& guid) {
  std::u16string text = u"{";
  AppendHex(text, guid.Data1, 8);
  text.push_back(u'-');
  AppendHex(text, guid.Data2, 4);
  text.push_back(u'-');
  AppendHex(text, guid.Data3, 4);
  text.push_back(u'-');
  AppendHex(text, guid.Data4[0], 2);
  AppendHex(text, guid.Data4[1], 2);
  text.push_back(u'-');
  for (int i = 2; i < 8; ++i) AppendHex(text, guid.Data4[i], 2);
  text.push_back(u'}');
  return text;
}

std::optional<GUID> GuidFromString(std::u16string_view text) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  if (text.size() != 38 || text[0] != u'{' || text[37] != u'}') return std::nullopt;
  if (text[9] != u'-' || text[14] != u'-' || text[19] != u'-' || text[24] != u'-') return std::nullopt;
  GUID guid{};
  uint64_t value = 0;
  if (!ReadHex(text, 1, 8, &value)) return std::nullopt;
  guid.Data1 = static_cast<uint32_t>(value);
  if (!ReadHex(text, 10, 4, &value)) return std::nullopt;
  guid.Data2 = static_cast<uint16_t>(value);
  if (!ReadHex(text, 15, 4, &value)) return std::nullopt;
  guid.Data3 = static_cast<uint16_t>(value);
  constexpr size_t kBytePositions[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, kBytePositions[i], 2, &value)) return std::nullopt;
    guid.Data4[i] = static_cast<uint8_t>(value);
  }
  return guid;
}

HRESULT CLSIDFromString(std::u16string_view text, CLSID* clsid) {
  std::optional<GUID> guid = GuidFromString(text);
  if (!guid) return CO_E_CLASSSTRING;
  *clsid = *guid;
  return S_OK;
}
