// The request parser alone, fed the input in two pieces (the first byte says where it splits)
// from a buffer that moves between the calls, as a connection's buffer does. Whatever the
// bytes, the parser ends in one of its three answers and an accepted head points into the
// buffer it was given.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "wendrel/http/request_parser.h"

namespace {

bool Inside(std::string_view part, std::string_view whole) {
  return part.empty() || (part.data() >= whole.data() &&
                          part.data() + part.size() <= whole.data() + whole.size());
}

void CheckHead(const RequestHead& head, std::string_view buffer) {
  if (head.length > buffer.size() || head.method.empty() || head.target.empty()) std::abort();
  if (head.protocol != "HTTP/1.0" && head.protocol != "HTTP/1.1") std::abort();
  if (!Inside(head.method, buffer) || !Inside(head.target, buffer) ||
      !Inside(head.header_block, buffer)) {
    std::abort();
  }
  for (const HeaderField& field : head.fields) {
    if (field.name.empty() || !Inside(field.line, buffer) || !Inside(field.value, buffer)) {
      std::abort();
    }
  }
  if (head.content_length < 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  size_t split = input.empty() ? 0 : data[0] % (input.size() + 1);
  HttpRequestParser parser(4096);
  std::string first(input.substr(0, split));
  std::string whole(input);  // the same bytes and more, at another address
  std::string_view fed = first;
  ParseStatus status = parser.Feed(first);
  if (status == ParseStatus::NeedMore) {
    fed = whole;
    status = parser.Feed(whole);
  }
  if (status == ParseStatus::Done) CheckHead(parser.Head(), fed);
  if (status == ParseStatus::Fail && parser.FailureStatus() != 400 &&
      parser.FailureStatus() != 431 && parser.FailureStatus() != 501 &&
      parser.FailureStatus() != 505) {
    std::abort();
  }
  return 0;
}
