// The JScript module as hosts find it: registered under "JScript" and "JavaScript" with the
// threading model Both, created by ProgID, and running a page as the ASP host drives an engine
// (a template engine per language, a clone per run with more items, the page's generated
// script with lines ending in CR, Response.End ending the run without error).
#include <gtest/gtest.h>

#include "platform/automation/conversion.h"
#include "platform/com/creation.h"
#include "platform/com/dispatch_object.h"
#include "platform/com/guid.h"
#include "platform/system/registry.h"
#include "tests/platform/jscript/jscript_test_site.h"
#include "tests/support/temporary_registry.h"

namespace {

using jscript_test::JScriptTestSite;
using jscript_test::Narrow;
using jscript_test::Widen;

TEST(JScriptModule, IsRegisteredUnderBothProgIdsWithThreadingModelBoth) {
  TemporaryRegistry registry;
  ASSERT_TRUE(RegisterModuleFile(u"" JSCRIPT_MODULE_PATH_U).ok());
  CLSID jscript{};
  CLSID javascript{};
  ASSERT_EQ(CLSIDFromProgID(u"JScript", &jscript), S_OK);
  ASSERT_EQ(CLSIDFromProgID(u"javascript", &javascript), S_OK);
  EXPECT_EQ(jscript, javascript);
  std::u16string clsid_key = u"CLSID\\" + GuidToString(jscript);
  RegistryKey server = RegistryKey::Open(RegistryHive::ClassesRoot, clsid_key + u"\\InprocServer32").value();
  EXPECT_EQ(server.Query(u"ThreadingModel").value().text, u"Both");
  RegistryKey prog_id = RegistryKey::Open(RegistryHive::ClassesRoot, clsid_key + u"\\ProgID").value();
  EXPECT_EQ(prog_id.Query(u"").value().text, u"JScript");

  ComPtr<IActiveScript> engine;
  ASSERT_EQ(CoCreateInstance(jscript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                             reinterpret_cast<void**>(engine.Receive())),
            S_OK);
  JScriptTestSite site;
  engine->SetScriptSite(&site);
  engine->AddNamedItem(u"Out", SCRIPTITEM_ISVISIBLE);
  ComPtr<IActiveScriptParse> parse = engine.As<IActiveScriptParse>(IID_IActiveScriptParse);
  parse->ParseScriptText(u"Out.Write(ScriptEngine());", nullptr, nullptr, nullptr, 0, 0, 0, nullptr, nullptr);
  engine->SetScriptState(SCRIPTSTATE_STARTED);
  EXPECT_EQ(Narrow(site.out().text), "JScript");
  engine->Close();
}

// The page's Response: WritePart writes a range of the page text, End ends the page.
class PageResponse : public DispatchObject<PageResponse> {
 public:
  explicit PageResponse(std::string page) : page_(std::move(page)) {}
  static std::span<const DispatchMember<PageResponse>> Members() {
    static constexpr DispatchMember<PageResponse> kMembers[] = {
        {u"WritePart", 1, kMethod, 2, 2, &PageResponse::WritePart},
        {u"Write", 2, kMethod, 1, 1, &PageResponse::Write},
        {u"End", 3, kMethod, 0, 0, &PageResponse::End},
    };
    return kMembers;
  }
  std::string body;

 private:
  Result<Variant> WritePart(const DispatchArguments& arguments) {
    int32_t from = TRY(ToInt32(arguments[0]));
    int32_t to = TRY(ToInt32(arguments[1]));
    body += page_.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
    return Variant();
  }
  Result<Variant> Write(const DispatchArguments& arguments) {
    body += Narrow(TRY(ToBstr(arguments[0])).view());
    return Variant();
  }
  Result<Variant> End(const DispatchArguments&) { return Error::FromHresult(SCRIPT_E_STOP_WITHOUT_ERROR); }

  std::string page_;
};

// Drives engines as the ASP host does for one page.
class AspHost {
 public:
  static constexpr DWORD kIntrinsic = SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISPERSISTENT;  // 0x42
  static constexpr DWORD kSessionObject = SCRIPTITEM_ISVISIBLE | SCRIPTITEM_NOCODE;    // 0x402
  static constexpr DWORD kPageText = SCRIPTTEXT_ISVISIBLE | SCRIPTTEXT_ISPERSISTENT |
                                     SCRIPTTEXT_HOSTMANAGESSOURCE;                     // 0xC2

  AspHost() : template_(CreateJScriptEngine()) {
    template_->SetScriptSite(&template_site_);
    for (const char16_t* name : {u"Server", u"Request", u"Response", u"Application", u"Session"}) {
      template_->AddNamedItem(name, kIntrinsic);
    }
  }
  ~AspHost() {
    if (cached_) cached_->Close();
    template_->Close();
  }
  JScriptTestSite& site() { return site_; }
  HRESULT last_start() const { return last_start_; }

  // One run: a clone with the page's Response and a session object; the page script parsed
  // into the first clone and shared by the later ones.
  std::string Run(PageResponse* response, std::u16string_view script) {
    JScriptTestSite* site = &site_;
    site->errors.clear();
    site->extra_items[u"Response"] = response;
    site->extra_items[u"Basket"] = response;
    IActiveScript* raw = nullptr;
    ComPtr<IActiveScript> source = cached_ ? cached_ : template_;
    EXPECT_EQ(source->Clone(&raw), S_OK);
    ComPtr<IActiveScript> clone = ComPtr<IActiveScript>::Adopt(raw);
    EXPECT_EQ(clone->SetScriptSite(site), S_OK);
    clone->AddNamedItem(u"Basket", kSessionObject);
    if (!cached_) {
      ComPtr<IActiveScriptParse> parse = clone.As<IActiveScriptParse>(IID_IActiveScriptParse);
      EXPECT_EQ(parse->InitNew(), S_OK);
      std::u16string text(script);
      parse->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr, 0, 0, kPageText, nullptr, nullptr);
    }
    last_start_ = clone->SetScriptState(SCRIPTSTATE_STARTED);
    clone->SetScriptState(SCRIPTSTATE_INITIALIZED);
    if (cached_) cached_->Close();
    cached_ = clone;
    return response->body;
  }

 private:
  JScriptTestSite template_site_;
  JScriptTestSite site_;  // the worker's host, which outlives its engines
  ComPtr<IActiveScript> template_;
  ComPtr<IActiveScript> cached_;
  HRESULT last_start_ = S_OK;
};

TEST(JScriptAspFlow, APageRunsAgainFromItsCachedCloneAndEndsAtResponseEnd) {
  std::string page = "<html>Hello <% var x = 6 * 7 %><%= x %>!<% Response.End() %> not sent</html>";
  size_t bang = page.find('!');
  size_t tail = page.find(" not sent");
  std::string script = "Response.WritePart(0,12);\rvar x = 6 * 7; Basket.Write('');\rResponse.Write (x);\r"
                       "Response.WritePart(" + std::to_string(bang) + "," + std::to_string(bang + 1) +
                       ");\rResponse.End();\rResponse.WritePart(" + std::to_string(tail) + "," +
                       std::to_string(page.size()) + ");\r";
  AspHost host;
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE(run);
    ComPtr<PageResponse> response = MakeObject<PageResponse>(page);
    EXPECT_EQ(host.Run(response.get(), Widen(script)), "<html>Hello 42!");
    EXPECT_EQ(host.last_start(), S_OK);
    EXPECT_TRUE(host.site().errors.empty());
  }
}

TEST(JScriptAspFlow, AScriptErrorNamesTheLineOfTheGeneratedScript) {
  AspHost host;
  ComPtr<PageResponse> response = MakeObject<PageResponse>("page text");
  host.Run(response.get(), u"Response.WritePart(0,4);\rResponse.Write (1);\rResponse.Write (missing);\r");
  EXPECT_EQ(response->body, "page1");
  EXPECT_EQ(host.last_start(), SCRIPT_E_REPORTED);
  JScriptTestSite& site = host.site();
  ASSERT_EQ(site.errors.size(), 1u);
  EXPECT_EQ(site.errors[0].line, 2u);
  EXPECT_EQ(site.errors[0].line_text, "Response.Write (missing);");
  EXPECT_EQ(site.errors[0].description, "'missing' is undefined");
}

}  // namespace
