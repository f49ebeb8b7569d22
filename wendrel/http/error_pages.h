#pragma once
// The pages the server writes itself (error_pages.def): refusals before any handler, the bodies
// of built-in answers, and literals sent on a bare socket.

#include <string>
#include <string_view>

enum class BuiltInPage {
#define REFUSAL(status, reason)
#define PAGE(name, status, body) name,
#define LITERAL(name, bytes)
#include "wendrel/http/error_pages.def"
#undef REFUSAL
#undef PAGE
#undef LITERAL
};

enum class BareSocketLiteral {
#define REFUSAL(status, reason)
#define PAGE(name, status, body)
#define LITERAL(name, bytes) name,
#include "wendrel/http/error_pages.def"
#undef REFUSAL
#undef PAGE
#undef LITERAL
};

/// The whole response for a refusal status (400, 408, 413, 431, 501, 505); the 400 one for any
/// other status. Closes the connection ("Connection: Close").
std::string_view RefusalResponse(int status);
/// The body of a built-in page with `value` (HTML-escaped) in place of its "%s".
std::string BuiltInPageBody(BuiltInPage page, std::string_view value = {});
/// The bytes of a bare-socket literal.
std::string_view BareSocketBytes(BareSocketLiteral literal);
