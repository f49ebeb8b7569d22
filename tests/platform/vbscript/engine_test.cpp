// The engine object as hosts use it: states, parsing before and after the start, persistent code
// and clones, named items, error reports, the global dispatch, interruption and locales.
#include "platform/vbscript/engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/automation/dispatch_call.h"
#include "platform/automation/locale.h"
#include "platform/vbscript/interpreter.h"
#include "platform/vbscript/compiler.h"
#include "tests/platform/vbscript/script_test_site.h"

namespace {

using vbscript_test::Narrow;
using vbscript_test::ScriptHarness;
using vbscript_test::TestSite;
using vbscript_test::Widen;

// Variants laid out as the VARIANTs they derive from.
std::span<const VARIANT> Arguments(Variant* values, size_t count) {
  static_assert(sizeof(Variant) == sizeof(VARIANT));
  return {static_cast<VARIANT*>(values), count};
}

HRESULT ParseText(IActiveScript* engine, std::string_view text, DWORD flags = 0, DWORD context = 0,
                  ULONG starting_line = 0, EXCEPINFO* exception = nullptr) {
  ComPtr<IActiveScriptParse> parse = ComPtr<IActiveScript>(engine).As<IActiveScriptParse>(IID_IActiveScriptParse);
  std::u16string wide = Widen(text);
  return parse->ParseScriptText(wide.c_str(), nullptr, nullptr, nullptr, context, starting_line, flags, nullptr,
                                exception);
}

TEST(EngineStates, TransitionsAreReportedToTheSite) {
  TestSite site;
  ComPtr<IActiveScript> engine = CreateVBScriptEngine();
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

TEST(EngineStates, InterfacesAnswerEachOther) {
  ComPtr<IActiveScript> engine = CreateVBScriptEngine();
  ComPtr<IActiveScriptParse> parse = engine.As<IActiveScriptParse>(IID_IActiveScriptParse);
  ASSERT_TRUE(parse);
  ComPtr<IActiveScript> back = parse.As<IActiveScript>(IID_IActiveScript);
  EXPECT_EQ(back.get(), engine.get());
  EXPECT_FALSE(engine.As<IDispatch>(IID_IDispatch));
}

TEST(EngineParsing, CodeParsedBeforeTheStartRunsThenInParseOrder) {
  ScriptHarness harness;
  EXPECT_EQ(harness.Parse("Out.Write \"a\" & Later()"), S_OK);
  EXPECT_EQ(harness.Parse("Out.Write \"b\"\nFunction Later()\n Later = \"!\"\nEnd Function"), S_OK);
  EXPECT_EQ(harness.output(), "");
  EXPECT_EQ(harness.engine()->SetScriptState(SCRIPTSTATE_STARTED), S_OK);
  EXPECT_EQ(harness.output(), "a!b");
  EXPECT_EQ(harness.Parse("Out.Write \"c\""), S_OK);
  EXPECT_EQ(harness.output(), "a!bc");
}

TEST(EngineParsing, ExpressionsEvaluateIntoTheResult) {
  ScriptHarness harness;
  harness.Run("x = 5");
  Variant sum = harness.Evaluate("x + 2");
  EXPECT_EQ(sum.vt, VT_I2);
  EXPECT_EQ(sum.iVal, 7);
  Variant comparison = harness.Evaluate("x = 5");
  EXPECT_EQ(comparison.vt, VT_BOOL);
  EXPECT_EQ(comparison.boolVal, VARIANT_TRUE);
  HRESULT hr = S_OK;
  harness.Evaluate("x = = 1", &hr);
  EXPECT_EQ(hr, SCRIPT_E_REPORTED);
}

TEST(EngineParsing, CompileErrorsCountLinesFromTheStartingLine) {
  ScriptHarness harness;
  EXCEPINFO exception{};
  HRESULT hr = ParseText(harness.engine(), "x = 1\ny = (2 +\nz = 3", 0, 77, 10, &exception);
  EXPECT_EQ(hr, SCRIPT_E_REPORTED);
  EXPECT_EQ(exception.scode, static_cast<HRESULT>(0x800A03EA));
  EXPECT_EQ(BstrView(exception.bstrSource), u"Microsoft VBScript compilation error");
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  ASSERT_EQ(harness.site().errors.size(), 1u);
  const vbscript_test::ReportedErrorRecord& error = harness.last_error();
  EXPECT_EQ(error.number(), 1002);
  EXPECT_EQ(error.description, "Syntax error");
  EXPECT_EQ(error.source, "Microsoft VBScript compilation error");
  EXPECT_EQ(error.source_context, 77u);
  EXPECT_EQ(error.line, 11u);
  EXPECT_EQ(error.column, 8);
  EXPECT_EQ(error.line_text, "y = (2 +");
}

TEST(EngineParsing, RunTimeErrorsMakeTheStartReturnReported) {
  ScriptHarness harness;
  EXPECT_EQ(harness.Parse("x = 1\n\ny = 1 / 0", 0), S_OK);
  EXPECT_EQ(harness.engine()->SetScriptState(SCRIPTSTATE_STARTED), SCRIPT_E_REPORTED);
  EXPECT_EQ(harness.last_error().line, 2u);
  EXPECT_EQ(harness.Parse("Out.Write 1 / 0"), SCRIPT_E_REPORTED);
  EXPECT_EQ(harness.site().errors.size(), 2u);
}

TEST(EngineParsing, TheSiteHearsEnterAndLeaveAroundRuns) {
  ScriptHarness harness;
  harness.Run("x = 1");
  harness.Parse("y = 2");
  EXPECT_EQ(harness.site().enters, 2);
  EXPECT_EQ(harness.site().leaves, 2);
}

TEST(EnginePersistence, ReturningToInitializedKeepsOnlyPersistentCodeAndItems) {
  TestSite site;
  ComPtr<IActiveScript> engine = CreateVBScriptEngine();
  engine->SetScriptSite(&site);
  engine->AddNamedItem(u"Out", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISPERSISTENT);
  engine->AddNamedItem(u"Items", SCRIPTITEM_ISVISIBLE);
  ParseText(engine.get(), "count = count + 1\nOut.Write \"p\" & count", SCRIPTTEXT_ISPERSISTENT);
  ParseText(engine.get(), "Out.Write \"n\" & IsObject(Items)");
  engine->SetScriptState(SCRIPTSTATE_STARTED);
  EXPECT_EQ(Narrow(site.out().text), "p1nTrue");
  engine->SetScriptState(SCRIPTSTATE_INITIALIZED);
  engine->SetScriptState(SCRIPTSTATE_STARTED);
  ParseText(engine.get(), "Out.Write IsObject(Items)");
  EXPECT_EQ(Narrow(site.out().text), "p1nTruep1False");
  EXPECT_TRUE(site.errors.empty());
  engine->Close();
}

TEST(EngineItems, NamedItemsAreBoundOnFirstUse) {
  ScriptHarness harness;
  harness.Run("x = 1");
  EXPECT_EQ(harness.site().item_requests, 0);
  harness.Parse("Out.Write 1\nOut.Write 2");
  EXPECT_EQ(harness.site().item_requests, 1);
  EXPECT_EQ(harness.output(), "12");
}

TEST(EngineItems, UnknownItemsFailWhenUsed) {
  ScriptHarness harness;
  harness.engine()->AddNamedItem(u"Ghost", SCRIPTITEM_ISVISIBLE);
  harness.Run("x = 1\nGhost.Walk");
  ASSERT_EQ(harness.site().errors.size(), 1u);
  EXPECT_EQ(harness.last_error().line, 1u);
}

TEST(EngineItems, GlobalMembersItemsLendTheirMembersAsNames) {
  TestSite site;
  ComPtr<IActiveScript> engine = CreateVBScriptEngine();
  engine->SetScriptSite(&site);
  engine->AddNamedItem(u"Out", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS);
  ParseText(engine.get(), "Write \"direct \"\nValue = 4\nWrite Value & \" \" & Item(3)\nWrite IsEmpty(Unknown)");
  engine->SetScriptState(SCRIPTSTATE_STARTED);
  EXPECT_EQ(Narrow(site.out().text), "direct 4 6True");
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

TEST(EngineErrors, ADebuggingSiteDecidesWhetherOnScriptErrorFollows) {
  for (bool pass_on : {false, true}) {
    SCOPED_TRACE(pass_on);
    DebugSite site;
    site.pass_on = pass_on;
    ComPtr<IActiveScript> engine = CreateVBScriptEngine();
    engine->SetScriptSite(static_cast<TestSite*>(&site));
    ParseText(engine.get(), "x = 1 / 0");
    EXPECT_EQ(engine->SetScriptState(SCRIPTSTATE_STARTED), SCRIPT_E_REPORTED);
    EXPECT_EQ(site.debug_calls, 1);
    EXPECT_EQ(site.errors.size(), pass_on ? 1u : 0u);
    engine->Close();
  }
}

TEST(EngineDispatch, TheHostCallsFunctionsAndReadsAndWritesVariables) {
  ScriptHarness harness;
  harness.Run("Dim total\ntotal = 10\nFunction Add(a, b)\n Add = a + b + total\nEnd Function\n"
              "Sub Bump(ByRef v)\n v = v + 1\nEnd Sub");
  IDispatch* raw = nullptr;
  ASSERT_EQ(harness.engine()->GetScriptDispatch(nullptr, &raw), S_OK);
  ComPtr<IDispatch> globals = ComPtr<IDispatch>::Adopt(raw);

  Variant arguments[] = {Variant::FromI2(1), Variant::FromI2(2)};
  Result<Variant> sum = CallMember(globals.get(), u"Add", Arguments(arguments, 2));
  ASSERT_TRUE(sum.ok());
  EXPECT_EQ(ToInt32(sum.value()).value(), 13);

  EXPECT_EQ(ToInt32(CallMember(globals.get(), u"total").value()).value(), 10);
  ASSERT_TRUE(PutMember(globals.get(), u"total", {}, Variant::FromI2(100)).ok());
  EXPECT_EQ(ToInt32(CallMember(globals.get(), u"Add", Arguments(arguments, 2)).value()).value(), 103);

  Variant counter = Variant::FromI4(41);
  Variant reference = Variant::RefTo(&counter);
  ASSERT_TRUE(CallMember(globals.get(), u"Bump", Arguments(&reference, 1)).ok());
  EXPECT_EQ(counter.lVal, 42);

  EXPECT_FALSE(GetDispatchId(globals.get(), u"NoSuchName").ok());
  EXPECT_FALSE(GetDispatchId(globals.get(), u"Out").ok());
}

TEST(EngineDispatch, FailuresOfCalledProceduresAreReportedAndReturned) {
  ScriptHarness harness;
  harness.Run("Sub Broken\n x = 1 / 0\nEnd Sub");
  IDispatch* raw = nullptr;
  harness.engine()->GetScriptDispatch(nullptr, &raw);
  ComPtr<IDispatch> globals = ComPtr<IDispatch>::Adopt(raw);
  Result<Variant> outcome = CallMember(globals.get(), u"Broken");
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 11);
  ASSERT_EQ(harness.site().errors.size(), 1u);
  EXPECT_EQ(harness.last_error().line, 1u);
}

// The caller (another engine's script) must stop as well, not take the stop for a return.
TEST(EngineDispatch, AStoppedProcedureTellsTheCallerItStopped) {
  ScriptHarness harness;
  harness.Run("Function Ends()\n Out.Write \"before\"\n Out.Stop\n Out.Write \"after\"\n Ends = 1\nEnd Function");
  IDispatch* raw = nullptr;
  harness.engine()->GetScriptDispatch(nullptr, &raw);
  ComPtr<IDispatch> globals = ComPtr<IDispatch>::Adopt(raw);
  Result<Variant> outcome = CallMember(globals.get(), u"Ends");
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Hresult(), SCRIPT_E_STOP_WITHOUT_ERROR);
  EXPECT_EQ(Narrow(harness.site().out().text), "before");
  EXPECT_TRUE(harness.site().errors.empty());
}

TEST(EngineDispatch, GetRefObjectsCanBeCalledByTheHost) {
  ScriptHarness harness;
  harness.Run("Function Square(x)\n Square = x * x\nEnd Function\nSet Out.Value = GetRef(\"Square\")");
  Result<Variant> reference = CallMember(&harness.site().out(), u"Value");
  ASSERT_TRUE(reference.ok());
  Variant seven = Variant::FromI2(7);
  Result<Variant> result = InvokeDispatch(reference.value().pdispVal, DISPID_VALUE, DISPATCH_METHOD,
                                          std::span<const VARIANT>(static_cast<VARIANT*>(&seven), 1));
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(ToInt32(result.value()).value(), 49);
}

TEST(EngineClones, ClonesShareCodeButNotGlobals) {
  TestSite template_site;
  ComPtr<IActiveScript> engine = CreateVBScriptEngine();
  engine->SetScriptSite(&template_site);
  engine->AddNamedItem(u"Out", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISPERSISTENT);
  ParseText(engine.get(), "hits = hits + 1\nOut.Write \"hit\" & hits", SCRIPTTEXT_ISPERSISTENT);
  ParseText(engine.get(), "Out.Write \"not persistent\"");
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

TEST(EngineClones, ClonesCanBeMadeAndRunOnOtherThreads) {
  TestSite template_site;
  ComPtr<IActiveScript> engine = CreateVBScriptEngine();
  engine->SetScriptSite(&template_site);
  engine->AddNamedItem(u"Out", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISPERSISTENT);
  ParseText(engine.get(),
            "Class Acc\n Public Sum\n Sub Add(x)\n Sum = Sum + x\n End Sub\nEnd Class\n"
            "Set a = New Acc\nFor i = 1 To 1000\n a.Add i\nNext\nOut.Write a.Sum",
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

TEST(EngineInterrupt, AnotherThreadCanStopARunningScript) {
  ScriptHarness harness;
  harness.Parse("Out.Write \"start\"\nDo\nLoop");
  HRESULT hr;
  {
    Interrupter interrupter(harness.engine(), nullptr);
    hr = harness.engine()->SetScriptState(SCRIPTSTATE_STARTED);
  }
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(harness.output(), "start");
  EXPECT_TRUE(harness.site().errors.empty());
}

TEST(EngineInterrupt, AnInterruptWithAnExceptionIsReportedAsThatError) {
  ScriptHarness harness;
  harness.Parse("On Error Resume Next\nSub Spin\n Do\n Loop\nEnd Sub\nSpin\nOut.Write \"not reached\"");
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

TEST(EngineLocale, TheSitesLocaleIsTheThreadsDuringTheRun) {
  ScriptHarness harness;
  harness.site().set_lcid(1031);
  LCID before = GetThreadLocale();
  harness.Run("Out.Write CStr(1.5)");
  EXPECT_EQ(harness.output(), "1,5");
  EXPECT_EQ(GetThreadLocale(), before);
}

TEST(EngineTypeLibraries, AnUnregisteredLibraryIsRefused) {
  ScriptHarness harness;
  GUID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_TRUE(FAILED(harness.engine()->AddTypeLib(unknown, 1, 0, 0)));
}

// The interpreter reads the constants of the libraries it is given.
class NoItems : public vbscript::InterpreterHost {
 public:
  Result<ComPtr<IDispatch>> NamedItemObject(std::u16string_view) override { return ErrorNumber::ObjectRequired; }
};

TEST(EngineTypeLibraries, LibraryConstantsBecomeReadOnlyGlobals) {
  static constexpr TypeLibraryConstant kColors[] = {{u"clrRed", 1}, {u"clrBlue", 4}};
  static constexpr TypeLibraryEnumeration kEnumerations[] = {{u"Colors", kColors}};
  static constexpr TypeLibrary kLibrary{u"Paint", GUID_NULL, 1, 0, 0, u"", {}, kEnumerations};
  NoItems host;
  auto interpreter = std::make_shared<vbscript::Interpreter>(&host);
  interpreter->AddTypeLibrary(&kLibrary);
  vbscript::CompileDiagnostic diagnostic;
  auto unit = vbscript::CompileText({u"clrRed + CLRBLUE * 10", vbscript::TextKind::Expression}, diagnostic);
  ASSERT_TRUE(unit.ok());
  Variant result;
  ASSERT_EQ(interpreter->Run(interpreter->Load(unit.value()), &result), vbscript::RunOutcome::Completed);
  EXPECT_EQ(ToInt32(result).value(), 41);

  auto assignment = vbscript::CompileText({u"clrRed = 2", vbscript::TextKind::Script}, diagnostic);
  ASSERT_TRUE(assignment.ok());
  EXPECT_EQ(interpreter->Run(interpreter->Load(assignment.value()), nullptr), vbscript::RunOutcome::Failed);
  EXPECT_EQ(interpreter->last_error().number, 501);
  interpreter->Reset();
}

TEST(EngineThreads, TheScriptThreadIsTheRunningOne) {
  ScriptHarness harness;
  harness.Run("x = 1");
  SCRIPTTHREADID thread = 0;
  EXPECT_EQ(harness.engine()->GetCurrentScriptThreadID(&thread), S_OK);
  EXPECT_NE(thread, 0u);
}

}  // namespace
