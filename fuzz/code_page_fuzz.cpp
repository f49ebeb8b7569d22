// Byte text through UTF-8 and Windows-1252 and back.
#include <cstdint>
#include <string>

#include "platform/system/code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::u16string text = BytesToText(bytes, CP_UTF8);
  std::string encoded = TextToBytes(text, CP_UTF8);
  if (BytesToText(encoded, CP_UTF8) != text) __builtin_trap();  // UTF-8 output must round-trip
  (void)TextToBytes(BytesToText(bytes, CP_ACP), CP_ACP);
  return 0;
}
