#include "wendrel/http/status_codes.h"

#include <cstdio>
#include <string_view>

namespace {

struct ReasonPhraseEntry {
  int32_t code;
  std::string_view phrase;
};

constexpr ReasonPhraseEntry kReasonPhrases[] = {
#define STATUS_CODE(name, code, phrase) {code, phrase},
#include "wendrel/http/status_codes.def"
#undef STATUS_CODE
};

constexpr char kUnknownReasonFormat[] = "Can't find error 0x%X";

}  // namespace

std::string ReasonPhrase(int32_t code) {
  for (const ReasonPhraseEntry& entry : kReasonPhrases) {
    if (entry.code == code) return std::string(entry.phrase);
  }
  char text[sizeof kUnknownReasonFormat + 16];
  std::snprintf(text, sizeof text, kUnknownReasonFormat, static_cast<unsigned>(code));
  return text;
}
