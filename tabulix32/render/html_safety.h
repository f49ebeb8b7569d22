#pragma once
// Page data written into report HTML. Ordinary text comes out exactly as it is; only the
// characters that would break out of where the text stands are written another way:
// - text between tags: "<" (which would open markup) as "&lt;";
// - an unquoted attribute value (class=..., colspan=...): a value that is one plain token is
//   written as it is, anything else quoted with '"', '&' and '<' as character references;
// - the clause inside href="javascript:f('...', '', '')": "'" as "*$*" (the links' own
//   substitution, which the page reverses), "%27" as "%2A%24%2A" (the browser decodes a
//   javascript: address before running it), '"' as "%22", a line break as "%0D" / "%0A", and
//   an "&" that would start a character reference as "&amp;";
// - a value placed into a query-string clause: "&" as "%26", so that it cannot add pairs.

#include <string>
#include <string_view>

namespace html_safety {

void AppendText(std::u16string& out, std::u16string_view text);
void AppendAttributeValue(std::u16string& out, std::u16string_view value);
void AppendScriptArgument(std::u16string& out, std::u16string_view clause);
void AppendQueryValue(std::u16string& out, std::u16string_view value);

/// The same, returning the written form.
std::u16string Text(std::u16string_view text);
std::u16string QueryValue(std::u16string_view value);

}  // namespace html_safety
