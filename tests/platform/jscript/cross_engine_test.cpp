// A page in two languages, wired the way a host wires it: each engine gets the other's global
// dispatch as a global-members named item, so VBScript code calls JScript functions by name and
// JScript code calls VBScript procedures.
#include <gtest/gtest.h>

#include "platform/vbscript/engine.h"
#include "tests/platform/jscript/jscript_test_site.h"

namespace {

using jscript_test::JScriptTestSite;
using jscript_test::Narrow;
using jscript_test::Widen;

class MixedPage {
 public:
  MixedPage() : vbscript_(CreateVBScriptEngine()), jscript_(CreateJScriptEngine()) {
    Wire(vbscript_.get(), &vbscript_site_, jscript_.get(), u"JScriptCode");
    Wire(jscript_.get(), &jscript_site_, vbscript_.get(), u"VBScriptCode");
  }
  ~MixedPage() {
    jscript_->Close();
    vbscript_->Close();
    vbscript_site_.extra_items.clear();
    jscript_site_.extra_items.clear();
  }

  HRESULT ParseVBScript(std::string_view text) { return Parse(vbscript_.get(), text); }
  HRESULT ParseJScript(std::string_view text) { return Parse(jscript_.get(), text); }
  // Script blocks of the second language define procedures; they start first.
  HRESULT Start() {
    HRESULT hr = jscript_->SetScriptState(SCRIPTSTATE_STARTED);
    if (FAILED(hr)) return hr;
    return vbscript_->SetScriptState(SCRIPTSTATE_STARTED);
  }
  std::string vbscript_output() const { return Narrow(vbscript_site_.out().text); }
  std::string jscript_output() const { return Narrow(jscript_site_.out().text); }
  JScriptTestSite& vbscript_site() { return vbscript_site_; }
  JScriptTestSite& jscript_site() { return jscript_site_; }

 private:
  void Wire(IActiveScript* engine, JScriptTestSite* site, IActiveScript* other, std::u16string item) {
    engine->SetScriptSite(site);
    ComPtr<IActiveScriptParse> parse = ComPtr<IActiveScript>(engine).As<IActiveScriptParse>(IID_IActiveScriptParse);
    parse->InitNew();
    engine->AddNamedItem(u"Out", SCRIPTITEM_ISVISIBLE);
    IDispatch* globals = nullptr;
    other->GetScriptDispatch(nullptr, &globals);
    dispatches_.push_back(ComPtr<IDispatch>::Adopt(globals));
    site->extra_items[item] = globals;
    engine->AddNamedItem(item.c_str(), SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS);
  }
  static HRESULT Parse(IActiveScript* engine, std::string_view text) {
    ComPtr<IActiveScriptParse> parse = ComPtr<IActiveScript>(engine).As<IActiveScriptParse>(IID_IActiveScriptParse);
    std::u16string wide = Widen(text);
    return parse->ParseScriptText(wide.c_str(), nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE, nullptr,
                                  nullptr);
  }

  JScriptTestSite vbscript_site_;
  JScriptTestSite jscript_site_;
  ComPtr<IActiveScript> vbscript_;
  ComPtr<IActiveScript> jscript_;
  std::vector<ComPtr<IDispatch>> dispatches_;
};

TEST(MixedLanguages, EachLanguageCallsTheOthersFunctions) {
  MixedPage page;
  page.ParseJScript("function jsTwice(x) { return x * 2; }\nfunction jsViaVb(x) { return VbAddOne(x) + 1; }");
  page.ParseVBScript("Function VbAddOne(x)\n  VbAddOne = x + 1\nEnd Function\n"
                     "Out.Write jsTwice(5) & \" \" & jsViaVb(10) & \" \" & JSTWICE(1)");
  EXPECT_EQ(page.Start(), S_OK);
  EXPECT_EQ(page.vbscript_output(), "10 12 2");
  EXPECT_EQ(page.ParseJScript("Out.Write(VbAddOne(41) + ' ' + vbaddone(1));"), S_OK);
  EXPECT_EQ(page.jscript_output(), "42 2");
  EXPECT_TRUE(page.vbscript_site().errors.empty());
  EXPECT_TRUE(page.jscript_site().errors.empty());
}

TEST(MixedLanguages, CallsNestThroughBothEngines) {
  MixedPage page;
  page.ParseJScript("function jsTwice(x) { return x * 2; }");
  page.ParseVBScript("Function VbCallsJs(x)\n  VbCallsJs = jsTwice(x) + 1\nEnd Function");
  EXPECT_EQ(page.Start(), S_OK);
  EXPECT_EQ(page.ParseJScript("Out.Write(VbCallsJs(3) + VbCallsJs(VbCallsJs(1)));"), S_OK);
  EXPECT_EQ(page.jscript_output(), "14");
}

TEST(MixedLanguages, EndlessRecursionThroughBothEnginesIsAnErrorNotACrash) {
  MixedPage page;
  page.ParseJScript("function jsDown(n) { return VbDown(n) + 1; }");
  page.ParseVBScript("Function VbDown(n)\n  VbDown = jsDown(n)\nEnd Function");
  EXPECT_EQ(page.Start(), S_OK);
  EXPECT_EQ(page.ParseJScript("try { jsDown(0); } catch (e) { Out.Write(e.number & 0xFFFF); }"), S_OK);
  EXPECT_EQ(page.jscript_output(), "28");
}

TEST(MixedLanguages, ValuesCrossBothWays) {
  MixedPage page;
  page.ParseJScript("function jsDescribe(v) { return typeof v + ':' + v; }\n"
                    "function jsMake() { return {name: 'made in js'}; }\nfunction jsList() { return [1, 2, 3]; }");
  page.ParseVBScript("Out.Write jsDescribe(\"text\") & \" \" & jsDescribe(1.5) & \" \" & jsDescribe(True) & "
                     "\" \" & jsDescribe(Empty)\nSet o = jsMake()\nOut.Write \" \" & o.name & \" \" & TypeName(o)\n"
                     "For Each v In jsList()\n  Out.Write \" \" & v\nNext");
  EXPECT_EQ(page.Start(), S_OK);
  EXPECT_EQ(page.vbscript_output(), "string:text number:1.5 boolean:true undefined:undefined made in js "
                                    "JScriptTypeInfo 1 2 3");
}

TEST(MixedLanguages, ErrorsCrossAsErrorsWithTheirNumbers) {
  MixedPage page;
  page.ParseJScript("function jsFails() { throw new Error(1234, 'from js'); }\n"
                    "function jsCatches() { try { VbFails(); } catch (e) { return (e.number & 0xFFFF) + ' ' + "
                    "e.description; } }");
  page.ParseVBScript("Sub VbFails()\n  Err.Raise 5\nEnd Sub\nOn Error Resume Next\njsFails\n"
                     "Out.Write Err.Number & \" \" & Err.Description\nErr.Clear\nOn Error Goto 0\n"
                     "Out.Write \" / \" & jsCatches()");
  EXPECT_EQ(page.Start(), S_OK);
  EXPECT_EQ(page.vbscript_output(), "1234 from js / 5 Invalid procedure call or argument");
}

TEST(MixedLanguages, ErrorsKeepTheirNumbersThroughNestedCalls) {
  MixedPage page;
  page.ParseJScript("function jsFails() { throw new Error(1234, 'from js'); }");
  page.ParseVBScript("Function VbCallsJsFails()\n  VbCallsJsFails = jsFails()\nEnd Function");
  EXPECT_EQ(page.Start(), S_OK);
  page.ParseJScript("try { VbCallsJsFails(); } catch (e) { Out.Write(e.number + ' ' + e.description); }");
  EXPECT_EQ(page.jscript_output(), "1234 from js");
}

TEST(MixedLanguages, AStopInJScriptEndsTheVBScriptCallerToo) {
  MixedPage page;
  page.ParseJScript("function jsEnd() { Out.Write('js'); Out.Stop(); Out.Write('not js'); }");
  page.ParseVBScript("Out.Write \"vb \"\njsEnd\nOut.Write \"not vb\"");
  EXPECT_EQ(page.Start(), S_OK);
  EXPECT_EQ(page.vbscript_output(), "vb ");
  EXPECT_EQ(page.jscript_output(), "js");
  EXPECT_TRUE(page.vbscript_site().errors.empty());
  EXPECT_TRUE(page.jscript_site().errors.empty());
}

}  // namespace
