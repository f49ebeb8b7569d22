// Writing page data into report HTML without letting it break out (see html_safety.h).
#include "tabulix32/render/html_safety.h"

namespace html_safety {

namespace {

// Characters that end or escape an unquoted attribute value.
bool BreaksUnquotedValue(char16_t c) {
  switch (c) {
    case u' ':
    case u'\t':
    case u'\n':
    case u'\r':
    case u'\f':
    case u'"':
    case u'\'':
    case u'=':
    case u'<':
    case u'>':
    case u'`':
      return true;
    default:
      return false;
  }
}

bool IsAsciiLetterOrDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// Whether the "&" at `at` begins a character reference the browser would decode inside an
// attribute: "&#..." or "&name;". A pair separator ("&name=value", "&%token%") does not.
bool StartsCharacterReference(std::u16string_view text, size_t at) {
  size_t next = at + 1;
  if (next < text.size() && text[next] == u'#') return true;
  size_t end = next;
  while (end < text.size() && IsAsciiLetterOrDigit(text[end])) ++end;
  return end > next && end < text.size() && text[end] == u';';
}

constexpr std::u16string_view kEncodedQuote = u"%27";

}  // namespace

void AppendText(std::u16string& out, std::u16string_view text) {
  for (char16_t c : text) {
    if (c == u'<') {
      out.append(u"&lt;");
    } else {
      out.push_back(c);
    }
  }
}

void AppendAttributeValue(std::u16string& out, std::u16string_view value) {
  bool token = true;
  for (char16_t c : value) token = token && !BreaksUnquotedValue(c);
  if (token) {
    out.append(value);
    return;
  }
  out.push_back(u'"');
  for (char16_t c : value) {
    switch (c) {
      case u'"':
        out.append(u"&quot;");
        break;
      case u'&':
        out.append(u"&amp;");
        break;
      case u'<':
        out.append(u"&lt;");
        break;
      default:
        out.push_back(c);
    }
  }
  out.push_back(u'"');
}

void AppendScriptArgument(std::u16string& out, std::u16string_view clause) {
  for (size_t i = 0; i < clause.size(); ++i) {
    char16_t c = clause[i];
    if (c == u'%' && clause.substr(i, kEncodedQuote.size()) == kEncodedQuote) {
      out.append(u"%2A%24%2A");
      i += kEncodedQuote.size() - 1;
      continue;
    }
    switch (c) {
      case u'\'':
        out.append(u"*$*");
        break;
      case u'"':
        out.append(u"%22");
        break;
      case u'\r':
        out.append(u"%0D");
        break;
      case u'\n':
        out.append(u"%0A");
        break;
      case u'&':
        out.append(StartsCharacterReference(clause, i) ? u"&amp;" : u"&");
        break;
      default:
        out.push_back(c);
    }
  }
}

void AppendQueryValue(std::u16string& out, std::u16string_view value) {
  for (char16_t c : value) {
    if (c == u'&') {
      out.append(u"%26");
    } else {
      out.push_back(c);
    }
  }
}

std::u16string Text(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  AppendText(out, text);
  return out;
}

std::u16string QueryValue(std::u16string_view value) {
  std::u16string out;
  out.reserve(value.size());
  AppendQueryValue(out, value);
  return out;
}

}  // namespace html_safety
