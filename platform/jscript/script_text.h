#pragma once
// Text between the engine's UTF-16 and Duktape's strings. Duktape keeps strings as CESU-8:
// every UTF-16 code unit (a lone surrogate too) is one 1- to 3-byte sequence, so a string
// crosses in both directions unchanged, whatever code units it holds.

#include <string>
#include <string_view>

#include "duktape.h"

namespace jscript {

/// The Duktape string bytes of `text`.
std::string EncodeText(std::u16string_view text);

/// Pushes `text` as a Duktape string.
void PushText(duk_context* ctx, std::u16string_view text);

/// The UTF-16 text of the string at `index` (other values are not converted: empty). Byte
/// sequences outside CESU-8 (4-byte UTF-8 from C code) become surrogate pairs; malformed
/// ones U+FFFD.
std::u16string ReadText(duk_context* ctx, duk_idx_t index);

/// The UTF-16 text of Duktape string bytes.
std::u16string DecodeText(std::string_view bytes);

}  // namespace jscript
