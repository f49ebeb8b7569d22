#pragma once
// Conversions between UTF-16 text and byte text in a code page: the system ANSI code page is
// Windows-1252; 65001 is UTF-8; 28591 is ISO-8859-1 and 20127 US-ASCII. Any other code page is
// read as the ANSI code page.

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr uint32_t CP_ACP = 0;
inline constexpr uint32_t kCodePageWindows1252 = 1252;
inline constexpr uint32_t kCodePageLatin1 = 28591;
inline constexpr uint32_t kCodePageAscii = 20127;
inline constexpr uint32_t CP_UTF8 = 65001;

bool IsSupportedCodePage(uint32_t code_page);

/// Bytes to UTF-16. Invalid UTF-8 sequences become U+FFFD; bytes of Windows-1252 that the
/// code page leaves undefined map to the code point of the same value.
std::u16string BytesToText(std::string_view bytes, uint32_t code_page);

/// UTF-16 to bytes. Characters the code page lacks become '?'; unpaired surrogates become
/// U+FFFD in UTF-8.
std::string TextToBytes(std::u16string_view text, uint32_t code_page);
/// The most bytes TextToBytes can make of `units` UTF-16 code units in the code page.
size_t MaxEncodedBytes(size_t units, uint32_t code_page);
/// TextToBytes into `out`, which has room for MaxEncodedBytes(text.size(), code_page) bytes;
/// the count written.
size_t EncodeTextInto(std::u16string_view text, uint32_t code_page, char* out);

/// The Windows-1252 byte for a character, or -1 when the code page has none.
int Windows1252ByteOf(char16_t c);
