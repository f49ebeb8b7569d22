#include "wendrel/asp/preprocessor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::string_view kPagePath = "/site/page.asp";

// "a/./b/../c" as "a/c"; ".." at the top stays at the top.
std::string Normalised(std::string_view path) {
  std::vector<std::string> segments;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    std::string segment(path.substr(start, slash == std::string_view::npos ? std::string_view::npos
                                                                            : slash - start));
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  std::string normalised;
  for (const std::string& segment : segments) normalised += "/" + segment;
  return normalised;
}

// Files by full path; File names are found beside the including file, virtual names under
// /site. Every request and log line is kept.
class FakeSite : public PreprocessorSite {
 public:
  std::map<std::string, std::string> files;
  std::vector<IncludeRequest> requests;
  std::vector<std::string> log;

  Result<IncludedFile> ReadInclude(const IncludeRequest& request) override {
    requests.push_back(request);
    std::string path = request.form == IncludeForm::Virtual
                           ? Normalised("/site/" + request.name)
                           : Normalised(request.directory + "/" + request.name);
    auto it = files.find(path);
    if (it == files.end()) return Error::Script(53, u"File not found");
    if (it->second.size() > request.max_bytes) return Error::Script(7, u"Too large");
    return IncludedFile{path, it->second};
  }
  void Log(std::string_view line) override { log.emplace_back(line); }
};

PreprocessOutcome<PreprocessedPage> Preprocess(std::string_view page, FakeSite& site,
                                        PreprocessOptions options = {}) {
  if (options.page_path.empty()) options.page_path = std::string(kPagePath);
  return PreprocessPage(page, options, site);
}

// The primary script of a page that must preprocess.
std::string ScriptOf(std::string_view page, PreprocessOptions options = {}) {
  FakeSite site;
  PreprocessOutcome<PreprocessedPage> outcome = Preprocess(page, site, std::move(options));
  if (!outcome.ok()) {
    ADD_FAILURE() << "failed: " << outcome.error().detail;
    return "<failed>";
  }
  return outcome.value().primary.script;
}

PreprocessedPage PageOf(std::string_view page, FakeSite& site, PreprocessOptions options = {}) {
  PreprocessOutcome<PreprocessedPage> outcome = Preprocess(page, site, std::move(options));
  if (!outcome.ok()) {
    ADD_FAILURE() << "failed: " << outcome.error().detail;
    return {};
  }
  return std::move(outcome).value();
}

// The text a WritePart line writes, read back from the page text.
std::string WrittenPart(const PreprocessedPage& page, std::string_view line) {
  size_t begin = 0;
  size_t end = 0;
  if (sscanf(std::string(line).c_str(), "Response.WritePart %zu, %zu", &begin, &end) != 2) return {};
  return page.page_text.substr(begin, end - begin);
}

// The script's lines as the engines count them (CR LF, CR or LF ends one).
std::vector<std::string> ScriptLines(std::string_view script) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < script.size(); ++i) {
    char c = script[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < script.size() && script[i + 1] == '\n') ++i;
      lines.emplace_back();
      continue;
    }
    lines.back().push_back(c);
  }
  return lines;
}

// Each script line as "file:line text", for comparing line maps.
std::vector<std::string> MappedLines(const ScriptPart& part) {
  std::vector<std::string> lines = ScriptLines(part.script);
  EXPECT_EQ(lines.size(), part.line_map.size()) << "one map entry per line";
  std::vector<std::string> mapped;
  for (size_t i = 0; i < lines.size() && i < part.line_map.size(); ++i) {
    mapped.push_back(std::to_string(part.line_map[i].file) + ":" +
                     std::to_string(part.line_map[i].line) + " " + lines[i]);
  }
  return mapped;
}

struct ScriptCase {
  const char* page;
  const char* script;
};

void ExpectScripts(std::initializer_list<ScriptCase> cases, PreprocessOptions options = {}) {
  for (const ScriptCase& c : cases) {
    SCOPED_TRACE(c.page);
    EXPECT_EQ(ScriptOf(c.page, options), c.script);
  }
}

TEST(Preprocessor, ConstructsBecomeVbscript) {
  ExpectScripts({
      {"", ""},
      {"a<% x %>b", "Response.WritePart 0, 1\r x \r\nResponse.WritePart 8, 9\r"},
      {"<% a %>\r\n<% b %>", " a \r\n b \r\n"},
      {"<%= 1+1 %>", "Response.Write  1+1 \r"},
      {"<%=x%>", "Response.Write x\r"},
      {" \t\r\n\v\f", ""},
      {"<html>", "Response.WritePart 0, 6\r"},
      {"<%%>", "\r\n"},
      {"text %> more", "Response.WritePart 0, 12\r"},
      {"<%@ LANGUAGE=\"VBScript\" %>\r\n<html>", "Response.WritePart 26, 34\r"},
      {"<% If a Then %>\r\n  yes\r\n<% End If %>",
       " If a Then \r\nResponse.WritePart 15, 24\r End If \r\n"},
      {"a<!-- just a comment -->b", "Response.WritePart 0, 25\r"},
  });
}

TEST(Preprocessor, ScriptElementsRunOnlyWithRunAtServer) {
  ExpectScripts({
      {"<script runat=server>x</script>", "x\r\n"},
      {"<SCRIPT LANGUAGE=VBScript RUNAT=Server>x</SCRIPT>", "x\r\n"},
      {"<script runat='server' language=\"vbscript\">x</script >", "x\r\n"},
      {"<Script Language = \"VBScript\" RunAt = \" Server \">\r\nx\r\n</sCrIpT>", "\r\nx\r\n\r\n"},
      {"<script runat=\"Server\">a</script>b", "a\r\nResponse.WritePart 33, 34\r"},
      {"<script>x</script>", "Response.WritePart 0, 18\r"},
      {"<script type=\"text/javascript\">var a = '<%= b %>';</script>",
       "Response.WritePart 0, 40\rResponse.Write  b \rResponse.WritePart 48, 59\r"},
      {"<script runat=client>x</script>", "Response.WritePart 0, 31\r"},
      {"<script data-runat=server>x</script>", "Response.WritePart 0, 36\r"},
      {"<script src=\"x.js?runat=server\"></script>", "Response.WritePart 0, 41\r"},
      {"<scripts runat=server>x</scripts>", "Response.WritePart 0, 33\r"},
      // An expression inside the open tag ends the attempt: the tag is literal text.
      {"<script src=\"<%= u %>\"></script>",
       "Response.WritePart 0, 13\rResponse.Write  u \rResponse.WritePart 21, 32\r"},
      // An open tag that never ends is literal text.
      {"<script runat=server", "Response.WritePart 0, 20\r"},
      // The content is code up to the first close tag, constructs inside it included.
      {"<script runat=server>a = \"<% %>\"</script>", "a = \"<% %>\"\r\n"},
      {"<script runat=server><!--#include file=\"none.inc\"--></script>",
       "<!--#include file=\"none.inc\"-->\r\n"},
  });
}

TEST(Preprocessor, ServerObjectTagsAreCollectedAndSkipped) {
  FakeSite site;
  PreprocessedPage page = PageOf(
      "a\r\n<OBJECT RUNAT=Server SCOPE=Session ID=MyDict PROGID=\"Scripting.Dictionary\">\r\n"
      "<param name=x></OBJECT>b<object runat='server' id='conn' classid=\"clsid:1234\"></object>"
      "<object id=client classid=\"clsid:9\"></object>",
      site);
  ASSERT_EQ(page.objects.size(), 2u);
  EXPECT_EQ(page.objects[0].scope, "Session");
  EXPECT_EQ(page.objects[0].id, "MyDict");
  EXPECT_EQ(page.objects[0].prog_id, "Scripting.Dictionary");
  EXPECT_EQ(page.objects[0].class_id, "");
  EXPECT_EQ(page.objects[0].where, (SourceLine{0, 2}));
  EXPECT_EQ(page.objects[1].scope, "");
  EXPECT_EQ(page.objects[1].id, "conn");
  EXPECT_EQ(page.objects[1].class_id, "clsid:1234");
  std::vector<std::string> lines = ScriptLines(page.primary.script);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(WrittenPart(page, lines[0]), "a\r\n");
  EXPECT_EQ(WrittenPart(page, lines[1]), "b");
  EXPECT_EQ(WrittenPart(page, lines[2]), "<object id=client classid=\"clsid:9\"></object>");
}

TEST(Preprocessor, ExpressionsAreCutAt960Bytes) {
  std::string expression(2000, 'x');
  std::string script = ScriptOf("<%=" + expression + "%>");
  EXPECT_EQ(script, "Response.Write " + std::string(kMaxExpressionBytes, 'x') + "\r");
}

TEST(Preprocessor, DirectiveAndTagTextsAreReadUpTo1023Bytes) {
  std::string padding(kMaxDirectiveBytes, ' ');
  // RUNAT past the read part of the tag: a client tag, kept as literal text.
  std::string late_run_at = "<script" + padding + "runat=server>x</script>";
  EXPECT_EQ(ScriptOf(late_run_at), "Response.WritePart 0, " + std::to_string(late_run_at.size()) + "\r");
  std::string early_run_at = "<script runat=server" + padding + ">x</script>";
  EXPECT_EQ(ScriptOf(early_run_at), "x\r\n");
  // An include name past the read part of the comment is no name.
  FakeSite site;
  PreprocessOutcome<PreprocessedPage> late_name =
      Preprocess("<!--#include" + padding + "file=\"x.inc\"-->", site);
  ASSERT_FALSE(late_name.ok());
  EXPECT_EQ(late_name.error().detail, "#include without a file or virtual name");
  EXPECT_EQ(site.log, (std::vector<std::string>{
                          "INCLUDE FILE directive found; but no filename is given or it cannot be "
                          "resolved"}));
  // A directive's pairs past the read part are not seen.
  FakeSite directive_site;
  PreprocessedPage page = PageOf("<%@" + padding + "CODEPAGE=65001 %>", directive_site);
  EXPECT_FALSE(page.code_page.has_value());
  page = PageOf("<%@ CODEPAGE=65001" + padding + "%>", directive_site);
  EXPECT_EQ(page.code_page, 65001);
}

TEST(Preprocessor, DirectivesSetCodePageAndLocale) {
  struct Case {
    const char* page;
    std::optional<int> code_page;
    std::optional<int> lcid;
  };
  const Case cases[] = {
      {"<%@ CODEPAGE=65001 %>", 65001, std::nullopt},
      {"<%@LANGUAGE=VBSCRIPT CODEPAGE=\"1252\" LCID=1033%>", 1252, 1033},
      {"<%@ language = 'VBScript'  lcid = 2057 EnableSessionState=False Transaction=Required %>",
       std::nullopt, 2057},
      {"<%@ CodePage=1252 %><%@ CodePage=65001 %>", 65001, std::nullopt},
      {"<%@ popinc %>", std::nullopt, std::nullopt},
      // A bare name ends the directive.
      {"<%@ Language CODEPAGE=65001 %>", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    FakeSite site;
    PreprocessedPage page = PageOf(c.page, site);
    EXPECT_EQ(page.code_page, c.code_page);
    EXPECT_EQ(page.lcid, c.lcid);
    EXPECT_EQ(page.primary.script, "");
  }
}

TEST(Preprocessor, PageLanguageChoosesTheTemplates) {
  ExpectScripts({
      {"<%@ Language=JScript %>a<%= b %>", "Response.WritePart(23,24);\rResponse.Write ( b );\r"},
      {"<%@ LANGUAGE=\"JavaScript\" %>a", "Response.WritePart(28,29);\r"},
      {"<%@ Language=PerlScript %>a<%= $b %>",
       "$Response->WritePart(26,27);\r$Response->Write( $b );\r"},
      {"<%@ Language=Python %>a<%= b %>", "Response.WritePart 22, 23\rResponse.Write  b \r"},
      // The language applies to the whole page wherever the directive stands.
      {"a<%= b %><%@ Language=JScript %>", "Response.WritePart(0,1);\rResponse.Write ( b );\r"},
      // The same language twice, in any spelling, is no conflict.
      {"<%@ Language=jscript %><%@ Language=JAVASCRIPT %>a", "Response.WritePart(49,50);\r"},
  });
  PreprocessOptions jscript_server;
  jscript_server.default_language = "JScript";
  ExpectScripts({{"a", "Response.WritePart(0,1);\r"},
                 {"<%@ Language=VBScript %>a", "Response.WritePart 24, 25\r"}},
                jscript_server);
  FakeSite site;
  EXPECT_EQ(PageOf("a", site).primary.language, "VBScript");
  EXPECT_EQ(PageOf("<%@ language=javascript %>", site).primary.language, "JScript");
  EXPECT_EQ(PageOf("a", site, jscript_server).primary.language, "JScript");
}

TEST(Preprocessor, ScriptBlocksInOtherLanguagesGetTheirOwnParts) {
  FakeSite site;
  site.files["/site/json.asp"] =
      "<script language=\"javascript\" runat=\"server\">\r\nvar JSON = {};\r\n</script>\r\n";
  PreprocessedPage page = PageOf(
      "<!--#include file=\"json.asp\"-->\r\n"
      "<% Dim x %>\r\n"
      "<script runat=server language=PerlScript>print 1;</script>\r\n"
      "<script runat=server language=VBScript>Sub A\r\nEnd Sub</script>\r\n"
      "<script runat=server>Sub B\r\nEnd Sub</script>\r\n"
      "<script runat=server language=JScript>function f() {}</script>",
      site);
  EXPECT_EQ(page.primary.language, "VBScript");
  EXPECT_EQ(page.primary.script, " Dim x \r\nSub A\r\nEnd Sub\r\nSub B\r\nEnd Sub\r\n");
  ASSERT_EQ(page.others.size(), 2u);
  EXPECT_EQ(page.others[0].language, "JScript");
  EXPECT_EQ(page.others[0].script, "\r\nvar JSON = {};\r\n\r\nfunction f() {}\r\n");
  EXPECT_EQ(page.others[1].language, "PerlScript");
  EXPECT_EQ(page.others[1].script, "print 1;\r\n");
  EXPECT_EQ(MappedLines(page.others[0]),
            (std::vector<std::string>{"1:1 ", "1:2 var JSON = {};", "1:3 ",
                                      "0:8 function f() {}", "0:8 "}));
}

TEST(Preprocessor, ScriptBlockInThePageLanguageJoinsThePrimaryWhereverTheDirectiveStands) {
  FakeSite site;
  PreprocessedPage page =
      PageOf("<script runat=server language=JScript>function f() {}</script>"
             "<%@ Language=JScript %><% f(); %>",
             site);
  EXPECT_EQ(page.primary.language, "JScript");
  EXPECT_EQ(page.primary.script, "function f() {}\r\n f(); \r\n");
  EXPECT_TRUE(page.others.empty());
}

struct FailureCase {
  const char* page;
  int asp_code;
  const char* detail;  // a part of the detail
  uint32_t line;
};

void ExpectFailures(std::initializer_list<FailureCase> cases) {
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.page);
    FakeSite site;
    PreprocessOutcome<PreprocessedPage> outcome = Preprocess(c.page, site);
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().asp_code, c.asp_code);
    EXPECT_NE(outcome.error().detail.find(c.detail), std::string::npos) << outcome.error().detail;
    ASSERT_EQ(outcome.error().where.size(), 1u);
    EXPECT_EQ(outcome.error().where[0], (SourcePlace{std::string(kPagePath), c.line}));
  }
}

TEST(Preprocessor, ConstructsLeftOpenFailThePage) {
  ExpectFailures({
      {"a\r\n<% x", kAspParseError, "'<%' without a closing '%>'", 2},
      {"<%= x", kAspParseError, "'%>'", 1},
      {"\n\n<%@ Language=VBScript", kAspParseError, "'%>'", 3},
      {"<%\r\nx\r\n%\r\n>", kAspParseError, "'%>'", 1},
      {"<script runat=server>x\r\n</script", kAspParseError, "without </SCRIPT>", 1},
      {"<script runat=server>x</scripts>", kAspParseError, "without </SCRIPT>", 1},
      {"\r\n<object runat=server id=a progid=b>", kAspParseError, "without </OBJECT>", 2},
      {"<!--#include file=\"a.inc\"", kAspParseError, "#include comment without '-->'", 1},
      {"<!--METADATA TYPE=\"TypeLib\" FILE=\"a.tlb\"", kAspParseError, "METADATA comment without", 1},
  });
}

TEST(Preprocessor, BadDirectivesAndMetadataFailThePage) {
  ExpectFailures({
      {"<%@ Language=VBScript %>\r\n<%@ Language=JScript %>", kAspLanguageAlreadySet,
       "VBScript: JScript", 2},
      {"<%@ CODEPAGE=abc %>", kAspParseError, "@CODEPAGE is not a number: abc", 1},
      {"<%@ LCID=-1 %>", kAspParseError, "@LCID is not a number: -1", 1},
      {"<%@ LCID=99999999999 %>", kAspParseError, "@LCID", 1},
      {"<!--METADATA TYPE=\"Cookie\" NAME=x -->", kAspInvalidMetadata, "not TypeLib", 1},
      {"<!--METADATA TYPE=\"TypeLib\" -->", kAspInvalidMetadata, "neither FILE nor UUID", 1},
      {"<!--METADATA TYPE=\"TypeLib\" UUID=\"{xyz}\" -->", kAspInvalidMetadata, "{xyz}", 1},
      {"<!--METADATA TYPE=TypeLib UUID=00000205-0000-0010-8000-00AA006D2EA4 VERSION=2.x -->",
       kAspInvalidMetadata, "VERSION", 1},
      {"x\r\n<!--#include -->", kAspParseError, "without a file or virtual name", 2},
      {"<!--#include file=\"\" -->", kAspParseError, "without a file or virtual name", 1},
  });
}

TEST(Preprocessor, MetadataNamesTypeLibraries) {
  FakeSite site;
  PreprocessedPage page = PageOf(
      "<!--METADATA TYPE=\"TypeLib\" NAME=\"Microsoft ActiveX Data Objects 2.5 Library\" "
      "UUID=\"{00000205-0000-0010-8000-00AA006D2EA4}\" VERSION=\"2.5\"-->\r\n"
      "<!-- metadata type=typelib uuid=00000205-0000-0010-8000-00aa006d2ea4 -->\r\n"
      "<!--METADATA TYPE=\"TypeLib\" FILE=\"/usr/lib/x.tlb\"-->a",
      site);
  ASSERT_EQ(page.type_libraries.size(), 3u);
  const GUID ado = {0x00000205, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
  ASSERT_TRUE(page.type_libraries[0].guid.has_value());
  EXPECT_TRUE(*page.type_libraries[0].guid == ado);
  EXPECT_EQ(page.type_libraries[0].major, 2);
  EXPECT_EQ(page.type_libraries[0].minor, 5);
  ASSERT_TRUE(page.type_libraries[1].guid.has_value());
  EXPECT_TRUE(*page.type_libraries[1].guid == ado);
  EXPECT_EQ(page.type_libraries[1].major, -1);
  EXPECT_EQ(page.type_libraries[1].where, (SourceLine{0, 2}));
  EXPECT_FALSE(page.type_libraries[2].guid.has_value());
  EXPECT_EQ(page.type_libraries[2].file, "/usr/lib/x.tlb");
  EXPECT_EQ(page.primary.script, "Response.WritePart 268, 269\r");
}

TEST(Preprocessor, IncludesSpliceTheirTextAfterTheComment) {
  FakeSite site;
  site.files["/site/b.inc"] = "B<% x %>";
  PreprocessedPage page = PageOf("a<!--#include file=\"b.inc\"-->c", site);
  EXPECT_EQ(page.page_text, "a<!--#include file=\"b.inc\"-->B<% x %>c");
  std::vector<std::string> lines = ScriptLines(page.primary.script);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(WrittenPart(page, lines[0]), "a");
  EXPECT_EQ(WrittenPart(page, lines[1]), "B");
  EXPECT_EQ(lines[2], " x ");
  EXPECT_EQ(WrittenPart(page, lines[3]), "c");
  EXPECT_EQ(page.files, (std::vector<std::string>{"/site/page.asp", "/site/b.inc"}));
  EXPECT_EQ(site.log, (std::vector<std::string>{"INCLUDE FILE in ASP page=b.inc"}));
}

TEST(Preprocessor, IncludeCommentsAcceptTheUsualSpellings) {
  const char* pages[] = {
      "<!--#include file=\"x.inc\"-->",
      "<!-- #include file = \"x.inc\" -->",
      "<!--#INCLUDE FILE='x.inc'-->",
      "<!--\t#Include\r\nFile=x.inc -->",
      "<!--#include virtual=\"/x.inc\"-->",
      "<!-- #include VIRTUAL = '/x.inc' -->",
  };
  for (const char* text : pages) {
    SCOPED_TRACE(text);
    FakeSite site;
    site.files["/site/x.inc"] = "<% x %>";
    PreprocessedPage page = PageOf(text, site);
    EXPECT_EQ(page.primary.script, " x \r\n");
    ASSERT_EQ(site.requests.size(), 1u);
  }
  // Not an include: a plain comment and a comment naming another keyword.
  ExpectScripts({{"<!--#includes file=\"x.inc\"-->", "Response.WritePart 0, 29\r"},
                 {"<!--include file=\"x.inc\"-->", "Response.WritePart 0, 27\r"}});
}

TEST(Preprocessor, IncludeInsideCodeIsCode) {
  FakeSite site;
  PreprocessedPage page = PageOf("<% '<!--#include file=\"missing.inc\"-->\r\n x = 1 %>", site);
  EXPECT_EQ(page.primary.script, " '<!--#include file=\"missing.inc\"-->\r\n x = 1 \r\n");
  EXPECT_TRUE(site.requests.empty());
}

TEST(Preprocessor, NestedRelativeIncludesResolveBesideTheirFile) {
  FakeSite site;
  site.files["/site/inc/a.inc"] = "<!--#include file=\"b.inc\"-->A";
  site.files["/site/inc/b.inc"] = "B";
  site.files["/site/c.inc"] = "C";
  site.files["/site/lib/common.asp"] = "<!--#include file=\"db.asp\"-->";
  site.files["/site/lib/db.asp"] = "D";
  PreprocessedPage page = PageOf(
      "<!--#include file=\"inc/a.inc\"--><!--#include file=\"c.inc\"-->"
      "<!--#include virtual=\"/lib/common.asp\"-->",
      site);
  ASSERT_EQ(site.requests.size(), 5u);
  EXPECT_EQ(site.requests[0].directory, "/site");
  EXPECT_EQ(site.requests[1].name, "b.inc");
  EXPECT_EQ(site.requests[1].directory, "/site/inc");
  EXPECT_EQ(site.requests[2].name, "c.inc");
  EXPECT_EQ(site.requests[2].directory, "/site");
  EXPECT_EQ(site.requests[3].form, IncludeForm::Virtual);
  EXPECT_EQ(site.requests[4].name, "db.asp");
  EXPECT_EQ(site.requests[4].directory, "/site/lib");
  EXPECT_EQ(page.files, (std::vector<std::string>{"/site/page.asp", "/site/inc/a.inc",
                                                  "/site/inc/b.inc", "/site/c.inc",
                                                  "/site/lib/common.asp", "/site/lib/db.asp"}));
  std::string written;
  for (const std::string& line : ScriptLines(page.primary.script)) written += WrittenPart(page, line);
  EXPECT_EQ(written, "BACD");
}

TEST(Preprocessor, FileIncludedTwiceIsListedOnce) {
  FakeSite site;
  site.files["/site/x.inc"] = "<% x %>";
  PreprocessedPage page =
      PageOf("<!--#include file=\"x.inc\"--><!--#include file=\"x.inc\"-->", site);
  EXPECT_EQ(page.primary.script, " x \r\n x \r\n");
  EXPECT_EQ(page.files.size(), 2u);
}

TEST(Preprocessor, IncludeCyclesFailWithTheChain) {
  FakeSite site;
  site.files["/site/self.inc"] = "<!--#include file=\"self.inc\"-->";
  site.files["/site/a.inc"] = "\r\n<!--#include file=\"b.inc\"-->";
  site.files["/site/b.inc"] = "\r\n\r\n<!--#include file=\"a.inc\"-->";
  site.files["/site/page.asp"] = "";

  PreprocessOutcome<PreprocessedPage> self = Preprocess("<!--#include file=\"self.inc\"-->", site);
  ASSERT_FALSE(self.ok());
  EXPECT_EQ(self.error().asp_code, kAspParseError);
  EXPECT_EQ(self.error().detail, "include cycle: the file is already open: /site/self.inc");
  EXPECT_EQ(self.error().where, (std::vector<SourcePlace>{{"/site/self.inc", 1}, {"/site/page.asp", 1}}));

  PreprocessOutcome<PreprocessedPage> cycle = Preprocess("x\r\n<!--#include file=\"a.inc\"-->", site);
  ASSERT_FALSE(cycle.ok());
  EXPECT_EQ(cycle.error().where, (std::vector<SourcePlace>{{"/site/b.inc", 3},
                                                           {"/site/a.inc", 2},
                                                           {"/site/page.asp", 2}}));

  PreprocessOutcome<PreprocessedPage> page_itself = Preprocess("<!--#include file=\"page.asp\"-->", site);
  ASSERT_FALSE(page_itself.ok());
  EXPECT_NE(page_itself.error().detail.find("/site/page.asp"), std::string::npos);
}

TEST(Preprocessor, IncludeNestingIsLimited) {
  FakeSite site;
  for (int i = 1; i <= 20; ++i) {
    site.files["/site/" + std::to_string(i) + ".inc"] =
        "<!--#include file=\"" + std::to_string(i + 1) + ".inc\"-->";
  }
  site.files["/site/16.inc"] = "<% deepest %>";
  PreprocessedPage page = PageOf("<!--#include file=\"1.inc\"-->", site);
  EXPECT_EQ(page.primary.script, " deepest \r\n");

  site.files["/site/16.inc"] = "<!--#include file=\"17.inc\"-->";
  PreprocessOutcome<PreprocessedPage> deep = Preprocess("<!--#include file=\"1.inc\"-->", site);
  ASSERT_FALSE(deep.ok());
  EXPECT_EQ(deep.error().detail, "include nesting deeper than 16");
  EXPECT_EQ(deep.error().where.size(), 17u);
  EXPECT_EQ(deep.error().where[0].file, "/site/16.inc");

  PreprocessOptions shallow;
  shallow.max_include_depth = 0;
  PreprocessOutcome<PreprocessedPage> none = Preprocess("<!--#include file=\"17.inc\"-->", site, shallow);
  ASSERT_FALSE(none.ok());
  EXPECT_EQ(none.error().detail, "include nesting deeper than 0");
}

TEST(Preprocessor, ExpandedTextIsLimited) {
  FakeSite site;
  site.files["/site/big.inc"] = std::string(600, 'b');
  PreprocessOptions options;
  options.max_expanded_bytes = 1000;
  std::string page = std::string(100, 'a') + "<!--#include file=\"big.inc\"-->";
  PreprocessedPage once = PageOf(page, site, options);
  EXPECT_EQ(once.page_text.size(), page.size() + 600);
  EXPECT_EQ(site.requests[0].max_bytes, 1000 - page.size());

  // The site is told what is left and refuses the second copy itself.
  PreprocessOutcome<PreprocessedPage> twice = Preprocess(page + page, site, options);
  ASSERT_FALSE(twice.ok());
  EXPECT_EQ(twice.error().detail, "cannot include \"big.inc\": Too large");
  EXPECT_EQ(site.requests.back().max_bytes, 1000 - 2 * page.size() - 600);

  PreprocessOutcome<PreprocessedPage> page_alone = Preprocess(std::string(1001, 'a'), site, options);
  ASSERT_FALSE(page_alone.ok());
  EXPECT_EQ(page_alone.error().where, (std::vector<SourcePlace>{{"/site/page.asp", 1}}));

  // A site that returns more than it was allowed still fails the page.
  class GreedySite : public FakeSite {
    Result<IncludedFile> ReadInclude(const IncludeRequest& request) override {
      return IncludedFile{"/site/huge.inc", std::string(request.max_bytes + 1, 'h')};
    }
  } greedy;
  PreprocessOutcome<PreprocessedPage> greedy_outcome =
      Preprocess("<!--#include file=\"huge.inc\"-->", greedy, options);
  ASSERT_FALSE(greedy_outcome.ok());
  EXPECT_EQ(greedy_outcome.error().detail, "the expanded page text is larger than 1000");
}

TEST(Preprocessor, UnreadableIncludeNamesTheFile) {
  FakeSite site;
  PreprocessOutcome<PreprocessedPage> outcome =
      Preprocess("<html>\r\n<!--#include virtual=\"/inc/missing.inc\"-->", site);
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().asp_code, kAspParseError);
  EXPECT_EQ(outcome.error().detail, "cannot include \"/inc/missing.inc\": File not found");
  EXPECT_EQ(outcome.error().where, (std::vector<SourcePlace>{{"/site/page.asp", 2}}));
  EXPECT_EQ(site.log, (std::vector<std::string>{"INCLUDE FILE in ASP page=/inc/missing.inc"}));
}

TEST(Preprocessor, ConstructsDoNotSpanFiles) {
  FakeSite site;
  site.files["/site/open.inc"] = "\r\n<% If x Then";
  PreprocessOutcome<PreprocessedPage> outcome =
      Preprocess("<!--#include file=\"open.inc\"--> %>", site);
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().where,
            (std::vector<SourcePlace>{{"/site/open.inc", 2}, {"/site/page.asp", 1}}));
}

TEST(Preprocessor, GlobalFileGoesInFrontAsItsOwnFile) {
  FakeSite site;
  site.files["/site/app.inc"] = "<% Const A = 1 %>";
  PreprocessOptions options;
  options.prefix = IncludedFile{
      "/site/global.asa",
      "<OBJECT RUNAT=Server SCOPE=Application ID=Counter PROGID=\"Scripting.Dictionary\">"
      "</OBJECT>\r\n<!--#include file=\"app.inc\"-->\r\n"
      "<SCRIPT LANGUAGE=VBScript RUNAT=Server>\r\nSub Application_OnStart\r\nEnd Sub\r\n</SCRIPT>\r\n"};
  PreprocessedPage page = PageOf("<%= A %>", site, options);
  EXPECT_EQ(page.files,
            (std::vector<std::string>{"/site/page.asp", "/site/global.asa", "/site/app.inc"}));
  ASSERT_EQ(page.objects.size(), 1u);
  EXPECT_EQ(page.objects[0].where, (SourceLine{1, 1}));
  EXPECT_EQ(page.page_text.substr(page.page_text.size() - 8), "<%= A %>");
  EXPECT_EQ(MappedLines(page.primary),
            (std::vector<std::string>{"2:1  Const A = 1 ", "1:3 ", "1:4 Sub Application_OnStart",
                                      "1:5 End Sub", "1:6 ", "0:1 Response.Write  A ", "0:1 "}));
}

TEST(Preprocessor, LineMapFollowsCodeLineByLine) {
  FakeSite site;
  PreprocessedPage page = PageOf(
      "<html>\r\n"          // 1
      "<%\r\n"              // 2
      "x = 1\r\n"           // 3
      "y = 2 %>\r\n"        // 4
      "<p><%= a &\r\n"      // 5
      " b %></p>\n"         // 6 (LF only)
      "<% z %>\r",          // 7 (CR only)
      site);
  EXPECT_EQ(MappedLines(page.primary), (std::vector<std::string>{
                                           "0:1 Response.WritePart 0, 8",
                                           "0:2 ",
                                           "0:3 x = 1",
                                           "0:4 y = 2 ",
                                           "0:4 Response.WritePart 27, 32",
                                           "0:5 Response.Write  a &",
                                           "0:6  b ",
                                           "0:6 Response.WritePart 46, 51",
                                           "0:7  z ",
                                           "0:8 ",
                                       }));
}

TEST(Preprocessor, LineMapFollowsNestedIncludes) {
  FakeSite site;
  site.files["/site/inc/outer.inc"] =
      "<% Sub Outer %>\r\n"                   // 1
      "<!--#include file=\"inner.inc\"-->\r\n"  // 2
      "<% End Sub %>";                        // 3
  site.files["/site/inc/inner.inc"] =
      "\r\n"           // 1
      "<%\r\n"         // 2
      "  Inner()\r\n"  // 3
      "%>";            // 4
  PreprocessedPage page = PageOf(
      "<%@ Language=VBScript %>\r\n"                  // 1
      "<!--#include file=\"inc/outer.inc\"-->\r\n"    // 2
      "<%\r\n"                                        // 3
      "Outer\r\n"                                     // 4
      "%>",                                           // 5
      site);
  EXPECT_EQ(page.files, (std::vector<std::string>{"/site/page.asp", "/site/inc/outer.inc",
                                                  "/site/inc/inner.inc"}));
  EXPECT_EQ(MappedLines(page.primary), (std::vector<std::string>{
                                           "1:1  Sub Outer ",
                                           "2:2 ",
                                           "2:3   Inner()",
                                           "2:4 ",
                                           "1:3  End Sub ",
                                           "0:3 ",
                                           "0:4 Outer",
                                           "0:5 ",
                                           "0:5 ",
                                       }));
}

// Pages of 1 MiB built to defeat a scanner that looks at the same bytes again and again.
TEST(Preprocessor, LongHostilePagesStayLinear) {
  std::vector<std::pair<const char*, std::string>> pages;
  auto repeated = [](std::string_view unit) {
    std::string text;
    while (text.size() < (size_t{1} << 20)) text += unit;
    return text;
  };
  pages.emplace_back("small constructs", repeated("a<%=b%><% c %>\r\n"));
  pages.emplace_back("open SCRIPT tags", repeated("<script "));
  pages.emplace_back("client SCRIPT tags", repeated("<script runat=client>x</script>"));
  pages.emplace_back("comments", repeated("<!-- "));
  pages.emplace_back("close tags", "<script runat=server>" + repeated("</scrip") + "</script>");
  pages.emplace_back("object tags",
                     repeated("<object runat=server id=o progid=p></object>"));
  pages.emplace_back("quotes", "<script " + repeated("'\"") + ">");
  for (const auto& [name, text] : pages) {
    SCOPED_TRACE(name);
    FakeSite site;
    auto begin = std::chrono::steady_clock::now();
    PreprocessOutcome<PreprocessedPage> outcome = Preprocess(text, site);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_TRUE(outcome.ok());
    // Linear work takes well under a second even under the sanitizers; a quadratic scan of
    // these pages takes minutes.
    EXPECT_LT(seconds, 10.0);
  }
}

}  // namespace
