// The engine object as hosts use it: states, parsing before and after the start, persistent
// texts and clones, named items, error reports, the global dispatch, interruption and locales.
#include "platform/jscript/engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/automation/dispatch_call.h"
#include "platform/automation/locale.h"
#include "platform/com/object_type_name.h"
#include "tests/platform/jscript/jscript_test_site.h"

namespace {

using jscript_test::JScriptHarness;
using jscript_test::Narrow;
using jscript_test::TestSite;
using jscript_test::Widen;

HRESULT ParseText(IActiveScript* engine, std::string_view text, DWORD flags = 0, DWORD context = 0,
                  ULONG starting_line = 0, EXCEPINFO* exception = nullptr) {
  ComPtr<IActiveScriptParse> parse = ComPtr<IActiveScript>(engine).As<IActiveScriptParse>(IID_IActiveScriptParse);
  std::u16string wide = Widen(text);
  return parse->ParseScriptText(wide.c_str(), nullptr, nullptr, nullptr, context, starting_line, flags, nullptr,
                                exception);
}

TEST(JScriptEngineStates, TransitionsAreReportedToTheSite) {
  TestSite site;
  ComPtr<IActiveScript> engine = CreateJScriptEngine();
  SCRIPTSTATE state;
  engine->GetScriptState(&state);
  EXPECT_EQ(state, SCRIPTSTATE_UNINITIALIZED);
  EXPECT_EQ(engine->SetScriptSite(&site), S_OK);
  EXPECT_EQ(engine->SetScriptSite(&site), E_UNEXPECTED);
  EXPECT_EQ(engine->SetScriptState(SCRIPTSTATE_STARTED), S_OK);
  EXPECT_EQ(engine->SetScriptState(SCRIPTSTATE_INITIALIZED), S_OK);
  EXPECT_EQ(engine->Close(), S_OK);
  EXPECT_EQ(site.states, (std::vector<SCRIPTSTATE>{SCRIPTSTATE_INITIALIZED, SCRIPTSTATE_STARTED,
                                                   SCRIPTSTATE_INITIALIZED, SCRIPTSTATE_CLOSED}));
  EXPECT_EQ(engine->SetScriptState(SCRIPTSTATE_STARTED), E_UNEXPECTED);
  EXPECT_EQ(ParseText(engine.get(), "x = 1"), E_UNEXPECTED);
  EXPECT_EQ(engine->AddNamedItem(u"X", 0), E_UNEXPECTED);
}

TEST(JScriptEngineParsing, TextParsedBeforeTheStartRunsThenInParseOrder) {
  JScriptHarness harness;
  EXPECT_EQ(harness.Parse("Out.Write('a');"), S_OK);
  EXPECT_EQ(harness.Parse("Out.Write('b');"), S_OK);
  EXPECT_EQ(harness.output(), "");
  EXPECT_EQ(harness.engine()->SetScriptState(SCRIPTSTATE_STARTED), S_OK);
  EXPECT_EQ(harness.output(), "ab");
  EXPECT_EQ(harness.Parse("Out.Write('c');"), S_OK);
  EXPECT_EQ(harness.output(), "abc");
}

TEST(JScriptEngineParsing, ExpressionsEvaluateIntoTheResult) {
  JScriptHarness harness;
  harness.Run("var x = 5;");
  Variant sum = harness.Evaluate("x + 2");
  EXPECT_EQ(sum.vt, VT_I4);
  EXPECT_EQ(sum.lVal, 7);
  Variant text = harness.Evaluate("'a' + x");
  EXPECT_EQ(text.vt, VT_BSTR);
  EXPECT_EQ(Narrow(text.StringView()), "a5");
  HRESULT hr = S_OK;
  harness.Evaluate("x = = 1", &hr);
  EXPECT_EQ(hr, SCRIPT_E_REPORTED);
}

TEST(JScriptEngineParsing, SyntaxErrorsCountLinesFromTheStartingLineAndKnowTheColumn) {
  JScriptHarness harness;
  EXCEPINFO exception{};
  HRESULT hr = ParseText(harness.engine(), "var x = 1;\r\nvar y = (2 +;\r\nz = 3;", 0, 77, 10, &exception);
  EXPECT_EQ(hr, SCRIPT_E_REPORTED);
  EXPECT_EQ(exception.scode, static_cast<HRESULT>(0x800A03EA));
  EXPECT_EQ(BstrView(exception.bstrSource), u"Microsoft JScript compilation error");
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  ASSERT_EQ(harness.site().errors.size(), 1u);
  const jscript_test::ReportedErrorRecord& error = harness.last_error();
  EXPECT_EQ(error.number(), 1002);
  EXPECT_EQ(error.description, "Syntax error");
  EXPECT_EQ(error.source, "Microsoft JScript compilation error");
  EXPECT_EQ(error.source_context, 77u);
  EXPECT_EQ(error.line, 11u);
  EXPECT_EQ(error.column, 12);
  EXPECT_EQ(error.line_text, "var y = (2 +;");
}

TEST(JScriptEngineParsing, RunTimeErrorsMakeTheStartReturnReported) {
  JScriptHarness harness;
  EXPECT_EQ(harness.Parse("var x = 1;\r\r y = missing + 1;", 0, 5, 3), S_OK);
  EXPECT_EQ(harness.engine()->SetScriptState(SCRIPTSTATE_STARTED), SCRIPT_E_REPORTED);
  const jscript_test::ReportedErrorRecord& error = harness.last_error();
  EXPECT_EQ(error.scode, static_cast<HRESULT>(0x800A1391));
  EXPECT_EQ(error.description, "'missing' is undefined");
  EXPECT_EQ(error.source, "Microsoft JScript runtime error");
  EXPECT_EQ(error.source_context, 5u);
  EXPECT_EQ(error.line, 5u);
  EXPECT_EQ(error.line_text, " y = missing + 1;");
  EXPECT_EQ(harness.Parse("Out.Write(nothing.here);"), SCRIPT_E_REPORTED);
  EXPECT_EQ(harness.site().errors.size(), 2u);
  EXPECT_EQ(harness.last_error().number(), 5009);
}

TEST(JScriptEngineParsing, TheSiteHearsEnterAndLeaveAroundRuns) {
  JScriptHarness harness;
  harness.Run("var x = 1;");
  harness.Parse("var y = 2;");
  EXPECT_EQ(harness.site().enters, 2);
  EXPECT_EQ(harness.site().leaves, 2);
}

TEST(JScriptEnginePersistence, ReturningToInitializedKeepsOnlyPersistentTextsAndItems) {
  TestSite site;
  ComPtr<IActiveScript> engine = CreateJScriptEngine();
  engine->SetScriptSite(&site);
  engine->AddNamedItem(u"Out", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISPERSISTENT);
  engine->AddNamedItem(u"Items", SCRIPTITEM_ISVISIBLE);
  ParseText(engine.get(), "var count = (typeof count == 'number' ? count : 0) + 1;\nOut.Write('p' + count);",
            SCRIPTTEXT_ISPERSISTENT);
  ParseText(engine.get(), "Out.Write('n' + (typeof Items));");
  engine->SetScriptState(SCRIPTSTATE_STARTED);
  EXPECT_EQ(Narrow(site.out().text), "p1nobject");
  engine->SetScriptState(SCRIPTSTATE_INITIALIZED);
  engine->SetScriptState(SCRIPTSTATE_STARTED);
  ParseText(engine.get(), "Out.Write(typeof Items);");
  EXPECT_EQ(Narrow(site.out().text), "p1nobjectp1undefined");
  EXPECT_TRUE(site.errors.empty());
  engine->Close();
}

TEST(JScriptEngineItems, NamedItemsAreBoundOnFirstUse) {
  JScriptHarness harness;
  harness.Run("var x = 1;");
  EXPECT_EQ(harness.site().item_requests, 0);
  harness.Parse("Out.Write(1);\nOut.Write(2);");
  EXPECT_EQ(harness.site().item_requests, 1);
  EXPECT_EQ(harness.output(), "12");
}

TEST(JScriptEngineItems, UnknownItemsFailWhenUsed) {
  JScriptHarness harness;
  harness.engine()->AddNamedItem(u"Ghost", SCRIPTITEM_ISVISIBLE);
  harness.Run("var x = 1;\nGhost.Walk();");
  ASSERT_EQ(harness.site().errors.size(), 1u);
  EXPECT_EQ(harness.last_error().line, 1u);
}

TEST(JScriptEngineItems, GlobalMembersItemsLendTheirMembersAsNames) {
  TestSite site;
  ComPtr<IActiveScript> engine = CreateJScriptEngine();
  engine->SetScriptSite(&site);
  engine->AddNamedItem(u"Out", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS);
  ParseText(engine.get(),
            "Write('direct ');\nValue = 4;\nWrite(Value + ' ' + Item(3) + ' ');\n"
            "var own = 'mine'; Write(own + ' ');\n"
            "try { Write(Unknown); } catch (e) { Write(e.number & 0xFFFF); }");
  engine->SetScriptState(SCRIPTSTATE_STARTED);
  EXPECT_EQ(Narrow(site.out().text), "direct 4 6 mine 5009");
  EXPECT_TRUE(site.errors.empty());
  engine->Close();
}

// A site that also answers the debugging interface.
class DebugSite : public TestSite, public IActiveScriptSiteDebug {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IActiveScriptSiteDebug) {
      *object = static_cast<IActiveScriptSiteDebug*>(this);
      return S_OK;
    }
    return TestSite::QueryInterface(iid, object);
  }
  ULONG AddRef() override { return TestSite::AddRef(); }
  ULONG Release() override { return TestSite::Release(); }
  HRESULT OnScriptErrorDebug(IActiveScriptError*, BOOL* enter_debugger, BOOL* call_on_script_error) override {
    ++debug_calls;
    *enter_debugger = 0;
    *call_on_script_error = pass_on ? 1 : 0;
    return S_OK;
  }
  int debug_calls = 0;
  bool pass_on = false;
};

TEST(JScriptEngineErrors, ADebuggingSiteDecidesWhetherOnScriptErrorFollows) {
  for (bool pass_on : {false, true}) {
    SCOPED_TRACE(pass_on);
    DebugSite site;
    site.pass_on = pass_on;
    ComPtr<IActiveScript> engine = CreateJScriptEngine();
    engine->SetScriptSite(static_cast<TestSite*>(&site));
    ParseText(engine.get(), "null.x = 1;");
    EXPECT_EQ(engine->SetScriptState(SCRIPTSTATE_STARTED), SCRIPT_E_REPORTED);
    EXPECT_EQ(site.debug_calls, 1);
    EXPECT_EQ(site.errors.size(), pass_on ? 1u : 0u);
    engine->Close();
  }
}

// Variants laid out as the VARIANTs they derive from.
std::span<const VARIANT> Arguments(Variant* values, size_t count) {
  static_assert(sizeof(Variant) == sizeof(VARIANT));
  return {static_cast<VARIANT*>(values), count};
}

ComPtr<IDispatch> ScriptDispatch(IActiveScript* engine) {
  IDispatch* raw = nullptr;
  EXPECT_EQ(engine->GetScriptDispatch(nullptr, &raw), S_OK);
  return ComPtr<IDispatch>::Adopt(raw);
}

TEST(JScriptEngineDispatch, TheHostCallsFunctionsAndReadsAndWritesVariables) {
  JScriptHarness harness;
  harness.Run("var total = 10;\nfunction add(a, b) { return a + b + total; }");
  ComPtr<IDispatch> globals = ScriptDispatch(harness.engine());
  Variant arguments[] = {Variant::FromI2(1), Variant::FromI2(2)};
  Result<Variant> sum = CallMember(globals.get(), u"add", Arguments(arguments, 2));
  ASSERT_TRUE(sum.ok());
  EXPECT_EQ(ToInt32(sum.value()).value(), 13);
  // Hosts in case-blind languages may spell the name differently.
  EXPECT_EQ(ToInt32(CallMember(globals.get(), u"ADD", Arguments(arguments, 2)).value()).value(), 13);
  EXPECT_EQ(ToInt32(CallMember(globals.get(), u"total").value()).value(), 10);
  ASSERT_TRUE(PutMember(globals.get(), u"total", {}, Variant::FromI2(100)).ok());
  EXPECT_EQ(ToInt32(CallMember(globals.get(), u"add", Arguments(arguments, 2)).value()).value(), 103);
  EXPECT_FALSE(GetDispatchId(globals.get(), u"NoSuchName").ok());
  EXPECT_FALSE(GetDispatchId(globals.get(), u"Out").ok());
  EXPECT_FALSE(GetDispatchId(globals.get(), u"Math").ok());
}

TEST(JScriptEngineDispatch, FailuresOfCalledFunctionsAreReportedAndReturned) {
  JScriptHarness harness;
  harness.Run("function broken() {\n  return missing;\n}");
  ComPtr<IDispatch> globals = ScriptDispatch(harness.engine());
  Result<Variant> outcome = CallMember(globals.get(), u"broken");
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 5009);
  EXPECT_EQ(outcome.error().Description(), u"'missing' is undefined");
  ASSERT_EQ(harness.site().errors.size(), 1u);
  EXPECT_EQ(harness.last_error().line, 1u);
}

TEST(JScriptEngineDispatch, FunctionsHandedToTheHostCanBeCalledByIt) {
  JScriptHarness harness;
  harness.Run("var factor = 3;\nOut.Value = function (x) { return x * x * factor; };");
  Result<Variant> reference = CallMember(&harness.site().out(), u"Value");
  ASSERT_TRUE(reference.ok());
  ASSERT_EQ(reference.value().vt, VT_DISPATCH);
  Variant seven = Variant::FromI2(7);
  Result<Variant> result = InvokeDispatch(reference.value().pdispVal, DISPID_VALUE, DISPATCH_METHOD, Arguments(&seven, 1));
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(ToInt32(result.value()).value(), 147);
  EXPECT_EQ(ObjectTypeName(reference.value().pdispVal), u"JScriptTypeInfo");
}

TEST(JScriptEngineDispatch, ScriptObjectsOutliveTheirRunOnlyAsFailures) {
  Variant callback;
  {
    JScriptHarness harness;
    harness.Run("Out.Value = function () { return 1; };");
    callback = CallMember(&harness.site().out(), u"Value").value();
    harness.engine()->SetScriptState(SCRIPTSTATE_INITIALIZED);
  }
  Result<Variant> result = InvokeDispatch(callback.pdispVal, DISPID_VALUE, DISPATCH_METHOD);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().Number(), 5011);
}

TEST(JScriptEngineClones, ClonesShareCodeButNotGlobals) {
  TestSite template_site;
  ComPtr<IActiveScript> engine = CreateJScriptEngine();
  engine->SetScriptSite(&template_site);
  engine->AddNamedItem(u"Out", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISPERSISTENT);
  ParseText(engine.get(), "var hits = (typeof hits == 'number' ? hits : 0) + 1;\nOut.Write('hit' + hits);",
            SCRIPTTEXT_ISPERSISTENT);
  ParseText(engine.get(), "Out.Write('not persistent');");
  for (int i = 0; i < 2; ++i) {
    IActiveScript* raw = nullptr;
    ASSERT_EQ(engine->Clone(&raw), S_OK);
    ComPtr<IActiveScript> clone = ComPtr<IActiveScript>::Adopt(raw);
    SCRIPTSTATE state;
    clone->GetScriptState(&state);
    EXPECT_EQ(state, SCRIPTSTATE_INITIALIZED);
    TestSite site;
    clone->SetScriptSite(&site);
    EXPECT_EQ(clone->SetScriptState(SCRIPTSTATE_STARTED), S_OK);
    EXPECT_EQ(Narrow(site.out().text), "hit1");
    EXPECT_EQ(site.item_requests, 1);
    clone->Close();
  }
  EXPECT_EQ(Narrow(template_site.out().text), "");
  engine->Close();
}

TEST(JScriptEngineClones, ClonesCanBeMadeAndRunOnOtherThreads) {
  TestSite template_site;
  ComPtr<IActiveScript> engine = CreateJScriptEngine();
  engine->SetScriptSite(&template_site);
  engine->AddNamedItem(u"Out", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISPERSISTENT);
  ParseText(engine.get(),
            "function Acc() { this.sum = 0; }\nAcc.prototype.add = function (x) { this.sum += x; };\n"
            "var a = new Acc();\nfor (var i = 1; i <= 1000; i++) a.add(i);\nOut.Write(a.sum);",
            SCRIPTTEXT_ISPERSISTENT);
  constexpr int kThreads = 4;
  std::vector<std::string> outputs(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 5; ++round) {
        IActiveScript* raw = nullptr;
        if (FAILED(engine->Clone(&raw))) return;
        ComPtr<IActiveScript> clone = ComPtr<IActiveScript>::Adopt(raw);
        TestSite site;
        clone->SetScriptSite(&site);
        clone->SetScriptState(SCRIPTSTATE_STARTED);
        outputs[t] += Narrow(site.out().text) + ";";
        clone->Close();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::string& output : outputs) EXPECT_EQ(output, "500500;500500;500500;500500;500500;");
  engine->Close();
}

// Interrupts the harness's engine every few milliseconds until the run it waits for is over
// (an interrupt that comes before the run starts is forgotten by it).
class Interrupter {
 public:
  Interrupter(IActiveScript* engine, const EXCEPINFO* exception)
      : thread_([this, engine, exception] {
          while (!done_.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            engine->InterruptScriptThread(SCRIPTTHREADID_ALL, exception, 0);
          }
        }) {}
  ~Interrupter() {
    done_.store(true);
    thread_.join();
  }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

TEST(JScriptEngineInterrupt, AnotherThreadCanStopARunningScriptThatCatchesEverything) {
  JScriptHarness harness;
  harness.Parse("Out.Write('start');\nfor (;;) { try { for (;;) {} } catch (e) { Out.Write('caught'); } "
                "finally { Out.Write('finally'); } }");
  HRESULT hr;
  {
    Interrupter interrupter(harness.engine(), nullptr);
    hr = harness.engine()->SetScriptState(SCRIPTSTATE_STARTED);
  }
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(harness.output(), "start");
  EXPECT_TRUE(harness.site().errors.empty());
}

TEST(JScriptEngineInterrupt, AnInterruptWithAnExceptionIsReportedAsThatError) {
  JScriptHarness harness;
  harness.Parse("function spin() { for (;;) {} }\nspin();\nOut.Write('not reached');");
  EXCEPINFO exception{};
  exception.scode = static_cast<SCODE>(0x80040001);
  exception.bstrDescription = SysAllocString(u"Script timed out");
  exception.bstrSource = SysAllocString(u"Host");
  HRESULT hr;
  {
    Interrupter interrupter(harness.engine(), &exception);
    hr = harness.engine()->SetScriptState(SCRIPTSTATE_STARTED);
  }
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  EXPECT_EQ(hr, SCRIPT_E_REPORTED);
  EXPECT_EQ(harness.output(), "");
  ASSERT_EQ(harness.site().errors.size(), 1u);
  EXPECT_EQ(harness.last_error().description, "Script timed out");
  EXPECT_EQ(harness.last_error().scode, static_cast<HRESULT>(0x80040001));
}

TEST(JScriptEngineInterrupt, AHostStopEndsTheRunWithoutErrorAndWithoutCatchOrFinally) {
  JScriptHarness harness;
  EXPECT_EQ(harness.Run("try { Out.Write('a'); Out.Stop(); Out.Write('b'); }\n"
                        "catch (e) { Out.Write('caught'); } finally { Out.Write('finally'); }\nOut.Write('c');"),
            S_OK);
  EXPECT_EQ(harness.output(), "a");
  EXPECT_TRUE(harness.site().errors.empty());
  // The next text runs normally.
  EXPECT_EQ(harness.Parse("Out.Write('next');"), S_OK);
  EXPECT_EQ(harness.output(), "anext");
}

TEST(JScriptEngineLocale, TheSitesLocaleIsTheThreadsDuringTheRun) {
  JScriptHarness harness;
  harness.site().set_lcid(1031);
  LCID before = GetThreadLocale();
  harness.Run("Out.Write(1.5);");
  EXPECT_EQ(harness.output(), "1,5");
  EXPECT_EQ(GetThreadLocale(), before);
}

TEST(JScriptEngineThreads, TheScriptThreadIsTheRunningOne) {
  JScriptHarness harness;
  harness.Run("var x = 1;");
  SCRIPTTHREADID thread = 0;
  EXPECT_EQ(harness.engine()->GetCurrentScriptThreadID(&thread), S_OK);
  EXPECT_NE(thread, 0u);
}

}  // namespace
