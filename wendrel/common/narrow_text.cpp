#include "wendrel/common/narrow_text.h"

#include "platform/automation/conversion.h"
#include "wendrel/common/byte_string.h"

Variant NarrowTextVariant(std::string_view text, uint32_t code_page) {
  return Variant::FromString(BytesToText(text, code_page));
}

Result<std::string> NarrowTextOf(const VARIANT& value, uint32_t code_page) {
  Bstr text = TRY(ToBstr(value));
  return TextToBytes(text.view(), code_page);
}

std::string UpperCaseBytes(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = UpperCaseByte(c);
  return upper;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char a = text[i];
    char b = prefix[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
    if (a != b) return false;
  }
  return true;
}

void AppendHeaderSafeText(std::string& out, std::string_view text) {
  size_t start = out.size();
  out += text;
  for (size_t i = start; i < out.size(); ++i) {
    char c = out[i];
    if (c == '\r' || c == '\n' || c == '\0') out[i] = ' ';
  }
}

std::string HeaderSafeText(std::string_view text) {
  std::string safe(text);
  for (char& c : safe) {
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  return safe;
}
