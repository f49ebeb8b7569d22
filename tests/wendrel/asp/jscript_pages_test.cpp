// JScript pages and pages in two languages, end to end: a real server on loopback runs pages
// written into a temporary site with the VBScript and JScript engines registered, and a real
// HTTP client reads what they wrote.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "tests/wendrel/asp/asp_page_fixture.h"

namespace {

using namespace asp_test;

constexpr std::string_view kErrorHeading = "Error while executing / parsing the ASP page";

size_t CountOf(std::string_view text, std::string_view piece) {
  size_t count = 0;
  for (size_t at = text.find(piece); at != std::string_view::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

struct PageCase {
  const char* name;
  const char* text;
  const char* expected;  // the whole body
};

class JScriptPagesTest : public AspPagesTest {
 protected:
  // Writes every page, starts the server and checks each body.
  void ExpectBodies(std::initializer_list<PageCase> cases) {
    for (const PageCase& c : cases) Page(c.name, c.text);
    Start();
    for (const PageCase& c : cases) {
      SCOPED_TRACE(c.name);
      EXPECT_EQ(Body("/" + std::string(c.name)), c.expected);
    }
  }
  std::optional<HttpResponse> Post(std::string_view path, std::string_view body) {
    return Fetch(port_, "POST " + std::string(path) +
                            " HTTP/1.1\r\nHost: t\r\nContent-Type: "
                            "application/x-www-form-urlencoded\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\n\r\n" + std::string(body));
  }
  // A page requested with a session cookie; the cookie the server set, when it set one.
  std::string WithSession(std::string_view path, std::string* cookie) {
    std::optional<HttpResponse> answer =
        Get(path, cookie->empty() ? std::string() : "Cookie: " + *cookie + "\r\n");
    if (!answer) return "<no answer>";
    if (std::optional<std::string> set = answer->Header("Set-Cookie")) {
      *cookie = set->substr(0, set->find(';'));
    }
    return answer->body;
  }
};

// --- JScript pages -----------------------------------------------------------------------------

TEST_F(JScriptPagesTest, JScriptPagesRunTheirCodeExpressionsAndLiterals) {
  ExpectBodies({
      {"hello.asp", "<%@ Language=JScript %><h1><% Response.Write(\"Hello\") %></h1><%= 6 * 7 %>",
       "<h1>Hello</h1>42"},
      {"javascript.asp",
       "<%@ LANGUAGE=\"JavaScript\" %><% for (var i = 1; i <= 3; i++) { %><b><%= i * 2 %></b><% } %>",
       "<b>2</b><b>4</b><b>6</b>"},
      {"block.asp",
       "<%@ Language=JScript %><script runat=server language=JScript>function twice(x) "
       "{ return x * 2; }</script><%= twice(21) %>",
       "42"},
      {"dictionary.asp",
       "<%@ Language=JScript %><% var d = Server.CreateObject(\"Scripting.Dictionary\");\r\n"
       "d.Add(\"a\", 1); d.Add(\"b\", 2); d(\"c\") = 3;\r\n"
       "var keys = new VBArray(d.Keys()).toArray(); %><%= keys.join(\",\") %>|<%= d.Count %>|"
       "<%= d.Item(\"b\") + d(\"c\") %>|<%= new VBArray(d.Items()).toArray().length %>",
       "a,b,c|3|5|3"},
      {"end.asp", "<%@ Language=JScript %>before<% Response.End(); %>after", "before"},
  });
}

// A SCRIPT block in another language is no second page language; a second @Language is.
TEST_F(JScriptPagesTest, ASecondPageLanguageIsRefused) {
  Page("twice.asp", "<%@ Language=JScript %><%@ Language=VBScript %>x");
  Start();
  std::string body = Body("/twice.asp");
  EXPECT_NE(body.find("Invalid ASP language / script language already set"), std::string::npos);
  EXPECT_NE(body.find("Error code 2009"), std::string::npos) << body;
}

TEST_F(JScriptPagesTest, AServerWhoseLanguageIsJScriptRunsPagesWithoutADirective) {
  Put(u"ScriptLanguage", S(u"JScript"));
  Page("default.asp", "<% var list = [1, 2, 3]; %><%= list.join(\"-\") %>");
  Page("vb.asp", "<%@ Language=VBScript %><%= UCase(\"vb\") %>");
  Start();
  EXPECT_EQ(Body("/default.asp"), "1-2-3");
  EXPECT_EQ(Body("/vb.asp"), "VB");
}

TEST_F(JScriptPagesTest, FormsAndQueryStringsAreReadAndEnumerated) {
  Page("form.asp",
       "<%@ Language=JScript %><%\r\n"
       "for (var e = new Enumerator(Request.QueryString); !e.atEnd(); e.moveNext()) {\r\n"
       "  var k = e.item();\r\n"
       "  Response.Write(k + \"=\" + Request.QueryString(k) + \";\");\r\n"
       "}\r\n"
       "Response.Write(\"|\");\r\n"
       "for (var f = new Enumerator(Request.Form); !f.atEnd(); f.moveNext()) {\r\n"
       "  Response.Write(f.item() + \"=\" + Request.Form(f.item()) + \";\");\r\n"
       "}\r\n"
       "%>|<%= Request.Form(\"name\") %>|<%= Request(\"q\") %>|<%= Request.Form.Count %>");
  Start();
  std::optional<HttpResponse> posted = Post("/form.asp?q=1&z=2", "name=Ann+Lee&city=Oslo");
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->status, 200);
  EXPECT_EQ(posted->body, "q=1;z=2;|name=Ann Lee;city=Oslo;|Ann Lee|1|2");
}

TEST_F(JScriptPagesTest, SessionAndApplicationValuesAreSharedWithVBScriptPages) {
  Page("js.asp",
       "<%@ Language=JScript %><% Session(\"fromJs\") = \"set in js\";\r\n"
       "Application(\"count\") = 41; %>js sees: <%= Session(\"fromVb\") %>");
  Page("vb.asp",
       "<% Session(\"fromVb\") = \"set in vb\"\r\nApplication(\"count\") = Application(\"count\") + 1 %>"
       "vb sees: <%= Session(\"fromJs\") %>, <%= Application(\"count\") %>");
  Page("count.asp", "<%@ Language=JScript %><%= Application(\"count\") + 1 %>");
  Start();
  std::string cookie;
  EXPECT_EQ(WithSession("/js.asp", &cookie), "js sees: ");
  ASSERT_FALSE(cookie.empty());
  EXPECT_EQ(WithSession("/vb.asp", &cookie), "vb sees: set in js, 42");
  EXPECT_EQ(WithSession("/js.asp", &cookie), "js sees: set in vb");
  EXPECT_EQ(Body("/count.asp"), "42");  // the application is every visitor's
}

// --- Errors and limits -------------------------------------------------------------------------

TEST_F(JScriptPagesTest, RunTimeErrorsNameTheFileAndLineOfTheFailingCode) {
  Page("inc/bad.inc", "<%\r\n// a comment\r\nvar o = null;\r\nResponse.Write(o.name);\r\n%>");
  Page("runtime.asp", "<%@ Language=JScript %>line 1\r\n<!--#include file=\"inc/bad.inc\"-->after");
  Page("compile.asp", "<%@ Language=JScript %>\r\n<% var x = ;\r\n %>");
  Start();
  std::string runtime = Body("/runtime.asp");
  EXPECT_NE(runtime.find("line 1"), std::string::npos);
  EXPECT_NE(runtime.find("Object expected"), std::string::npos) << runtime;
  EXPECT_NE(runtime.find("In file <b>/inc/bad.inc</b>"), std::string::npos) << runtime;
  EXPECT_NE(runtime.find("on line 4,"), std::string::npos) << runtime;
  EXPECT_NE(runtime.find("Response.Write(o.name);"), std::string::npos);
  EXPECT_EQ(runtime.find("after"), std::string::npos);
  std::string compile = Body("/compile.asp");
  EXPECT_NE(compile.find(kErrorHeading), std::string::npos);
  EXPECT_NE(compile.find("In file <b>/compile.asp</b>"), std::string::npos) << compile;
  EXPECT_NE(compile.find("on line 2,"), std::string::npos) << compile;
}

TEST_F(JScriptPagesTest, HostErrorsAreCaughtWithTheirNumbers) {
  Page("catch.asp",
       "<%@ Language=JScript %><% try {\r\n  Server.CreateObject(\"No.Such.Class\");\r\n"
       "} catch (e) {\r\n  Response.Write(e.number + \" \" + (e.number & 0xFFFF) + \" \" + "
       "e.description);\r\n} %>|after");
  Start();
  EXPECT_EQ(Body("/catch.asp"),
            "-2146827859 429 Component can't create object because the class No.Such.Class has "
            "no registered object on this computer|after");
}

TEST_F(JScriptPagesTest, RecursionAndHugeAllocationsEndThePageAndTheServerGoesOn) {
  Page("recurse.asp", "<%@ Language=JScript %><%\r\nfunction down(n) { return down(n + 1) + 1; }\r\n"
                      "down(0); %>never");
  Page("allocate.asp", "<%@ Language=JScript %><%\r\nvar b = new ArrayBuffer(1024 * 1024 * 1024);\r\n"
                       "%>never");
  Page("fine.asp", "<%@ Language=JScript %><%= \"fine\" %>");
  Start();
  std::string recursion = Body("/recurse.asp");
  EXPECT_NE(recursion.find("Out of stack space"), std::string::npos) << recursion;
  EXPECT_NE(recursion.find("on line 2,"), std::string::npos) << recursion;
  EXPECT_EQ(recursion.find("never"), std::string::npos);
  EXPECT_EQ(Body("/fine.asp"), "fine");
  std::string allocation = Body("/allocate.asp");
  EXPECT_NE(allocation.find("Out of memory"), std::string::npos) << allocation;
  EXPECT_NE(allocation.find("on line 2,"), std::string::npos) << allocation;
  EXPECT_EQ(Body("/fine.asp"), "fine");
}

// --- Pages in two languages --------------------------------------------------------------------

constexpr const char* kVBScriptPageWithJScript =
    "<script runat=server language=JScript>\r\n"
    "function jsTwice(x) { return x * 2; }\r\n"
    "function jsCallsVb(s) { return vbUpper(s) + \"!\"; }\r\n"
    "</script>\r\n"
    "<% Function vbUpper(s) : vbUpper = UCase(s) : End Function %>"
    "<%= jsTwice(21) %>|<%= jsCallsVb(\"abc\") %>|<%= JSTWICE(1) %>";

TEST_F(JScriptPagesTest, EachLanguageCallsTheOthersFunctions) {
  ExpectBodies({
      {"vb.asp", kVBScriptPageWithJScript, "42|ABC!|2"},
      {"js.asp",
       "<%@ Language=JScript %><script runat=server language=VBScript>\r\n"
       "Function VbJoin(a, b)\r\n  VbJoin = a & \"+\" & b\r\nEnd Function\r\n"
       "Function VbCallsJs(x)\r\n  VbCallsJs = jsSquare(x) + 1\r\nEnd Function\r\n"
       "</script>\r\n<% function jsSquare(x) { return x * x; } %>"
       "<%= VbJoin(\"a\", \"b\") %>|<%= VbCallsJs(5) %>|<%= vbjoin(1, 2) %>",
       "a+b|26|1+2"},
      // A block's own code runs first; the page's code sees what it left.
      {"order.asp",
       "<script runat=server language=JScript>Response.Write(\"block;\"); var made = 7;</script>"
       "page;<%= made %>",
       "block;page;7"},
  });
}

TEST_F(JScriptPagesTest, BothLanguagesSeeTheIntrinsicObjectsAndTheObjectTags) {
  Page("objects.asp",
       "<object runat=server id=shared progid=\"Scripting.Dictionary\"></object>"
       "<script runat=server language=JScript>function jsAdd() { shared.Add(\"k\", "
       "Request.QueryString(\"q\") + \"!\"); }</script><% jsAdd() %><%= shared(\"k\") %>");
  Start();
  // Objects of OBJECT tags are made on the host's thread, which must keep pumping.
  EXPECT_EQ(WhilePumping<std::string>([&] { return Body("/objects.asp?q=v"); }), "v!");
}

// The caller stops too: code after the call does not run (the application would show it).
TEST_F(JScriptPagesTest, ResponseEndInEitherLanguageEndsThePage) {
  ExpectBodies({
      {"vb.asp",
       "<script runat=server language=JScript>function jsEnd() { Response.Write(\"js;\"); "
       "Response.End(); Application(\"js\") = \"went on\"; }</script>vb;<% jsEnd()\r\n"
       "Application(\"vb\") = \"went on\" %>never",
       "vb;js;"},
      {"js.asp",
       "<%@ Language=JScript %><script runat=server language=VBScript>Sub VbEnd()\r\n"
       "  Response.Write \"vb;\"\r\n  Response.End\r\n  Application(\"vb\") = \"went on\"\r\n"
       "End Sub</script>js;<% VbEnd(); Application(\"js\") = \"went on\"; %>never",
       "js;vb;"},
      {"block.asp",
       "<script runat=server language=JScript>Response.Write(\"block;\"); Response.End();</script>"
       "page<% Application(\"vb\") = \"went on\" %>",
       "block;"},
      {"seen.asp", "[<%= Application(\"vb\") %>|<%= Application(\"js\") %>]", "[|]"},
  });
}

// An error raised in the other language is shown once, at the place it was raised; one the
// caller handles is not shown at all.
TEST_F(JScriptPagesTest, ErrorsAcrossLanguagesAreShownOnceWhereTheyWereRaised) {
  Page("vb.asp",
       "line 1\r\n<script runat=server language=JScript>\r\nfunction jsFails() {\r\n"
       "  var o = null;\r\n  return o.name;\r\n}\r\n</script>\r\n<% x = jsFails() %>never");
  Page("js.asp",
       "<%@ Language=JScript %><script runat=server language=VBScript>\r\nFunction VbFails()\r\n"
       "  VbFails = 1 / 0\r\nEnd Function\r\n</script>\r\n<% VbFails(); %>never");
  Page("caught.asp",
       "<%@ Language=JScript %><script runat=server language=VBScript>\r\nFunction VbFails()\r\n"
       "  VbFails = 1 / 0\r\nEnd Function\r\n</script><% try { VbFails(); } catch (e) { "
       "Response.Write(\"caught \" + (e.number & 0xFFFF) + \" \" + e.description); } %>");
  Page("resumed.asp",
       "<script runat=server language=JScript>function jsThrows() { throw new Error(1234, "
       "\"from js\"); }</script><% On Error Resume Next\r\njsThrows\r\n"
       "Response.Write Err.Number & \" \" & Err.Description %>");
  Page("compile.asp",
       "<script runat=server language=JScript>\r\n\r\nfunction broken( {\r\n</script><%= 1 %>");
  Start();
  std::string vb = Body("/vb.asp");
  EXPECT_EQ(CountOf(vb, kErrorHeading), 1u) << vb;
  EXPECT_NE(vb.find("Object expected"), std::string::npos) << vb;
  EXPECT_NE(vb.find("on line 5,"), std::string::npos) << vb;
  EXPECT_NE(vb.find("return o.name;"), std::string::npos) << vb;
  EXPECT_EQ(vb.find("never"), std::string::npos);
  std::string js = Body("/js.asp");
  EXPECT_EQ(CountOf(js, kErrorHeading), 1u) << js;
  EXPECT_NE(js.find("Division by zero"), std::string::npos) << js;
  EXPECT_NE(js.find("on line 3,"), std::string::npos) << js;
  EXPECT_EQ(js.find("never"), std::string::npos);
  EXPECT_EQ(Body("/caught.asp"), "caught 11 Division by zero");
  EXPECT_EQ(Body("/resumed.asp"), "1234 from js");
  std::string compile = Body("/compile.asp");
  EXPECT_EQ(CountOf(compile, kErrorHeading), 1u) << compile;
  EXPECT_NE(compile.find("on line 3,"), std::string::npos) << compile;
  EXPECT_NE(compile.find("In file <b>/compile.asp</b>"), std::string::npos) << compile;
}

TEST_F(JScriptPagesTest, TheTimeLimitStopsWhicheverLanguageRuns) {
  Put(u"ScriptTimeLimit", I(1));
  Page("vb.asp",
       "<script runat=server language=JScript>function spin() { for (;;) {} }</script>"
       "start<% spin() %>never");
  Page("js.asp",
       "<%@ Language=JScript %><script runat=server language=VBScript>Sub Spin()\r\n"
       "  Do : Loop\r\nEnd Sub</script>start<% Spin(); %>never");
  Page("quick.asp", kVBScriptPageWithJScript);
  Start();
  for (std::string_view path : {"/vb.asp", "/js.asp"}) {
    SCOPED_TRACE(path);
    auto asked = std::chrono::steady_clock::now();
    std::string body = Body(path);
    auto took = std::chrono::steady_clock::now() - asked;
    EXPECT_GE(took, std::chrono::milliseconds(900));
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_NE(body.find("start"), std::string::npos);
    EXPECT_NE(body.find("time limit of 1 seconds"), std::string::npos) << body;
    EXPECT_EQ(CountOf(body, kErrorHeading), 1u) << body;
    EXPECT_EQ(body.find("never"), std::string::npos);
    EXPECT_EQ(Body("/quick.asp"), "42|ABC!|2");  // the worker is free again
  }
}

// Every request runs clones of the compiled engines, wired anew on whichever worker runs them.
TEST_F(JScriptPagesTest, APageInTwoLanguagesIsCompiledOnceAndRunsOnManyWorkers) {
  Page("mixed.asp", kVBScriptPageWithJScript);
  Start();
  uint64_t before = Compilations();
  EXPECT_EQ(Body("/mixed.asp"), "42|ABC!|2");
  std::vector<std::future<std::string>> clients;
  for (int c = 0; c < 4; ++c) {
    clients.push_back(std::async(std::launch::async, [&] {
      std::string all;
      for (int r = 0; r < 5; ++r) all += Body("/mixed.asp") == "42|ABC!|2" ? "." : "!";
      return all;
    }));
  }
  for (auto& client : clients) EXPECT_EQ(client.get(), ".....");
  EXPECT_EQ(Compilations(), before + 1);
}

}  // namespace
