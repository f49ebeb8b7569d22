#pragma once
// Server.HTMLEncode: text made safe to put into HTML. The text is taken in the ANSI code page
// (Windows-1252) byte by byte: '&', '<', '>' and '"' become entities, the bytes 0x80 to 0x9F
// become the numeric entities of the characters Windows-1252 puts there (0x80 is &#8364;, the
// euro sign), and every other byte from 0x80 to 0xFF becomes "&#n;" with its value.

#include <string>
#include <string_view>

/// The encoding of narrow text (Windows-1252 bytes).
std::string HtmlEncodedBytes(std::string_view bytes);
/// The encoding of script text: the same for every character of the ANSI code page; a
/// character it lacks becomes the entity of its code point (not a '?'). Pure ASCII.
std::u16string HtmlEncoded(std::u16string_view text);
