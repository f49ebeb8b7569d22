#include "platform/system/system_messages.h"

#include <cstdio>
#include <string_view>

namespace {

struct SystemMessage {
  uint32_t code;
  std::string_view text;
};

constexpr SystemMessage kMessages[] = {
#define SYSTEM_MESSAGE(code, text) {code, text},
#include "platform/system/system_messages.def"
#undef SYSTEM_MESSAGE
};

}  // namespace

std::string SystemMessageText(HRESULT code) {
  auto value = static_cast<uint32_t>(code);
  for (const SystemMessage& message : kMessages) {
    if (message.code == value) return std::string(message.text);
  }
  char text[32];
  std::snprintf(text, sizeof(text), "Unknown error 0x%08X", value);
  return text;
}
