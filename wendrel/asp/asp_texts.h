#pragma once
// The texts of the ASP runtime (asp_texts.def): the failure codes 2000 to 2018 with their
// texts, the ASP error page, the script error fragment and the log lines.

#include <cstdint>
#include <string>
#include <string_view>

enum class AspError : int {
#define ASP_ERROR(name, code, text) name = code,
#define ASP_TEXT(name, text)
#include "wendrel/asp/asp_texts.def"
#undef ASP_ERROR
#undef ASP_TEXT
};

enum class AspText {
#define ASP_ERROR(name, code, text)
#define ASP_TEXT(name, text) name,
#include "wendrel/asp/asp_texts.def"
#undef ASP_ERROR
#undef ASP_TEXT
};

/// The text of a failure code; "Can't find error 0x%X" for a code without one.
std::string AspErrorText(int code);
/// A fixed text of the table (a printf format where it takes values).
const char* AspTextFormat(AspText text);
/// The ASP error page of a failure code: its text and the code.
std::string AspErrorPage(int code);
/// The script error fragment; every text is HTML-encoded here.
std::string ScriptErrorFragment(std::u16string_view description, uint32_t number,
                                std::string_view file, int32_t line, int32_t position,
                                std::u16string_view source_line);
