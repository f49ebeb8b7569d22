// Header composition as it reaches the wire: the status line, the order of the lines, expiry,
// cookies, the 401 answer, gzip, and values that try to start header lines of their own.

#include <gtest/gtest.h>
#include <zlib.h>

#include "platform/automation/date_time.h"
#include "tests/wendrel/server/response_test_support.h"
#include "wendrel/common/http_date.h"
#include "wendrel/server/gzip_body.h"

namespace {

using namespace response_test;

class ResponseHeadersTest : public ResponseFixture {
 protected:
  void Write(std::string_view text) {
    ASSERT_TRUE(Call(Dispatch(), u"Write", {S(BytesToText(text, CP_ACP))}).ok());
  }
};

// The gzip member's content, or "<bad gzip>".
std::string Gunzip(std::string_view member) {
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return "<bad gzip>";
  std::string out(1 << 16, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(member.data()));
  stream.avail_in = static_cast<uInt>(member.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  int status = inflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  inflateEnd(&stream);
  return status == Z_STREAM_END ? out : "<bad gzip>";
}

TEST_F(ResponseHeadersTest, CodeWithoutPhraseNamesItInHex) {
  ASSERT_TRUE(Put(Dispatch(), u"Code", I(299)).ok());
  EXPECT_EQ(connection_.sent.size(), 0u);
  Finished();
  EXPECT_TRUE(connection_.sent.starts_with("HTTP/1.1 299 Can't find error 0x12B\r\nServer: "))
      << connection_.sent;
}

TEST_F(ResponseHeadersTest, LongStatusLineIsCutWithItsLineEndKept) {
  response_->ResetForRequest("HTTP/" + std::string(200, '1'));
  WireResponse wire = Finished();
  EXPECT_EQ(wire.status_line.size() + 2, Response::kMaxStatusLineLength);
  ASSERT_FALSE(wire.lines.empty());
  EXPECT_EQ(wire.lines[0], "Server: QuavWendrel/COM");
}

TEST_F(ResponseHeadersTest, LinesComeInTheirFixedOrder) {
  ASSERT_TRUE(Put(Dispatch(), u"ContentType", S(u"text/plain")).ok());
  ASSERT_TRUE(Put(Dispatch(), u"Expires", I(10)).ok());
  ASSERT_TRUE(Call(Dispatch(), u"AddHeader", {S(u"X-One"), S(u"1")}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"AddCookie", {S(u"id"), S(u"7")}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"AddHeader", {S(u"X-Two"), S(u"2")}).ok());
  Write("body");
  WireResponse wire = Finished();
  EXPECT_EQ(wire.status_line, "HTTP/1.1 200 OK");
  const std::vector<std::string> expected = {"Server",     "Content-Type",   "Date",
                                             "Expires",    "Connection",     "Set-Cookie",
                                             "Content-Length", "X-One",      "X-Two",
                                             "Cache-Control"};
  EXPECT_EQ(wire.Names(), expected);
  EXPECT_EQ(wire.Header("Content-Type"), "text/plain");
  EXPECT_EQ(wire.Header("Content-Length"), "4");
  EXPECT_EQ(wire.Header("Cache-Control"), "private");
  EXPECT_EQ(wire.body, "body");
}

TEST_F(ResponseHeadersTest, DateLineHasTheHeaderDateForm) {
  std::time_t before = std::time(nullptr);
  std::string date = Finished().Header("Date");
  std::time_t after = std::time(nullptr);
  EXPECT_TRUE(date == FormatHttpDate(before) || date == FormatHttpDate(after)) << date;
}

TEST_F(ResponseHeadersTest, EmptyBodyEndsWithOneBlankLineAndNoCacheControl) {
  Finished();
  const std::string& wire = connection_.sent;
  EXPECT_TRUE(wire.ends_with("\r\nContent-Length: 0\r\n\r\n")) << wire;
  EXPECT_EQ(wire.find("Cache-Control"), std::string::npos);
  EXPECT_EQ(wire.find("\r\n\r\n"), wire.size() - 4);
}

TEST_F(ResponseHeadersTest, EmptyCacheControlLeavesTheLineOut) {
  ASSERT_TRUE(Put(Dispatch(), u"CacheControl", S(u"")).ok());
  Write("x");
  WireResponse wire = Finished();
  EXPECT_EQ(wire.Header("Cache-Control"), "<absent>");
  EXPECT_EQ(wire.body, "x");
}

TEST_F(ResponseHeadersTest, ExpiresZeroEqualsTheDate) {
  ASSERT_TRUE(Put(Dispatch(), u"Expires", I(0)).ok());
  WireResponse wire = Finished();
  EXPECT_NE(wire.Header("Expires"), "<absent>");
  EXPECT_EQ(wire.Header("Expires"), wire.Header("Date"));
}

TEST_F(ResponseHeadersTest, NoExpiryWithoutEitherSetting) {
  EXPECT_EQ(Finished().Header("Expires"), "<absent>");
}

TEST_F(ResponseHeadersTest, ExpiresTakesTheEarlierOfMinutesAndAbsolute) {
  DATE absolute = DateFromParts(2001, 2, 3, 4, 5, 6).value();
  std::tm local{};
  local.tm_year = 101;
  local.tm_mon = 1;
  local.tm_mday = 3;
  local.tm_hour = 4;
  local.tm_min = 5;
  local.tm_sec = 6;
  local.tm_isdst = -1;
  const std::string expected = FormatHttpDate(std::mktime(&local));
  ASSERT_TRUE(Put(Dispatch(), u"ExpiresAbsolute", Variant::FromDate(absolute)).ok());
  EXPECT_EQ(Finished().Header("Expires"), expected);
  connection_.sent.clear();
  response_->ResetForRequest("HTTP/1.1");
  ASSERT_TRUE(Put(Dispatch(), u"ExpiresAbsolute", Variant::FromDate(absolute)).ok());
  ASSERT_TRUE(Put(Dispatch(), u"Expires", I(60)).ok());
  EXPECT_EQ(Finished().Header("Expires"), expected);
  // A moment later than now + minutes loses to the minutes.
  connection_.sent.clear();
  response_->ResetForRequest("HTTP/1.1");
  DATE far = DateFromParts(9000, 1, 1).value();
  ASSERT_TRUE(Put(Dispatch(), u"ExpiresAbsolute", Variant::FromDate(far)).ok());
  ASSERT_TRUE(Put(Dispatch(), u"Expires", I(0)).ok());
  WireResponse wire = Finished();
  EXPECT_EQ(wire.Header("Expires"), wire.Header("Date"));
}

TEST_F(ResponseHeadersTest, ThirtyThirdAddedHeaderIsIgnored) {
  for (int i = 1; i <= 33; ++i) {
    std::u16string name = u"X-H" + BytesToText(std::to_string(i), CP_ACP);
    ASSERT_TRUE(Call(Dispatch(), u"AddHeader", {S(name), S(u"v")}).ok());
  }
  WireResponse wire = Finished();
  EXPECT_EQ(wire.Header("X-H32"), "v");
  EXPECT_EQ(wire.Header("X-H33"), "<absent>");
}

TEST_F(ResponseHeadersTest, AddedHeaderWithoutNameIsLeftOut) {
  ASSERT_TRUE(Call(Dispatch(), u"AddHeader", {S(u""), S(u"orphan")}).ok());
  WireResponse wire = Finished();
  EXPECT_EQ(connection_.sent.find("orphan"), std::string::npos);
  EXPECT_EQ(wire.lines.size(), 5u);  // Server, Content-Type, Date, Connection, Content-Length
}

TEST_F(ResponseHeadersTest, CookiesBecomeSetCookieLines) {
  ASSERT_TRUE(Call(Dispatch(), u"AddCookie", {S(u"id"), S(u"a b")}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"AddCookie", {S(u"lang"), S(u"de"), Variant::Missing(),
                                              S(u"/docs"), S(u"example.org")}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"AddCookie", {S(u"ID"), S(u"second")}).ok());  // same cookie
  Result<Variant> made = Call(Dispatch(), u"Cookies", {S(u"made")});
  ASSERT_TRUE(Put(Object(made), u"Item", S(u"here")).ok());
  EXPECT_EQ(Call(Object(Call(Dispatch(), u"Cookies")), u"Count").value().lVal, 3);
  WireResponse wire = Finished();
  std::vector<std::string> cookies;
  for (const std::string& line : wire.lines) {
    if (line.starts_with("Set-Cookie: ")) cookies.push_back(line.substr(12));
  }
  const std::vector<std::string> expected = {"id=second; path=/",
                                             "lang=de; path=/docs; domain=example.org",
                                             "made=here; path=/"};
  EXPECT_EQ(cookies, expected);
}

// The session cookie is the server's: HttpOnly, Secure over HTTPS, and kept through Clear.
TEST_F(ResponseHeadersTest, TheSessionCookieComesFirstAndOutlivesClear) {
  response_->SetSessionCookie("S_0A", true);
  ASSERT_TRUE(Call(Dispatch(), u"AddCookie", {S(u"gone"), S(u"1")}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"Clear").ok());
  ASSERT_TRUE(Call(Dispatch(), u"AddCookie", {S(u"kept"), S(u"2")}).ok());
  ASSERT_TRUE(Put(Object(Call(Dispatch(), u"Cookies", {S(u"kept")})), u"Secure", Variant::FromBool(true)).ok());
  WireResponse wire = Finished();
  std::vector<std::string> cookies;
  for (const std::string& line : wire.lines) {
    if (line.starts_with("Set-Cookie: ")) cookies.push_back(line.substr(12));
  }
  const std::vector<std::string> expected = {"ASPSESSIONID=S_0A; path=/; HttpOnly; Secure",
                                             "kept=2; path=/; secure"};
  EXPECT_EQ(cookies, expected);
}

TEST_F(ResponseHeadersTest, CookieExpiryInMinutesGivesAnExpiresAttribute) {
  ASSERT_TRUE(Call(Dispatch(), u"AddCookie", {S(u"t"), S(u"1"), I(60)}).ok());
  std::time_t expected = std::time(nullptr) + 3600;
  std::string line = Finished().Header("Set-Cookie");
  EXPECT_TRUE(line == "t=1; expires=" + FormatHttpDate(expected) + "; path=/" ||
              line == "t=1; expires=" + FormatHttpDate(expected + 1) + "; path=/")
      << line;
}

TEST_F(ResponseHeadersTest, UnauthorizedAnswerCarriesTheChallengeAndItsPage) {
  StartRequest("GET /secret HTTP/1.1\r\nIf-None-Match: \"abc\"\r\n");
  ASSERT_TRUE(Put(Dispatch(), u"Code", I(401)).ok());
  Write("the page's own body");
  WireResponse wire = Finished();
  EXPECT_EQ(wire.status_line, "HTTP/1.1 401 Authorization Required");
  EXPECT_EQ(wire.Header("WWW-Authenticate"), "Basic realm=\"TESTBOX\"");
  EXPECT_EQ(wire.Names()[0], "WWW-Authenticate");
  EXPECT_EQ(wire.Header("Expires"), wire.Header("Date"));
  EXPECT_EQ(wire.Header("ETag"), "\"abc\"");
  EXPECT_EQ(wire.body,
            "<HTML><BODY><H1>401 - Unauthorized access</H1><p>You are not authorized to browse "
            "this page</p></BODY></HTML>");
  EXPECT_EQ(wire.Header("Content-Length"), std::to_string(wire.body.size()));
}

TEST_F(ResponseHeadersTest, OwnChallengeReplacesTheBasicOne) {
  ASSERT_TRUE(Put(Dispatch(), u"Code", I(401)).ok());
  ASSERT_TRUE(Put(Dispatch(), u"AuthorizationRealm", S(u"Reports")).ok());
  ASSERT_TRUE(Call(Dispatch(), u"AddHeader", {S(u"www-authenticate"), S(u"Negotiate")}).ok());
  WireResponse wire = Finished();
  EXPECT_EQ(wire.Header("WWW-Authenticate"), "<absent>");
  EXPECT_EQ(wire.Header("www-authenticate"), "Negotiate");
  EXPECT_EQ(wire.Header("ETag"), "<absent>");  // the request had no entity tag
}

TEST_F(ResponseHeadersTest, BodyAbove64BytesIsCompressedForGzipClients) {
  StartRequest("GET / HTTP/1.1\r\nAccept-Encoding: deflate, GZIP\r\n");
  const std::string body64(64, 'a');
  Write(body64);
  WireResponse plain = Finished();
  EXPECT_EQ(plain.Header("Content-Encoding"), "<absent>");
  EXPECT_EQ(plain.body, body64);

  connection_.sent.clear();
  StartRequest("GET / HTTP/1.1\r\nAccept-Encoding: deflate, GZIP\r\n");
  const std::string body65 = body64 + "b";
  Write(body65);
  WireResponse packed = Finished();
  EXPECT_EQ(packed.Header("Content-Encoding"), "gzip");
  EXPECT_EQ(packed.Header("Content-Length"), std::to_string(packed.body.size()));
  ASSERT_GT(packed.body.size(), 18u);
  EXPECT_EQ(packed.body.substr(0, 10), std::string("\x1F\x8B\x08\x00\x69\xD5\x4B\x43\x00\xFF", 10));
  EXPECT_EQ(Gunzip(packed.body), body65);
  // The trailer: CRC-32 and length, little-endian.
  uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(body65.data()), body65.size());
  std::string trailer = packed.body.substr(packed.body.size() - 8);
  EXPECT_EQ(static_cast<unsigned char>(trailer[0]), crc & 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(trailer[3]), crc >> 24);
  EXPECT_EQ(trailer.substr(4), std::string("\x41\0\0\0", 4));
}

TEST_F(ResponseHeadersTest, ImageGifIsNeverCompressed) {
  StartRequest("GET / HTTP/1.1\r\nAccept-Encoding: gzip\r\n");
  ASSERT_TRUE(Put(Dispatch(), u"ContentType", S(u"image/gif")).ok());
  Write(std::string(500, 'g'));
  WireResponse wire = Finished();
  EXPECT_EQ(wire.Header("Content-Encoding"), "<absent>");
  EXPECT_EQ(wire.body, std::string(500, 'g'));
}

TEST_F(ResponseHeadersTest, CompressionNeedsCode200TextAndAnAcceptingClient) {
  struct Case {
    const char* request;
    int code;
    const char16_t* type;
    bool compressed;
  } cases[] = {
      {"GET / HTTP/1.1\r\nAccept-Encoding: gzip\r\n", 200, u"TEXT/XML", true},
      {"GET / HTTP/1.1\r\nAccept-Encoding: gzip\r\n", 200, u"", true},
      {"GET / HTTP/1.1\r\nAccept-Encoding: gzip\r\n", 404, u"text/html", false},
      {"GET / HTTP/1.1\r\nAccept-Encoding: gzip\r\n", 200, u"text/plain", false},
      {"GET / HTTP/1.1\r\nAccept-Encoding: deflate\r\n", 200, u"text/html", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    connection_.sent.clear();
    StartRequest(c.request);
    ASSERT_TRUE(Put(Dispatch(), u"Code", I(c.code)).ok());
    ASSERT_TRUE(Put(Dispatch(), u"ContentType", S(c.type)).ok());
    Write(std::string(200, 'z'));
    EXPECT_EQ(Finished().Header("Content-Encoding") == "gzip", c.compressed);
  }
  connection_.sent.clear();
  StartRequest("GET / HTTP/1.1\r\nAccept-Encoding: gzip\r\n");
  response_->SetGzipAllowed(false);
  Write(std::string(200, 'z'));
  EXPECT_EQ(Finished().Header("Content-Encoding"), "<absent>");
}

// Values carrying CR, LF or NUL stay inside their own line.
TEST_F(ResponseHeadersTest, HeaderValuesCannotStartLinesOfTheirOwn) {
  StartRequest("GET / HTTP/1.1\r\nIf-None-Match: x\r\n");
  ASSERT_TRUE(Put(Dispatch(), u"Code", I(401)).ok());
  ASSERT_TRUE(Call(Dispatch(), u"AddHeader", {S(u"X-A"), S(u"v\r\nInjected-A: 1")}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"AddHeader", {S(u"X-B\r\nInjected-B"), S(u"1")}).ok());
  ASSERT_TRUE(Put(Dispatch(), u"ContentType", S(u"text/html\r\nInjected-C: 1")).ok());
  ASSERT_TRUE(Put(Dispatch(), u"CacheControl", S(u"private\nInjected-D: 1")).ok());
  ASSERT_TRUE(Put(Dispatch(), u"AuthorizationRealm", S(u"r\"\r\nInjected-E: 1")).ok());
  ASSERT_TRUE(Put(Dispatch(), u"Charset", S(u"utf-8\r\nInjected-F: 1")).ok());
  ASSERT_TRUE(Call(Dispatch(), u"AddCookie",
                   {S(u"c\r\nInjected-G"), S(u"v"), Variant::Missing(), S(u"/\r\nInjected-H: 1"),
                    S(std::u16string(u"d\0x", 3))})
                  .ok());
  WireResponse wire = Finished();
  ASSERT_TRUE(wire.complete);
  for (const std::string& line : wire.lines) {
    EXPECT_FALSE(line.starts_with("Injected")) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    EXPECT_EQ(line.find('\r'), std::string::npos) << line;
    EXPECT_EQ(line.find('\0'), std::string::npos) << line;
  }
  EXPECT_EQ(wire.Header("X-A"), "v  Injected-A: 1");
  EXPECT_EQ(wire.Header("Content-Type"), "text/html  Injected-C: 1");
  EXPECT_EQ(wire.lines.size(), 12u);
}

TEST_F(ResponseHeadersTest, RedirectLocationCannotStartALineOfItsOwn) {
  ASSERT_TRUE(Call(Dispatch(), u"Redirect", {S(u"/next\r\nSet-Cookie: stolen=1")}).ok());
  WireResponse wire = ReadWire(connection_.sent);
  EXPECT_EQ(wire.Header("Location"), "/next  Set-Cookie: stolen=1");
  EXPECT_EQ(wire.Header("Set-Cookie"), "<absent>");
}

}  // namespace
