// File sending (WriteFile, WriteFileEx, WriteImageFile and the static-file path), conditional
// GET, the 404 page and Redirect.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/scripting/active_script.h"
#include "tests/wendrel/server/response_test_support.h"
#include "wendrel/common/http_date.h"

namespace {

using namespace response_test;

// 2001-09-09 01:46:40 UTC, a Sunday.
constexpr std::time_t kFileSeconds = 1'000'000'000;

class ResponseFileTest : public ResponseFixture {
 protected:
  // A file with the given content whose last write is kFileSeconds + `nanoseconds`.
  std::string MakeFile(std::string_view name, std::string_view content, long nanoseconds = 0) {
    std::string path = folder_.Write(name, content);
    timespec times[2] = {{kFileSeconds, nanoseconds}, {kFileSeconds, nanoseconds}};
    EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    return path;
  }
  Result<Variant> WriteFile(std::string_view path) {
    return Call(Dispatch(), u"WriteFile", {S(BytesToText(path, CP_ACP))});
  }

  TemporaryFolder folder_;
};

TEST_F(ResponseFileTest, WriteFileSendsTheFileWithItsLength) {
  std::string path = MakeFile("a.bin", std::string("file\0bytes", 10));
  ASSERT_TRUE(WriteFile(path).ok());
  WireResponse wire = Finished();
  EXPECT_EQ(wire.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(wire.Header("Content-Length"), "10");
  EXPECT_EQ(wire.Header("Content-Type"), "text/html");  // no type given: left as it is
  EXPECT_EQ(wire.Header("Last-Modified"), "<absent>");  // no If-Modified-Since given
  EXPECT_EQ(wire.body, std::string("file\0bytes", 10));
  EXPECT_EQ(connection_.send_file_calls, 0);  // a small file leaves with the headers
  EXPECT_TRUE(response_->KeepConnection());
}

TEST_F(ResponseFileTest, LargeFileGoesThroughFileTransmission) {
  std::string content(Response::kInlineFileBytes + 1, 'L');
  std::string path = MakeFile("large.bin", content);
  ASSERT_TRUE(WriteFile(path).ok());
  WireResponse wire = Finished();
  EXPECT_EQ(wire.Header("Content-Length"), std::to_string(content.size()));
  EXPECT_EQ(wire.body, content);
  EXPECT_EQ(connection_.send_file_calls, 1);
}

TEST_F(ResponseFileTest, WriteFileExSendsFromTheOffsetAtMostTheLength) {
  std::string path = MakeFile("digits.txt", "0123456789");
  const std::u16string file = BytesToText(path, CP_ACP);
  struct Case {
    int offset;
    int length;
    const char* expected;
  } cases[] = {{3, 4, "3456"}, {8, 10, "89"}, {0, 0, "0123456789"}, {-5, 2, "01"}, {20, 0, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset);
    connection_.sent.clear();
    StartRequest("GET / HTTP/1.1\r\n");
    ASSERT_TRUE(Call(Dispatch(), u"WriteFileEx", {S(file), I(c.offset), I(c.length)}).ok());
    WireResponse wire = Finished();
    EXPECT_EQ(wire.body, c.expected);
    EXPECT_EQ(wire.Header("Content-Length"), std::to_string(std::strlen(c.expected)));
  }
}

TEST_F(ResponseFileTest, PendingBodyGoesOutBeforeTheFile) {
  std::string path = MakeFile("part.txt", "FILE");
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"<pre>")}).ok());
  ASSERT_TRUE(WriteFile(path).ok());
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"</pre>")}).ok());
  WireResponse wire = Finished();
  EXPECT_EQ(wire.body, "<pre>FILE</pre>");
  EXPECT_EQ(wire.Header("Content-Length"), "9");
  // The closing text was not announced: the connection must not carry another request.
  EXPECT_FALSE(response_->KeepConnection());
}

TEST_F(ResponseFileTest, FileIsNeverCompressed) {
  StartRequest("GET / HTTP/1.1\r\nAccept-Encoding: gzip\r\n");
  std::string path = MakeFile("big.htm", std::string(1000, 'h'));
  ASSERT_TRUE(WriteFile(path).ok());
  WireResponse wire = Finished();
  EXPECT_EQ(wire.Header("Content-Encoding"), "<absent>");
  EXPECT_EQ(wire.body, std::string(1000, 'h'));
}

TEST_F(ResponseFileTest, WriteImageFileTakesTheTypeOfTheExtension) {
  std::string gif = MakeFile("logo.gif", "GIF89a");
  ASSERT_TRUE(Call(Dispatch(), u"WriteImageFile", {S(BytesToText(gif, CP_ACP))}).ok());
  EXPECT_EQ(Finished().Header("Content-Type"), "image/gif");
  for (std::string_view name : {"logo.xyz", "noextension"}) {
    SCOPED_TRACE(name);
    connection_.sent.clear();
    StartRequest("GET / HTTP/1.1\r\n");
    std::string path = MakeFile(name, "img");
    ASSERT_TRUE(Call(Dispatch(), u"WriteImageFile", {S(BytesToText(path, CP_ACP))}).ok());
    WireResponse wire = Finished();
    EXPECT_EQ(wire.Header("Content-Type"), "<absent>");
    EXPECT_EQ(wire.body, "img");
  }
}

TEST_F(ResponseFileTest, MissingFileBecomesThe404PageAndAnEventLogLine) {
  std::string path = folder_.path() + "/missing.htm";
  ASSERT_TRUE(WriteFile(path).ok());
  ASSERT_EQ(host_.event_log.size(), 1u);
  EXPECT_EQ(host_.event_log[0], "Error opening file " + path + "; error=0x2");
  WireResponse wire = Finished();
  EXPECT_EQ(wire.status_line, "HTTP/1.1 404 Not Found");
  EXPECT_EQ(wire.Header("Content-Type"), "text/html");
  // The page names what the client asked for; the file system path stays in the log.
  EXPECT_EQ(wire.body, "<HTML><BODY><H1>404 - Not Found</H1><p><p>Requested file '/page.asp' "
                       "not found on this server</BODY></HTML>");
  EXPECT_EQ(wire.body.find(folder_.path()), std::string::npos);
}

TEST_F(ResponseFileTest, FolderIsNotSentAsAFile) {
  Result<FileSendOutcome> outcome =
      response_->SendFile(folder_.path(), int64_t{0}, 0, 0, std::nullopt);
  ASSERT_TRUE(outcome.ok());
  EXPECT_EQ(outcome.value(), FileSendOutcome::NotFound);
  EXPECT_EQ(response_->StatusCode(), 404);
  EXPECT_EQ(connection_.send_file_calls, 0);
}

TEST_F(ResponseFileTest, NotFoundPageEscapesThePath) {
  StartRequest("GET /x/<script>alert(\"&\")</script>.htm HTTP/1.1\r\n");
  response_->NotFound("/srv/site/x/whatever.htm");
  WireResponse wire = Finished();
  EXPECT_EQ(wire.body.find("<script>"), std::string::npos);
  EXPECT_NE(wire.body.find("'/x/&lt;script&gt;alert(&quot;&amp;&quot;)&lt;/script&gt;.htm'"),
            std::string::npos);
}

TEST_F(ResponseFileTest, IfModifiedSinceWithinTheSecondAnswers304) {
  std::string path = MakeFile("page.htm", "content", 500'000'000);
  const int64_t header_time = FileTimeFromTime(kFileSeconds);  // the header has whole seconds
  Result<FileSendOutcome> outcome =
      response_->SendFile(path, header_time, 0, 0, std::string_view("text/html"));
  ASSERT_TRUE(outcome.ok());
  EXPECT_EQ(outcome.value(), FileSendOutcome::NotModified);
  EXPECT_EQ(connection_.sent, "");
  WireResponse wire = Finished();
  EXPECT_EQ(wire.status_line, "HTTP/1.1 304 Not Modified");
  EXPECT_EQ(wire.Header("Content-Type"), "<absent>");
  EXPECT_EQ(wire.Header("Last-Modified"), "<absent>");
  EXPECT_EQ(wire.Header("Content-Length"), "0");
  EXPECT_EQ(wire.body, "");
}

TEST_F(ResponseFileTest, IfModifiedSinceOneSecondOffSendsTheFile) {
  std::string path = MakeFile("page.htm", "content");
  for (int64_t header_time :
       {FileTimeFromTime(kFileSeconds + 1), FileTimeFromTime(kFileSeconds - 1), int64_t{0}}) {
    SCOPED_TRACE(header_time);
    connection_.sent.clear();
    StartRequest("GET /page.htm HTTP/1.1\r\n");
    Result<FileSendOutcome> outcome =
        response_->SendFile(path, header_time, 0, 0, std::string_view("text/html"));
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome.value(), FileSendOutcome::Sent);
    WireResponse wire = Finished();
    EXPECT_EQ(wire.status_line, "HTTP/1.1 200 OK");
    EXPECT_EQ(wire.Header("Last-Modified"), "Sun, 09 Sep 2001 01:46:40 GMT");
    EXPECT_EQ(wire.body, "content");
  }
}

// File times whose upper 32 bits differ are still compared as one number.
TEST_F(ResponseFileTest, IfModifiedSinceMatchesAcrossTheUpperWordOfTheFileTime) {
  std::string path = MakeFile("page.htm", "content", 0);
  const int64_t file_time = FileTimeFromTime(kFileSeconds);
  const int64_t boundary = (file_time >> 32) << 32;  // the last upper-word boundary before it
  timespec times[2];
  // Move the file's last write to just after the boundary; ask with a time just before it.
  int64_t after = boundary + 5;
  int64_t unix_units = after - FileTimeFromTime(0);
  times[0] = times[1] = {static_cast<time_t>(unix_units / 10'000'000),
                         static_cast<long>((unix_units % 10'000'000) * 100)};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  Result<FileSendOutcome> outcome = response_->SendFile(path, boundary - 5, 0, 0, std::nullopt);
  ASSERT_TRUE(outcome.ok());
  EXPECT_EQ(outcome.value(), FileSendOutcome::NotModified);
}

TEST_F(ResponseFileTest, EmptyFileAnnouncesNoLastModified) {
  std::string path = MakeFile("empty.htm", "");
  ASSERT_TRUE(response_->SendFile(path, int64_t{0}, 0, 0, std::string_view("text/html")).ok());
  WireResponse wire = Finished();
  EXPECT_EQ(wire.Header("Last-Modified"), "<absent>");
  EXPECT_EQ(wire.Header("Content-Length"), "0");
  EXPECT_EQ(wire.Header("Cache-Control"), "<absent>");
}

TEST_F(ResponseFileTest, HeadRequestForAFileSendsTheHeadersOnly) {
  StartRequest("HEAD /page.htm HTTP/1.1\r\n");
  response_->SetHeadersOnly(true);
  std::string path = MakeFile("page.htm", "twelve bytes");
  ASSERT_TRUE(response_->SendFile(path, int64_t{0}, 0, 0, std::string_view("text/html")).ok());
  WireResponse wire = Finished();
  EXPECT_EQ(wire.Header("Content-Length"), "12");
  EXPECT_EQ(wire.Header("Last-Modified"), "Sun, 09 Sep 2001 01:46:40 GMT");
  EXPECT_EQ(wire.body, "");
  EXPECT_EQ(connection_.send_file_calls, 0);
}

TEST_F(ResponseFileTest, FailedFileSendGivesEFail) {
  std::string path = MakeFile("page.htm", std::string(5000, 'p'));
  connection_.fail_after_bytes = 1000;
  Result<Variant> written = WriteFile(path);
  ASSERT_FALSE(written.ok());
  EXPECT_EQ(written.error().Hresult(), E_FAIL);
  EXPECT_FALSE(response_->KeepConnection());
  EXPECT_FALSE(response_->Finish().ok());
}

TEST_F(ResponseFileTest, RedirectSendsTheMovedPageAndNothingMore) {
  ASSERT_TRUE(Put(Dispatch(), u"Expires", I(5)).ok());
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"dropped")}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"Redirect", {S(u"/next.asp?a=1&b=\"<x>\"")}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"after")}).ok());
  WireResponse wire = Finished();
  EXPECT_EQ(wire.status_line, "HTTP/1.1 302 Object moved");
  EXPECT_EQ(wire.Header("Location"), "/next.asp?a=1&b=\"<x>\"");
  EXPECT_EQ(wire.Header("Connection"), "Close");
  EXPECT_EQ(wire.Header("Expires"), "<absent>");
  const std::vector<std::string> expected = {"Server", "Content-Type", "Date", "Location",
                                             "Connection", "Content-Length", "Cache-Control"};
  EXPECT_EQ(wire.Names(), expected);
  EXPECT_EQ(wire.body,
            "<HTML><TITLE>Object Moved</TITLE><BODY><H1>Object moved</H1>This object can be "
            "found <A HREF=\"/next.asp?a=1&amp;b=&quot;&lt;x&gt;&quot;\">here</A>.</BODY></HTML>");
  EXPECT_FALSE(response_->KeepConnection());
}

TEST_F(ResponseFileTest, RedirectStopsARunningScript) {
  response_->SetScriptRunning(true);
  Result<Variant> redirected = Call(Dispatch(), u"Redirect", {S(u"/elsewhere")});
  ASSERT_FALSE(redirected.ok());
  EXPECT_EQ(redirected.error().Hresult(), SCRIPT_E_STOP_WITHOUT_ERROR);
  EXPECT_EQ(ReadWire(connection_.sent).Header("Location"), "/elsewhere");
}

}  // namespace
