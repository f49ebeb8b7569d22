#pragma once
// Narrow (8-bit) text at the automation boundary: the web server keeps request and header text
// as bytes and converts to and from BSTR with a code page (the ANSI code page unless a value
// says otherwise).

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "platform/system/code_page.h"

/// The bytes as a VT_BSTR variant.
Variant NarrowTextVariant(std::string_view text, uint32_t code_page = CP_ACP);

/// The text form of any value (ToBstr rules) as bytes in `code_page`.
Result<std::string> NarrowTextOf(const VARIANT& value, uint32_t code_page = CP_ACP);

/// The bytes with every byte upper-cased as the ANSI code page's letters are; the key form that
/// case-insensitive lookups hash.
std::string UpperCaseBytes(std::string_view text);

/// Whether `text` starts with `prefix`, ignoring the case of ASCII letters.
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

/// The text with CR, LF and NUL replaced by spaces, so that a value written into a header line
/// can never end the line or start another.
std::string HeaderSafeText(std::string_view text);
/// HeaderSafeText appended to `out`.
void AppendHeaderSafeText(std::string& out, std::string_view text);
