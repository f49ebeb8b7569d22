#pragma once
// HttpRequestParser: reads the request line and header block of one HTTP/1.x request from bytes
// as they arrive. Pure: no sockets, no allocation beyond the field list, so tests and fuzzers
// drive it directly. Feed it the whole buffer received so far (the same bytes again plus what
// came since); it goes on where it stopped, so every byte is looked at once however the
// request is split.
//
// It is strict where leniency would let a proxy in front of the server and the server read the
// same bytes as different requests:
//   - a line ends with CR LF only; a bare LF anywhere in the head, or a CR not followed by LF,
//     is refused (400);
//   - obsolete line folding (a line starting with a blank), white space between a field name
//     and its colon, and a field name that is not a token are refused (400);
//   - the request line is exactly METHOD SP TARGET SP HTTP/x.y: a missing target or version is
//     refused (400); another major version than 1 gets 505; HTTP/1.x with x above 1 is
//     answered as HTTP/1.1;
//   - controls other than tab inside a field value are refused (400);
//   - body framing: Transfer-Encoding together with Content-Length (400), "chunked" (400: this
//     server does not decode it), any other transfer coding (501), Content-Length values that
//     differ or are not plain decimal numbers (400), more than one Host field (400).
// Blank lines before the request line are skipped. A head longer than the header limit (blank
// lines before it included), or with more than kMaxFields fields, is refused with 431.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "wendrel/http/request_head.h"

enum class ParseStatus { NeedMore, Done, Fail };

class HttpRequestParser {
 public:
  /// The most header fields one request may carry.
  static constexpr size_t kMaxFields = 1000;
  /// The header limit when none is given (the server's MaxHeaderSize default).
  static constexpr size_t kDefaultMaxHeadBytes = 65536;

  explicit HttpRequestParser(size_t max_head_bytes = kDefaultMaxHeadBytes)
      : max_head_bytes_(max_head_bytes) {}

  /// Reads on in `buffer`, which holds every byte of this request received so far (its start
  /// may have moved in memory since the last call, its content must not have changed).
  /// NeedMore until the blank line that ends the head has arrived; Done with Head() filled;
  /// Fail with FailureStatus(). After Done or Fail, further calls return the same result.
  ParseStatus Feed(std::string_view buffer);
  /// The status of the refusal after Fail: 400, 431, 501 or 505.
  int FailureStatus() const { return failure_status_; }
  /// The accepted head after Done; its views point into the buffer given to the last Feed.
  const RequestHead& Head() const { return head_; }
  /// Ready for the next request (the limit stays).
  void Reset();
  void SetMaxHeadBytes(size_t bytes) { max_head_bytes_ = bytes; }

 private:
  enum class State { Blank, RequestLine, Fields, Done, Failed };

  // Offsets of one field line inside the buffer.
  struct FieldOffsets {
    size_t line_start, name_end, value_start, value_end, line_end;
  };

  ParseStatus Fail(int status);
  // The next complete line from position_ (without CR LF), or nothing yet. Fails on a bare LF
  // or a lone CR.
  bool NextLine(std::string_view buffer, size_t& line_start, size_t& line_end);
  ParseStatus SkipBlankLines(std::string_view buffer);
  ParseStatus ParseRequestLine(std::string_view buffer, size_t start, size_t end);
  ParseStatus ParseFieldLine(std::string_view buffer, size_t start, size_t end);
  ParseStatus Finish(std::string_view buffer, size_t end_of_head);
  // The framing rules on the complete field list; 0 when the body framing is acceptable.
  int FramingRefusal();

  size_t max_head_bytes_;
  State state_ = State::Blank;
  size_t position_ = 0;       // the first byte not yet consumed
  size_t scanned_to_ = 0;     // how far the search for the current line's end has looked
  size_t head_start_ = 0;     // the first byte of the request line
  int failure_status_ = 0;
  // Request line offsets.
  size_t method_end_ = 0, target_start_ = 0, target_end_ = 0;
  bool answered_as_http11_ = false;
  size_t fields_start_ = 0;
  std::vector<FieldOffsets> fields_;  // made into views at Done, when the buffer stays put
  RequestHead head_;
};
