#include "wendrel/http/error_pages.h"

#include <mutex>
#include <vector>

#include "wendrel/common/html_text.h"

namespace {

struct Refusal {
  int status;
  std::string_view reason;
};

constexpr Refusal kRefusals[] = {
#define REFUSAL(status, reason) {status, reason},
#define PAGE(name, status, body)
#define LITERAL(name, bytes)
#include "wendrel/http/error_pages.def"
#undef REFUSAL
#undef PAGE
#undef LITERAL
};

constexpr std::string_view kPageBodies[] = {
#define REFUSAL(status, reason)
#define PAGE(name, status, body) body,
#define LITERAL(name, bytes)
#include "wendrel/http/error_pages.def"
#undef REFUSAL
#undef PAGE
#undef LITERAL
};

constexpr std::string_view kLiterals[] = {
#define REFUSAL(status, reason)
#define PAGE(name, status, body)
#define LITERAL(name, bytes) bytes,
#include "wendrel/http/error_pages.def"
#undef REFUSAL
#undef PAGE
#undef LITERAL
};

std::string ComposeRefusal(const Refusal& refusal) {
  std::string status = std::to_string(refusal.status);
  std::string body = "<HTML><BODY><H1>" + status + " - " + std::string(refusal.reason) +
                     "</H1></BODY></HTML>";
  return "HTTP/1.1 " + status + " " + std::string(refusal.reason) +
         "\r\nServer: QuavWendrel/COM\r\nContent-Type: text/html\r\nConnection: Close\r\n"
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

std::string_view RefusalResponse(int status) {
  // Composed once, on first use, from the table.
  static const std::vector<std::string> composed = [] {
    std::vector<std::string> responses;
    for (const Refusal& refusal : kRefusals) responses.push_back(ComposeRefusal(refusal));
    return responses;
  }();
  for (size_t i = 0; i < std::size(kRefusals); ++i) {
    if (kRefusals[i].status == status) return composed[i];
  }
  return composed[0];
}

std::string BuiltInPageBody(BuiltInPage page, std::string_view value) {
  std::string_view body = kPageBodies[static_cast<size_t>(page)];
  size_t slot = body.find("%s");
  if (slot == std::string_view::npos) return std::string(body);
  std::string filled(body.substr(0, slot));
  filled += HtmlEscaped(value);
  filled += body.substr(slot + 2);
  return filled;
}

std::string_view BareSocketBytes(BareSocketLiteral literal) {
  return kLiterals[static_cast<size_t>(literal)];
}
