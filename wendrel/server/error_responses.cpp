#include "wendrel/server/error_responses.h"

namespace {

struct Refusal {
  int status;
  std::string_view response;
};

// The Content-Length values are the lengths of the bodies that follow them.
constexpr Refusal kRefusals[] = {
    {400, "HTTP/1.1 400 Bad Request\r\nServer: QuavWendrel/COM\r\nContent-Type: text/html\r\n"
          "Connection: Close\r\nContent-Length: 52\r\n\r\n"
          "<HTML><BODY><H1>400 - Bad Request</H1></BODY></HTML>"},
    {408, "HTTP/1.1 408 Request Time-out\r\nServer: QuavWendrel/COM\r\nContent-Type: text/html\r\n"
          "Connection: Close\r\nContent-Length: 57\r\n\r\n"
          "<HTML><BODY><H1>408 - Request Time-out</H1></BODY></HTML>"},
    {413, "HTTP/1.1 413 Request Entity Too Large\r\nServer: QuavWendrel/COM\r\n"
          "Content-Type: text/html\r\nConnection: Close\r\nContent-Length: 65\r\n\r\n"
          "<HTML><BODY><H1>413 - Request Entity Too Large</H1></BODY></HTML>"},
    {431, "HTTP/1.1 431 Request Header Fields Too Large\r\nServer: QuavWendrel/COM\r\n"
          "Content-Type: text/html\r\nConnection: Close\r\nContent-Length: 72\r\n\r\n"
          "<HTML><BODY><H1>431 - Request Header Fields Too Large</H1></BODY></HTML>"},
    {501, "HTTP/1.1 501 Not Implemented\r\nServer: QuavWendrel/COM\r\nContent-Type: text/html\r\n"
          "Connection: Close\r\nContent-Length: 56\r\n\r\n"
          "<HTML><BODY><H1>501 - Not Implemented</H1></BODY></HTML>"},
};

}  // namespace

std::string_view RefusalResponse(int status) {
  for (const Refusal& refusal : kRefusals) {
    if (refusal.status == status) return refusal.response;
  }
  return kRefusals[0].response;
}
