// ASP pages end to end: a real server on loopback runs pages written into a temporary site, and
// a real HTTP client reads what they wrote.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "tests/wendrel/asp/asp_page_fixture.h"

namespace {

using namespace asp_test;

// --- The page language -------------------------------------------------------------------------

TEST_F(AspPagesTest, LiteralsCodeAndExpressionsRunInOrder) {
  Page("a.asp",
       "<html>\r\n<% Dim i\r\nFor i = 1 To 3 %><b><%= i * 2 %></b><% Next %>\r\n"
       "<%@ LANGUAGE = \"VBScript\" %><p>end</p></html>");
  Start();
  std::optional<HttpResponse> page = Get("/a.asp");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->body, "<html>\r\n<b>2</b><b>4</b><b>6</b><p>end</p></html>");
}

TEST_F(AspPagesTest, ServerScriptBlocksDefineWhatThePageCalls) {
  Page("s.asp",
       "<script language=\"VBScript\" runat=\"Server\">\r\nFunction Twice(x)\r\n  Twice = x * 2\r\n"
       "End Function\r\n</script><%= Twice(21) %>|<script>client()</script>");
  Start();
  EXPECT_EQ(Body("/s.asp"), "42|<script>client()</script>");
}

// A block in a language no engine is registered for gives the clear "no engine" page (2000).
TEST_F(AspPagesTest, AScriptBlockWithoutItsEngineGivesTheNoEnginePage) {
  Page("j.asp", "<script runat=server language=PerlScript>sub f { 1 }</script><%= 1 %>");
  Page("n.asp", "<%@ Language=NoSuchLanguage %>x");
  Start();
  for (std::string_view path : {"/j.asp", "/n.asp"}) {
    std::string body = Body(path);
    EXPECT_NE(body.find("script engine does not exist for the requested language"),
              std::string::npos) << path;
    EXPECT_NE(body.find("Error code 2000"), std::string::npos) << path;
  }
}

TEST_F(AspPagesTest, RequestCollectionsAndResponseMembersWorkFromPages) {
  Page("form.asp",
       "<% For Each k In Request.QueryString %><%= k & \"=\" & Request.QueryString(k) & \";\" %>"
       "<% Next %>|<%= Request.QueryString.Count %>|<%= Request.Form %>|<%= Request.Form(\"b\") %>"
       "|<%= Request(\"a\") %>");
  Page("redirect.asp", "<% Response.Redirect \"/elsewhere.htm\" %>never");
  Page("end.asp", "before<% Response.End %>after");
  Start();
  std::string body = "b=x+y&c=3";
  std::optional<HttpResponse> posted = Fetch(
      port_, "POST /form.asp?a=1&z=2 HTTP/1.1\r\nHost: t\r\nContent-Type: "
             "application/x-www-form-urlencoded\r\nContent-Length: " +
                 std::to_string(body.size()) + "\r\n\r\n" + body);
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->body, "a=1;z=2;|2|b=x+y&c=3|x y|1");
  std::optional<HttpResponse> moved = Get("/redirect.asp");
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->status, 302);
  EXPECT_EQ(moved->Header("Location"), "/elsewhere.htm");
  EXPECT_EQ(moved->body.find("never"), std::string::npos);
  EXPECT_EQ(Body("/end.asp"), "before");
}

// --- Includes ----------------------------------------------------------------------------------

TEST_F(AspPagesTest, IncludesResolveBesideTheirFileAndIgnoringCase) {
  Page("inc/Header.inc", "[header<!--#include file=\"parts/inner.inc\"-->]");
  Page("inc/parts/inner.inc", "inner");
  Page("vdir/page.asp",
       "<!-- #include virtual=\"/inc/header.inc\" -->|<!--#include file=\"../INC/parts/Inner.inc\"-->");
  Start();
  EXPECT_EQ(Body("/vdir/page.asp"), "[headerinner]|inner");
}

TEST_F(AspPagesTest, IncludesCannotLeaveTheSiteOrLoop) {
  fs::path outside = site_.parent_path() / "secret.txt";
  std::ofstream(outside) << "top secret";
  fs::create_symlink(outside, site_ / "inc" / "link.inc");
  Page("up.asp", "<!--#include file=\"../secret.txt\"-->");
  Page("abs.asp", "<!--#include file=\"/../secret.txt\"-->");
  Page("link.asp", "<!--#include file=\"inc/link.inc\"-->");
  Page("self.asp", "a<!--#include file=\"self.asp\"-->");
  Page("loop1.asp", "<!--#include file=\"loop2.inc\"-->");
  Page("loop2.inc", "<!--#include file=\"loop1.asp\"-->");
  Start();
  for (std::string_view path : {"/up.asp", "/abs.asp", "/link.asp", "/self.asp", "/loop1.asp"}) {
    SCOPED_TRACE(path);
    std::optional<HttpResponse> answer = Get(path);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->body.find("top secret"), std::string::npos);
    EXPECT_NE(answer->body.find("Error code 2005"), std::string::npos);
  }
  EXPECT_NE(Body("/loop1.asp").find("loop1.asp"), std::string::npos);  // the page names the cycle
}

// --- Errors ------------------------------------------------------------------------------------

// The fragment names the file and line where the failing code was written, not the line of
// the generated script.
TEST_F(AspPagesTest, ScriptErrorsNameTheOriginalFileAndLine) {
  Page("inc/bad.inc", "<%\r\n' a comment\r\nx = 1 / 0\r\n%>");
  Page("runtime.asp", "line 1\r\nline 2\r\n<!--#include file=\"inc/bad.inc\"-->after");
  Page("compile.asp", "<html>\r\n<% If True Then\r\n  x = (1 +\r\n End If %>");
  Start();
  std::string runtime = Body("/runtime.asp");
  EXPECT_NE(runtime.find("line 1"), std::string::npos);
  EXPECT_NE(runtime.find("Division by zero"), std::string::npos);
  EXPECT_NE(runtime.find("In file <b>/inc/bad.inc</b>"), std::string::npos) << runtime;
  EXPECT_NE(runtime.find("on line 3,"), std::string::npos) << runtime;
  EXPECT_NE(runtime.find("x = 1 / 0"), std::string::npos);
  EXPECT_EQ(runtime.find("after"), std::string::npos);  // the page stops at the error
  std::string compile = Body("/compile.asp");
  EXPECT_NE(compile.find("Error while executing / parsing the ASP page"), std::string::npos);
  EXPECT_NE(compile.find("In file <b>/compile.asp</b>"), std::string::npos) << compile;
  EXPECT_NE(compile.find("on line 3,"), std::string::npos) << compile;
}

TEST_F(AspPagesTest, MissingPagesAreNotFound) {
  Start();
  std::optional<HttpResponse> missing = Get("/nothing.asp");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  EXPECT_NE(missing->body.find("'/nothing.asp'"), std::string::npos);
}

// --- The Server object -------------------------------------------------------------------------

TEST_F(AspPagesTest, ServerEncodesMapsAndCreates) {
  Page("dir/server.asp",
       "<%= Server.HTMLEncode(\"a<b & \"\"c\"\"\") %>|<%= Server.HTMLEncode(ChrW(8364) & ChrW(129) & "
       "ChrW(160) & ChrW(233) & ChrW(26085)) %>|<%= Server.URLEncode(\"a b/c\") %>|"
       "<%= Server.MapPath(\"/\") %>|<%= Server.MapPath(\"x.asp\") %>|"
       "<%= Server.MapPath(\"/dir/../other/\") %>|"
       "<% Set d = Server.CreateObject(\"Scripting.Dictionary\") : d.Add \"k\", \"v\" %>"
       "<%= d(\"k\") %>|<% On Error Resume Next\r\nSet n = Server.CreateObject(\"No.Such.Class\")\r\n"
       "%><%= Err.Number %>:<%= Err.Description %>");
  Start();
  std::string root = site_.string();
  EXPECT_EQ(Body("/dir/server.asp"),
            "a&lt;b &amp; &quot;c&quot;|&#8364;&#129;&#160;&#233;&#26085;|a%20b%2Fc|" + root + "|" +
                root + "/dir/x.asp|" + root + "/other|v|429:Component can't create object "
                "because the class No.Such.Class has no registered object on this computer");
}

TEST_F(AspPagesTest, ExecuteGoesOnTransferEnds) {
  Page("child.asp", "[child <%= Request.QueryString(\"q\") %>]");
  Page("execute.asp", "a<% Server.Execute \"child.asp\" %>b");
  Page("transfer.asp", "a<% Server.Transfer \"/child.asp\" %>b");
  Start();
  EXPECT_EQ(Body("/execute.asp?q=1"), "a[child 1]b");
  EXPECT_EQ(Body("/transfer.asp?q=2"), "a[child 2]");
}

TEST_F(AspPagesTest, PagesThatExecuteThemselvesStop) {
  Page("again.asp", "x<% Server.Execute \"again.asp\" %>");
  Start();
  std::string body = Body("/again.asp");
  EXPECT_NE(body.find("Out of stack space"), std::string::npos);
}

// --- The compiled-page cache -------------------------------------------------------------------

TEST_F(AspPagesTest, APageIsCompiledOnceUntilAFileOfItChanges) {
  Page("inc/part.inc", "one");
  Page("cached.asp", "<!--#include file=\"inc/part.inc\"--><%= 1 %>");
  Start();
  uint64_t before = Compilations();
  EXPECT_EQ(Body("/cached.asp"), "one1");
  EXPECT_EQ(Body("/cached.asp"), "one1");
  EXPECT_EQ(Compilations(), before + 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  Page("inc/part.inc", "two");  // an include changes: the page compiles again
  EXPECT_EQ(Body("/cached.asp"), "two1");
  EXPECT_EQ(Compilations(), before + 2);
  Page("cached.asp", "<%= 3 %>");
  EXPECT_EQ(Body("/cached.asp"), "3");
  EXPECT_EQ(Compilations(), before + 3);
}

// --- Limits ------------------------------------------------------------------------------------

TEST_F(AspPagesTest, TheTimeLimitStopsAPageThatNeverEnds) {
  Put(u"ScriptTimeLimit", I(1));
  Page("forever.asp", "start<% On Error Resume Next\r\nDo : Loop %>never");
  Page("quick.asp", "quick");
  Start();
  auto asked = std::chrono::steady_clock::now();
  std::string body = Body("/forever.asp");
  auto took = std::chrono::steady_clock::now() - asked;
  EXPECT_GE(took, std::chrono::milliseconds(900));
  EXPECT_LT(took, std::chrono::seconds(10));
  EXPECT_NE(body.find("start"), std::string::npos);
  EXPECT_NE(body.find("time limit of 1 seconds"), std::string::npos) << body;
  EXPECT_EQ(Body("/quick.asp"), "quick");  // the worker is free again
}

TEST_F(AspPagesTest, LargeOutputAndConcurrentClients) {
  Page("big.asp",
       "<% Dim s : s = String(1024, \"x\")\r\nFor i = 1 To 10240 : Response.Write s : Next %>");
  Page("count.asp", "<% For i = 1 To 200 : Response.Write i Mod 10 : Next %>");
  Start();
  std::optional<HttpResponse> big = Get("/big.asp");
  ASSERT_TRUE(big);
  EXPECT_EQ(big->body.size(), 10u * 1024 * 1024);
  std::string expected;
  for (int i = 1; i <= 200; ++i) expected += std::to_string(i % 10);
  std::vector<std::future<std::string>> clients;
  for (int c = 0; c < 8; ++c) {
    clients.push_back(std::async(std::launch::async, [&] {
      std::string all;
      for (int r = 0; r < 5; ++r) all += Body("/count.asp") == expected ? "." : "!";
      return all;
    }));
  }
  for (auto& client : clients) EXPECT_EQ(client.get(), ".....");
}

}  // namespace
