#include "platform/jscript/script_text.h"

#include <cstdint>

namespace jscript {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The number of continuation bytes after a lead byte, or -1 for a byte that cannot lead.
int ContinuationCount(unsigned char lead) {
  if (lead < 0x80) return 0;
  if (lead < 0xC0) return -1;
  if (lead < 0xE0) return 1;
  if (lead < 0xF0) return 2;
  if (lead < 0xF8) return 3;
  return -1;
}

// Reads the sequence at `at` into `code`: its length in bytes, 0 when it is malformed.
size_t DecodeSequence(std::string_view bytes, size_t at, uint32_t* code) {
  auto lead = static_cast<unsigned char>(bytes[at]);
  int more = ContinuationCount(lead);
  if (more < 0 || at + static_cast<size_t>(more) >= bytes.size()) return 0;
  uint32_t value = more == 0 ? lead : lead & (0x3Fu >> more);
  for (size_t k = 1; k <= static_cast<size_t>(more); ++k) {
    auto next = static_cast<unsigned char>(bytes[at + k]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  if (value > 0x10FFFF) return 0;
  *code = value;
  return static_cast<size_t>(more) + 1;
}

bool AllAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string EncodeText(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (char16_t unit : text) {
    if (unit < 0x80) {
      bytes.push_back(static_cast<char>(unit));
    } else if (unit < 0x800) {
      bytes.push_back(static_cast<char>(0xC0 | (unit >> 6)));
      bytes.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    } else {
      bytes.push_back(static_cast<char>(0xE0 | (unit >> 12)));
      bytes.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
      bytes.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    }
  }
  return bytes;
}

void PushText(duk_context* ctx, std::u16string_view text) {
  std::string bytes = EncodeText(text);
  duk_push_lstring(ctx, bytes.data(), bytes.size());
}

std::u16string DecodeText(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  if (AllAscii(bytes)) {
    text.assign(bytes.begin(), bytes.end());
    return text;
  }
  for (size_t i = 0; i < bytes.size();) {
    uint32_t code = 0;
    size_t length = DecodeSequence(bytes, i, &code);
    if (length == 0) {
      text.push_back(kReplacement);
      ++i;
      continue;
    }
    i += length;
    if (code < 0x10000) {
      text.push_back(static_cast<char16_t>(code));
      continue;
    }
    code -= 0x10000;
    text.push_back(static_cast<char16_t>(0xD800 | (code >> 10)));
    text.push_back(static_cast<char16_t>(0xDC00 | (code & 0x3FF)));
  }
  return text;
}

std::u16string ReadText(duk_context* ctx, duk_idx_t index) {
  duk_size_t length = 0;
  const char* bytes = duk_get_lstring(ctx, index, &length);
  if (bytes == nullptr) return {};
  return DecodeText(std::string_view(bytes, length));
}

}  // namespace jscript
