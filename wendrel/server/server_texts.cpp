#include "wendrel/server/server_texts.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

struct ServerTextEntry {
  int id;
  std::string_view text;
};

constexpr ServerTextEntry kServerTexts[] = {
#define SERVER_TEXT(name, id, text) {id, text},
#include "wendrel/server/server_texts.def"
#undef SERVER_TEXT
};

constexpr size_t kMaxSystemMessage = 1024;

}  // namespace

std::string ServerText(int id) {
  for (const ServerTextEntry& entry : kServerTexts) {
    if (entry.id == id) return std::string(entry.text);
  }
  char text[64];
  std::snprintf(text, sizeof text, "Can't find error 0x%X", static_cast<unsigned>(id));
  return text;
}

std::string ServerTextWithSystemError(int id, int system_error) {
  char message[kMaxSystemMessage + 1];
  const char* system_text = strerror_r(system_error, message, sizeof message);
  std::string text = ServerText(id);
  text += "\r\n";
  text += std::to_string(system_error);
  text += " - ";
  std::string_view shown(system_text);
  text += shown.substr(0, kMaxSystemMessage);
  return text;
}
