// TextParser driven by name: regions found and spliced, handlers reached through the native
// callback and through the Parse event's connection point, files and strings, limits.
#include "wendrel/components/text_parser.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/system/code_page.h"
#include "wendrel/com/class_identities.h"
#include "wendrel/components/marked_regions.h"

namespace {

namespace fs = std::filesystem;

Variant S(std::u16string_view text) { return Variant::FromString(text); }

Result<Variant> Call(IDispatch* object, std::u16string_view name, std::vector<Variant> arguments = {}) {
  std::vector<VARIANT> passed(arguments.begin(), arguments.end());
  return CallMember(object, name, passed);
}

std::u16string Text(const Result<Variant>& value) {
  EXPECT_TRUE(value.ok());
  if (!value.ok() || value.value().vt != VT_BSTR) return u"<not a string>";
  return std::u16string(value.value().StringView());
}

struct Region {
  int32_t start;
  int32_t end;
  std::string text;
  bool operator==(const Region&) const = default;
};

// ---- The splicing rules, on bytes ----

struct SpliceCase {
  std::string_view name;
  std::string_view start_mark;
  std::string_view end_mark;
  std::string_view input;
  std::string_view replacement;  // "=" answers each region with itself
  std::string_view expected;
  std::vector<Region> regions;
};

TEST(MarkedRegions, SplicesEveryRegion) {
  const SpliceCase cases[] = {
      {"no start mark", "<!--#", "-->", "plain text", "R", "plain text", {}},
      {"one region", "<!--#", "-->", "a<!--#x-->b", "R", "aRb", {{2, 8, "<!--#x-->"}}},
      {"empty answer removes marks too", "<!--#", "-->", "a<!--#x-->b", "", "ab", {{2, 8, "<!--#x-->"}}},
      {"unchanged answer, next still found", "{", "}", "{a}-{b}", "=", "{a}-{b}",
       {{1, 3, "{a}"}, {5, 7, "{b}"}}},
      {"indexes of the example", "{", "}", "a{x}b", "=", "a{x}b", {{2, 4, "{x}"}}},
      {"start without end ends the parse", "{", "}", "{a}x{b", "R", "Rx{b", {{1, 3, "{a}"}}},
      {"adjacent regions are both found", "{", "}", "{a}{b}", "RR", "RRRR",
       {{1, 3, "{a}"}, {3, 5, "{b}"}}},
      {"indexes follow the spliced text", "{", "}", "{a}{bb}", "XYZW", "XYZWXYZW",
       {{1, 3, "{a}"}, {5, 8, "{bb}"}}},
      {"nested start ends at the first end mark", "<!--#", "-->", "<!--#a <!--#b --> -->", "R",
       "R -->", {{1, 15, "<!--#a <!--#b -->"}}},
      {"a replacement is never searched again", "{", "}", "{a}z", "{b}", "{b}z", {{1, 3, "{a}"}}},
      {"case matters", "{X", "}", "{x}{X}", "R", "{x}R", {{4, 6, "{X}"}}},
      {"empty end mark: the start mark alone", "#", "", "a#b#", "R", "aRbR", {{2, 3, "#"}, {4, 5, "#"}}},
      {"empty start mark marks nothing", "", "}", "a}b", "R", "a}b", {}},
      {"marks of several bytes overlapping", "aa", "aa", "aaaaa", "R", "Ra", {{1, 3, "aaaa"}}},
  };
  for (const SpliceCase& c : cases) {
    SCOPED_TRACE(std::string(c.name));
    std::vector<Region> seen;
    Result<std::string> result = ExpandMarkedRegions(
        c.input, c.start_mark, c.end_mark, [&](int32_t start, int32_t end, std::string_view region) {
          seen.push_back({start, end, std::string(region)});
          return c.replacement == "=" ? std::string(region) : std::string(c.replacement);
        });
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value(), c.expected);
    EXPECT_EQ(seen, c.regions);
  }
}

TEST(MarkedRegions, TextAndResultAreBounded) {
  auto same = [](int32_t, int32_t, std::string_view region) { return std::string(region); };
  std::string too_long(kMaxMarkedTextBytes + 1, 'x');
  Result<std::string> refused = ExpandMarkedRegions(too_long, "{", "}", same);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().Number(), 7);
  auto huge = [](int32_t, int32_t, std::string_view) { return std::string(kMaxMarkedTextBytes, 'y'); };
  Result<std::string> grown = ExpandMarkedRegions("{a}b", "{", "}", huge);
  ASSERT_FALSE(grown.ok());
  EXPECT_EQ(grown.error().Number(), 7);
}

// ---- The object ----

// Records the regions a native handler sees and answers with "[" + parameter + "]".
std::vector<Region> g_callback_regions;

void RecordingCallback(int32_t start, int32_t end, BSTR* region, intptr_t parameter) {
  g_callback_regions.push_back({start, end, TextToBytes(BstrView(*region), CP_ACP)});
  SysFreeString(*region);
  std::u16string answer = {u'[', static_cast<char16_t>(parameter), u']'};
  *region = SysAllocString(answer.c_str());
}

// A sink of the Parse event: answers each region through the by-reference argument.
class ParseSink : public DispatchObject<ParseSink> {
 public:
  explicit ParseSink(std::u16string answer) : answer_(std::move(answer)) {}
  static std::span<const DispatchMember<ParseSink>> Members() {
    static constexpr DispatchMember<ParseSink> kMembers[] = {
        {u"Parse", 0, kMethod, 3, 3, &ParseSink::Parse, u"StartMarkIndex,EndMarkIndex,MarkedString"},
    };
    return kMembers;
  }
  std::vector<Region> regions;

 private:
  Result<Variant> Parse(const DispatchArguments& arguments) {
    Bstr region = TRY(ToBstr(arguments[2]));
    regions.push_back({PeekValue(arguments[0]).lVal, PeekValue(arguments[1]).lVal,
                       TextToBytes(region.view(), CP_ACP)});
    if (answer_ != u"=") TRY(arguments.Assign(2, Variant::FromString(answer_)));
    return Variant();
  }
  std::u16string answer_;
};

class TextParserTest : public ::testing::Test {
 protected:
  void TearDown() override {
    g_callback_regions.clear();
    if (!folder_.empty()) fs::remove_all(folder_);
  }

  IDispatch* parser() { return parser_.get(); }
  ComPtr<IConnectionPoint> EventPoint() {
    ComPtr<IConnectionPointContainer> container =
        ComPtr<IDispatch>(parser()).As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    ComPtr<IConnectionPoint> point;
    if (container) {
      container->FindConnectionPoint(wendrel_ids::EventInterfaceId(wendrel_ids::kTextParser),
                                     point.Receive());
    }
    return point;
  }
  std::string WriteFile(std::string_view name, std::string_view bytes) {
    if (folder_.empty()) {
      std::string pattern = (fs::temp_directory_path() / "text_parser_XXXXXX").string();
      folder_ = mkdtemp(pattern.data());
    }
    std::string path = folder_ + "/" + std::string(name);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  ComPtr<TextParser> parser_ = MakeObject<TextParser>();
  std::string folder_;
};

TEST_F(TextParserTest, MarksAndMembersAsPublished) {
  EXPECT_EQ(Text(Call(parser(), u"StartMark")), u"<!--#");
  EXPECT_EQ(Text(Call(parser(), u"EndMark")), u"-->");
  EXPECT_EQ(Text(Call(parser(), u"Content")), u"");
  struct Case {
    std::u16string_view name;
    DISPID dispid;
  } cases[] = {{u"StartMark", 0x60020000}, {u"EndMark", 0x60020002},  {u"ParseFile", 0x60020004},
               {u"ParseString", 0x60020005}, {u"Content", 0x60020006}, {u"SetParseCallback", 0}};
  for (const Case& c : cases) EXPECT_EQ(GetDispatchId(parser(), c.name).value(), c.dispid);
}

TEST_F(TextParserTest, WithoutHandlerTheTextStays) {
  EXPECT_EQ(Text(Call(parser(), u"ParseString", {S(u"a<!--#include x-->b")})), u"a<!--#include x-->b");
}

TEST_F(TextParserTest, EventSinkAnswersThroughTheMarkedString) {
  ComPtr<ParseSink> sink = MakeObject<ParseSink>(u"<b>ok</b>");
  ComPtr<IConnectionPoint> point = EventPoint();
  ASSERT_TRUE(point);
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
  EXPECT_EQ(Text(Call(parser(), u"ParseString", {S(u"x<!--#a-->y<!--#b-->z")})), u"x<b>ok</b>y<b>ok</b>z");
  EXPECT_EQ(sink->regions, (std::vector<Region>{{2, 8, "<!--#a-->"}, {12, 18, "<!--#b-->"}}));
  EXPECT_EQ(Text(Call(parser(), u"Content")), u"x<b>ok</b>y<b>ok</b>z");
  ASSERT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(Text(Call(parser(), u"ParseString", {S(u"<!--#a-->")})), u"<!--#a-->");
}

TEST_F(TextParserTest, EventSinkThatKeepsTheRegionLeavesTheText) {
  ComPtr<ParseSink> sink = MakeObject<ParseSink>(u"=");
  ComPtr<IConnectionPoint> point = EventPoint();
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
  ASSERT_TRUE(Call(parser(), u"ParseString", {S(u"{p}{q}")}).ok());
  ASSERT_TRUE(PutMember(parser(), u"StartMark", {}, S(u"{")).ok());
  ASSERT_TRUE(PutMember(parser(), u"EndMark", {}, S(u"}")).ok());
  EXPECT_EQ(Text(Call(parser(), u"ParseString", {S(u"{p}{q}")})), u"{p}{q}");
  EXPECT_EQ(sink->regions, (std::vector<Region>{{1, 3, "{p}"}, {4, 6, "{q}"}}));
  point->Unadvise(cookie);
}

TEST_F(TextParserTest, NativeCallbackGetsIndexesRegionAndParameter) {
  ComPtr<ParseSink> sink = MakeObject<ParseSink>(u"from the event");
  ComPtr<IConnectionPoint> point = EventPoint();
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
  Variant function;
  function.vt = VT_I8;
  function.llVal = reinterpret_cast<intptr_t>(&RecordingCallback);
  ASSERT_TRUE(Call(parser(), u"SetParseCallback", {function, Variant::FromI4('Q')}).ok());
  EXPECT_EQ(Text(Call(parser(), u"ParseString", {S(u"a<!--#x-->b")})), u"a[Q]b");
  EXPECT_EQ(g_callback_regions, (std::vector<Region>{{2, 8, "<!--#x-->"}}));
  EXPECT_TRUE(sink->regions.empty());  // the callback takes the place of the event
  ASSERT_TRUE(Call(parser(), u"SetParseCallback", {Variant::FromI4(0), Variant::FromI4(0)}).ok());
  EXPECT_EQ(Text(Call(parser(), u"ParseString", {S(u"a<!--#x-->b")})), u"afrom the eventb");
  point->Unadvise(cookie);
}

TEST_F(TextParserTest, TextCrossesAsTheAnsiCodePage) {
  ComPtr<ParseSink> sink = MakeObject<ParseSink>(u"\u20AC");
  ComPtr<IConnectionPoint> point = EventPoint();
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
  EXPECT_EQ(Text(Call(parser(), u"ParseString", {S(u"caf\u00E9<!--#\u00E9-->")})), u"caf\u00E9\u20AC");
  EXPECT_EQ(sink->regions, (std::vector<Region>{{5, 11, "<!--#\xE9-->"}}));
  point->Unadvise(cookie);
}

TEST_F(TextParserTest, NulEndsStringsAndMarks) {
  EXPECT_EQ(Text(Call(parser(), u"ParseString", {S(std::u16string(u"ab\0cd", 5))})), u"ab");
  ASSERT_TRUE(PutMember(parser(), u"StartMark", {}, S(std::u16string(u"[\0x", 3))).ok());
  EXPECT_EQ(Text(Call(parser(), u"StartMark")), u"[");
}

TEST_F(TextParserTest, ParseFileReadsTheFileUpToItsFirstNul) {
  Variant function;
  function.vt = VT_I8;
  function.llVal = reinterpret_cast<intptr_t>(&RecordingCallback);
  ASSERT_TRUE(Call(parser(), u"SetParseCallback", {function, Variant::FromI4('F')}).ok());
  using namespace std::string_literals;
  std::string path = WriteFile("page.shtml", "<p><!--#echo var-->\r\n</p>\0<!--#hidden-->"s);
  EXPECT_EQ(Text(Call(parser(), u"ParseFile", {Variant::FromString(BytesToText(path, CP_UTF8))})),
            u"<p>[F]\r\n</p>");
  EXPECT_EQ(g_callback_regions.size(), 1u);
}

TEST_F(TextParserTest, FileThatCannotBeOpenedGivesEmptyAndKeepsTheContent) {
  ASSERT_TRUE(Call(parser(), u"ParseString", {S(u"kept")}).ok());
  std::string fifo = WriteFile("placeholder", "") + ".fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {std::string("/nonexistent/file.txt"), folder_, fifo}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(Text(Call(parser(), u"ParseFile", {Variant::FromString(BytesToText(path, CP_UTF8))})), u"");
    EXPECT_EQ(Text(Call(parser(), u"Content")), u"kept");
  }
}

TEST_F(TextParserTest, ParserSaysItsClass) {
  ComPtr<IPersist> persist = ComPtr<IDispatch>(parser()).As<IPersist>(IID_IPersist);
  ASSERT_TRUE(persist);
  CLSID clsid{};
  ASSERT_EQ(persist->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(clsid == wendrel_ids::ClassId(wendrel_ids::kTextParser));
}

}  // namespace
