#include "platform/system/code_page.h"

namespace {

// Characters of Windows-1252 bytes 0x80-0x9F; zero marks the five undefined bytes.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

constexpr char16_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one UTF-8 sequence at `index`, advancing it; invalid input gives U+FFFD and advances
// by one byte so that decoding resynchronises.
char32_t DecodeUtf8(std::string_view bytes, size_t& index) {
  auto lead = static_cast<unsigned char>(bytes[index]);
  if (lead < 0x80) {
    ++index;
    return lead;
  }
  int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || index + length > bytes.size()) {
    ++index;
    return kReplacement;
  }
  char32_t code = lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    auto byte = static_cast<unsigned char>(bytes[index + i]);
    if (!IsContinuation(byte)) {
      ++index;
      return kReplacement;
    }
    code = (code << 6) | (byte & 0x3F);
  }
  constexpr char32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    ++index;
    return kReplacement;
  }
  index += length;
  return code;
}

void AppendUtf16(std::u16string& text, char32_t code) {
  if (code < 0x10000) {
    text.push_back(static_cast<char16_t>(code));
    return;
  }
  code -= 0x10000;
  text.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
  text.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
}

std::u16string Utf8ToText(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  size_t index = 0;
  while (index < bytes.size()) AppendUtf16(text, DecodeUtf8(bytes, index));
  return text;
}

// The UTF-8 bytes of one code point at `out`; the position after them.
char* WriteUtf8(char* out, char32_t code) {
  if (code < 0x80) {
    *out++ = static_cast<char>(code);
  } else if (code < 0x800) {
    *out++ = static_cast<char>(0xC0 | (code >> 6));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (code >> 12));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (code >> 18));
    *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

// UTF-8 of UTF-16 text into room for three bytes per unit; the count written.
size_t EncodeUtf8Into(std::u16string_view text, char* out) {
  char* start = out;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t unit = text[i];
    if (unit < 0x80) {
      *out++ = static_cast<char>(unit);
      continue;
    }
    char32_t code = unit;
    bool high = unit >= 0xD800 && unit <= 0xDBFF;
    bool paired = high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (paired) {
      code = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      code = kReplacement;
    }
    out = WriteUtf8(out, code);
  }
  return static_cast<size_t>(out - start);
}

char16_t Windows1252Char(unsigned char byte) {
  if (byte < 0x80 || byte >= 0xA0) return byte;
  char16_t mapped = kWindows1252High[byte - 0x80];
  return mapped != 0 ? mapped : byte;
}

}  // namespace

bool IsSupportedCodePage(uint32_t code_page) {
  return code_page == CP_ACP || code_page == kCodePageWindows1252 || code_page == CP_UTF8 ||
         code_page == kCodePageLatin1 || code_page == kCodePageAscii;
}

int Windows1252ByteOf(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  for (int i = 0; i < 32; ++i) {
    if (kWindows1252High[i] == c) return 0x80 + i;
  }
  // The undefined bytes round-trip through the code points of the same value.
  if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) return c;
  return -1;
}

std::u16string BytesToText(std::string_view bytes, uint32_t code_page) {
  if (code_page == CP_UTF8) return Utf8ToText(bytes);
  std::u16string text(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto byte = static_cast<unsigned char>(bytes[i]);
    if (code_page == kCodePageLatin1) {
      text[i] = byte;
    } else if (code_page == kCodePageAscii) {
      text[i] = byte < 0x80 ? byte : u'?';
    } else {
      text[i] = Windows1252Char(byte);
    }
  }
  return text;
}

size_t MaxEncodedBytes(size_t units, uint32_t code_page) {
  return code_page == CP_UTF8 ? units * 3 : units;
}

size_t EncodeTextInto(std::u16string_view text, uint32_t code_page, char* out) {
  if (code_page == CP_UTF8) return EncodeUtf8Into(text, out);
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    int byte = -1;
    if (c < 0x80) {
      byte = c;
    } else if (code_page == kCodePageLatin1) {
      byte = c <= 0xFF ? c : -1;
    } else if (code_page == kCodePageAscii) {
      byte = -1;
    } else {
      byte = Windows1252ByteOf(c);
    }
    out[i] = static_cast<char>(byte >= 0 ? byte : '?');
  }
  return text.size();
}

std::string TextToBytes(std::u16string_view text, uint32_t code_page) {
  std::string bytes(MaxEncodedBytes(text.size(), code_page), '\0');
  bytes.resize(EncodeTextInto(text, code_page, bytes.data()));
  return bytes;
}

