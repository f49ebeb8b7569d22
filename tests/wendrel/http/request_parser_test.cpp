// The request parser on its own: what it accepts, what it refuses with which status, and that
// the way the bytes arrive never changes the outcome.
#include "wendrel/http/request_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "wendrel/http/error_pages.h"
#include "wendrel/http/status_codes.h"

namespace {

// Feeds the whole text at once.
ParseStatus ParseAll(HttpRequestParser& parser, std::string_view text) {
  return parser.Feed(text);
}

TEST(RequestParser, AcceptsAHeadAndGivesItsParts) {
  HttpRequestParser parser;
  std::string text =
      "GET /dir/page.asp?x=1&y=%20 HTTP/1.1\r\nHost: www:8080\r\nUser-Agent:  curl/8 \r\n"
      "X-Empty:\r\nAccept:\t*/*\t\r\n\r\nBODY";
  ASSERT_EQ(ParseAll(parser, text), ParseStatus::Done);
  const RequestHead& head = parser.Head();
  EXPECT_EQ(head.method, "GET");
  EXPECT_EQ(head.target, "/dir/page.asp?x=1&y=%20");
  EXPECT_EQ(head.protocol, "HTTP/1.1");
  ASSERT_EQ(head.fields.size(), 4u);
  EXPECT_EQ(head.fields[0].name, "Host");
  EXPECT_EQ(head.fields[0].known, KnownHeader::Host);
  EXPECT_EQ(head.fields[1].value, "curl/8");
  EXPECT_EQ(head.fields[1].line, "User-Agent:  curl/8 ");
  EXPECT_EQ(head.fields[2].value, "");
  EXPECT_EQ(head.fields[2].known, KnownHeader::Other);
  EXPECT_EQ(head.fields[3].value, "*/*");
  EXPECT_EQ(head.Value(KnownHeader::UserAgent), "curl/8");
  EXPECT_EQ(head.header_block,
            "Host: www:8080\r\nUser-Agent:  curl/8 \r\nX-Empty:\r\nAccept:\t*/*\t");
  EXPECT_EQ(head.length, text.size() - 4);  // the body starts right after the blank line
  EXPECT_EQ(head.content_length, 0);
}

TEST(RequestParser, RefusesWhatAProxyCouldReadDifferently) {
  struct Case {
    std::string text;
    int status;
  } cases[] = {
      // Line ends are CR LF only.
      {"GET / HTTP/1.1\nHost: a\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nHost: a\nX: b\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nHost: a\r\n\n", 400},
      {"GET / HTTP/1.1\r\nX: a\rb\r\n\r\n", 400},
      // The request line needs method, target and version, one space apart.
      {"GET\r\n\r\n", 400},
      {"0\r\n\r\n", 400},
      {"GET /\r\n\r\n", 400},
      {"GET  / HTTP/1.1\r\n\r\n", 400},
      {"GET / HTTP/1.1 \r\n\r\n", 400},
      {" GET / HTTP/1.1\r\n\r\n", 400},
      {"G(T / HTTP/1.1\r\n\r\n", 400},
      {"GET /a\x01 HTTP/1.1\r\n\r\n", 400},
      {"GET / http/1.1\r\n\r\n", 400},
      {"GET / HTTP/1.10\r\n\r\n", 400},
      {"GET / HTTP/x.1\r\n\r\n", 400},
      {"GET / HTTP/2.0\r\n\r\n", 505},
      {"GET / HTTP/0.9\r\n\r\n", 505},
      // Field lines.
      {"GET / HTTP/1.1\r\nHost: a\r\n folded\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nHost : a\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\n: a\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nno colon\r\n\r\n", 400},
      {std::string("GET / HTTP/1.1\r\nX-A: a\0b\r\n\r\n", 28), 400},
      {"GET / HTTP/1.1\r\nX-A: a\x7f\r\n\r\n", 400},
      // Body framing.
      {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\nContent-Length: 5\r\n\r\n", 400},
      {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 400},
      {"POST / HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n", 501},
      {"POST / HTTP/1.1\r\nTransfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n", 400},
      {"POST / HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n", 400},
      {"POST / HTTP/1.1\r\nContent-Length: 5x\r\n\r\n", 400},
      {"POST / HTTP/1.1\r\nContent-Length: -5\r\n\r\n", 400},
      {"POST / HTTP/1.1\r\nContent-Length: +5\r\n\r\n", 400},
      {"POST / HTTP/1.1\r\nContent-Length:\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", 400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    HttpRequestParser parser;
    ASSERT_EQ(ParseAll(parser, c.text), ParseStatus::Fail);
    EXPECT_EQ(parser.FailureStatus(), c.status);
    EXPECT_EQ(parser.Feed(c.text), ParseStatus::Fail);  // stays refused
  }
}

TEST(RequestParser, AcceptsWhatTheRulesAllow) {
  struct Case {
    std::string text;
    std::string_view protocol;
    int64_t content_length;
  } cases[] = {
      {"GET / HTTP/1.0\r\n\r\n", "HTTP/1.0", 0},
      {"GET / HTTP/1.7\r\n\r\n", "HTTP/1.1", 0},  // another HTTP/1 minor version: as 1.1
      {"\r\n\r\nGET / HTTP/1.1\r\n\r\n", "HTTP/1.1", 0},  // blank lines before the request
      {"POST / HTTP/1.1\r\nContent-Length: 12\r\ncontent-length: 12\r\n\r\n", "HTTP/1.1", 12},
      {"POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n", "HTTP/1.1",
       INT64_MAX},
      {"OPTIONS * HTTP/1.1\r\n\r\n", "HTTP/1.1", 0},
      {"GET /caf\xc3\xa9 HTTP/1.1\r\nX-Name: Jos\xc3\xa9\r\n\r\n", "HTTP/1.1", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    HttpRequestParser parser;
    ASSERT_EQ(ParseAll(parser, c.text), ParseStatus::Done);
    EXPECT_EQ(parser.Head().protocol, c.protocol);
    EXPECT_EQ(parser.Head().content_length, c.content_length);
    EXPECT_EQ(parser.Head().length, c.text.size());
  }
}

// However the bytes are split, the outcome is the same; the buffer may move between calls.
TEST(RequestParser, ByteByByteGivesTheSameHead) {
  const std::string text =
      "POST /upload?a=b HTTP/1.1\r\nHost: example\r\nContent-Length: 3\r\nCookie: x=1\r\n\r\nabc";
  HttpRequestParser parser;
  std::string received;
  ParseStatus status = ParseStatus::NeedMore;
  size_t fed = 0;
  while (status == ParseStatus::NeedMore && fed < text.size()) {
    received.push_back(text[fed++]);
    std::string moved = received;  // another address every time
    status = parser.Feed(moved);
    if (status == ParseStatus::Done) {
      EXPECT_EQ(parser.Head().target, "/upload?a=b");
      EXPECT_EQ(parser.Head().content_length, 3);
      EXPECT_EQ(parser.Head().Value(KnownHeader::Cookie), "x=1");
    }
  }
  EXPECT_EQ(status, ParseStatus::Done);
  EXPECT_EQ(fed, text.size() - 3);  // done at the blank line, before the body
}

TEST(RequestParser, ResetReadsThePipelinedNextRequest) {
  std::string text = "GET /one HTTP/1.1\r\n\r\nGET /two HTTP/1.0\r\nX: y\r\n\r\n";
  HttpRequestParser parser;
  ASSERT_EQ(parser.Feed(text), ParseStatus::Done);
  EXPECT_EQ(parser.Head().target, "/one");
  std::string rest = text.substr(parser.Head().length);
  parser.Reset();
  ASSERT_EQ(parser.Feed(rest), ParseStatus::Done);
  EXPECT_EQ(parser.Head().target, "/two");
  EXPECT_EQ(parser.Head().fields.size(), 1u);
}

TEST(RequestParser, LimitsAreRefusedWith431) {
  HttpRequestParser small(100);
  std::string long_field = "GET / HTTP/1.1\r\nX: " + std::string(200, 'a');
  EXPECT_EQ(small.Feed(long_field), ParseStatus::Fail);  // before the line even ends
  EXPECT_EQ(small.FailureStatus(), 431);
  HttpRequestParser blanks(100);
  EXPECT_EQ(blanks.Feed(std::string(300, '\n')), ParseStatus::Fail);
  EXPECT_EQ(blanks.FailureStatus(), 431);
  std::string many = "GET / HTTP/1.1\r\n";
  for (size_t i = 0; i <= HttpRequestParser::kMaxFields; ++i) many += "X: 1\r\n";
  many += "\r\n";
  HttpRequestParser fields(1 << 20);
  EXPECT_EQ(fields.Feed(many), ParseStatus::Fail);
  EXPECT_EQ(fields.FailureStatus(), 431);
  HttpRequestParser exact(18);
  EXPECT_EQ(exact.Feed("GET / HTTP/1.1\r\n\r\n"), ParseStatus::Done);
}

// A head that grows one byte at a time is scanned once, not once per byte.
TEST(RequestParser, ALongLineSentByteByByteStaysLinear) {
  HttpRequestParser parser(1 << 20);
  std::string received = "GET / HTTP/1.1\r\nX: ";
  for (int i = 0; i < 200000; ++i) {
    received.push_back('a');
    ASSERT_EQ(parser.Feed(received), ParseStatus::NeedMore);
  }
  received += "\r\n\r\n";
  EXPECT_EQ(parser.Feed(received), ParseStatus::Done);
}

TEST(KnownHeaders, NamesMatchIgnoringCase) {
  EXPECT_EQ(KnownHeaderOf("content-LENGTH"), KnownHeader::ContentLength);
  EXPECT_EQ(KnownHeaderOf("Hosts"), KnownHeader::Other);
  EXPECT_EQ(KnownHeaderName(KnownHeader::IfModifiedSince), "If-Modified-Since");
  EXPECT_EQ(KnownHeaderName(KnownHeader::Other), "");
}

TEST(ErrorPages, RefusalsAnnounceTheirBodyAndEveryNameIsUnique) {
  for (int status : {400, 408, 413, 431, 501, 505}) {
    SCOPED_TRACE(status);
    std::string_view response = RefusalResponse(status);
    EXPECT_TRUE(response.starts_with("HTTP/1.1 " + std::to_string(status) + " "));
    EXPECT_NE(response.find("Connection: Close\r\n"), std::string_view::npos);
  }
  EXPECT_EQ(RefusalResponse(999), RefusalResponse(400));
  EXPECT_EQ(BuiltInPageBody(BuiltInPage::NotFound, "/a<b>.htm"),
            "<HTML><BODY><H1>404 - Not Found</H1><p><p>Requested file '/a&lt;b&gt;.htm' not "
            "found on this server</BODY></HTML>");
  EXPECT_EQ(BareSocketBytes(BareSocketLiteral::HttpsRequired).size(), 95u);
  EXPECT_EQ(BareSocketBytes(BareSocketLiteral::ServiceUnavailable).size(), 150u);
  EXPECT_EQ(http_status::kNotFound, 404);
  EXPECT_EQ(ReasonPhrase(http_status::kObjectMoved), "Object moved");
}

}  // namespace
