// The cost of one page run through the JScript engine as the ASP host makes it (clone the
// template engine, give the clone its site and objects, start, return to initialized, close),
// beside the VBScript engine doing the same, and the two designs the clone could have: a new
// Duktape heap per clone (what creating one costs) or a pooled heap with a fresh global object
// (the engine's design); and compiling a page against loading its shared bytecode.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/automation/conversion.h"
#include "platform/com/dispatch_object.h"
#include "platform/jscript/compile.h"
#include "platform/jscript/engine.h"
#include "platform/jscript/script_heap.h"
#include "platform/vbscript/engine.h"

namespace {

// The page's Response: counts what it is asked to write.
class Response : public DispatchObject<Response> {
 public:
  static std::span<const DispatchMember<Response>> Members() {
    static constexpr DispatchMember<Response> kMembers[] = {
        {u"WritePart", 1, kMethod, 2, 2, &Response::WritePart},
        {u"Write", 2, kMethod, 1, 1, &Response::Write},
    };
    return kMembers;
  }
  size_t written = 0;

 private:
  Result<Variant> WritePart(const DispatchArguments& arguments) {
    written += static_cast<size_t>(TRY(ToInt32(arguments[1])) - TRY(ToInt32(arguments[0])));
    return Variant();
  }
  Result<Variant> Write(const DispatchArguments& arguments) {
    written += TRY(ToBstr(arguments[0])).view().size();
    return Variant();
  }
};

class Site : public IActiveScriptSite {
 public:
  Site() : response_(MakeObject<Response>()) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (!(iid == IID_IUnknown || iid == IID_IActiveScriptSite)) return E_NOINTERFACE;
    *object = static_cast<IActiveScriptSite*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetLCID(LCID*) override { return E_NOTIMPL; }
  HRESULT GetItemInfo(const OLECHAR*, DWORD, IUnknown** item, ITypeInfo**) override {
    *item = static_cast<IDispatch*>(response_.get());
    (*item)->AddRef();
    return S_OK;
  }
  HRESULT GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
  HRESULT OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
  HRESULT OnStateChange(SCRIPTSTATE) override { return S_OK; }
  HRESULT OnScriptError(IActiveScriptError*) override {
    ++errors;
    return S_OK;
  }
  HRESULT OnEnterScript() override { return S_OK; }
  HRESULT OnLeaveScript() override { return S_OK; }
  int errors = 0;

 private:
  ComPtr<Response> response_;
};

// The generated script of a hello page in each language, lines ending in CR as the
// preprocessor writes them.
constexpr char16_t kJScriptHello[] = u"Response.WritePart(0,40);\rResponse.Write (\"Hello \" + 6 * 7);\rResponse.WritePart(44,60);\r";
constexpr char16_t kVBScriptHello[] = u"Response.WritePart 0, 40\rResponse.Write \"Hello \" & 6 * 7\rResponse.WritePart 44, 60\r";

// A larger page: literal ranges, a loop, a function and string building (about 10 KB).
std::u16string LargeJScriptPage() {
  std::u16string page = u"function cell(v) { return '<td>' + v + '</td>'; }\r";
  for (int i = 0; i < 100; ++i) {
    std::string line = "Response.WritePart(" + std::to_string(i * 10) + "," + std::to_string(i * 10 + 8) +
                       ");\rvar row" + std::to_string(i) + " = cell(" + std::to_string(i) + ") + cell('x');\r";
    page += std::u16string(line.begin(), line.end());
  }
  page += u"for (var i = 0; i < 20; i++) Response.Write (cell(i));\r";
  return page;
}

ComPtr<IActiveScript> TemplateEngine(ComPtr<IActiveScript> engine, Site* site, const std::u16string& script) {
  engine->SetScriptSite(site);
  ComPtr<IActiveScriptParse> parse = engine.As<IActiveScriptParse>(IID_IActiveScriptParse);
  parse->InitNew();
  engine->AddNamedItem(u"Response", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISPERSISTENT);
  parse->ParseScriptText(script.c_str(), nullptr, nullptr, nullptr, 0, 0,
                         SCRIPTTEXT_ISVISIBLE | SCRIPTTEXT_ISPERSISTENT | SCRIPTTEXT_HOSTMANAGESSOURCE, nullptr,
                         nullptr);
  return engine;
}

// One page run as the host makes it, on a template engine.
void RunClones(benchmark::State& state, ComPtr<IActiveScript> engine, const std::u16string& script) {
  Site template_site;
  ComPtr<IActiveScript> template_engine = TemplateEngine(std::move(engine), &template_site, script);
  Site site;
  for (auto _ : state) {
    IActiveScript* raw = nullptr;
    template_engine->Clone(&raw);
    ComPtr<IActiveScript> clone = ComPtr<IActiveScript>::Adopt(raw);
    clone->SetScriptSite(&site);
    clone->SetScriptState(SCRIPTSTATE_STARTED);
    clone->SetScriptState(SCRIPTSTATE_INITIALIZED);
    clone->Close();
  }
  if (site.errors != 0) state.SkipWithError("the page failed");
  template_engine->Close();
}

void JScriptHelloPageRun(benchmark::State& state) { RunClones(state, CreateJScriptEngine(), kJScriptHello); }
void VBScriptHelloPageRun(benchmark::State& state) { RunClones(state, CreateVBScriptEngine(), kVBScriptHello); }
void JScriptLargePageRun(benchmark::State& state) { RunClones(state, CreateJScriptEngine(), LargeJScriptPage()); }
BENCHMARK(JScriptHelloPageRun);
BENCHMARK(VBScriptHelloPageRun);
BENCHMARK(JScriptLargePageRun);

// The other design: a new heap for every clone (creation and destruction, no run).
void JScriptNewHeapPerClone(benchmark::State& state) {
  for (auto _ : state) {
    std::unique_ptr<jscript::ScriptHeap> heap = jscript::ScriptHeap::Create();
    benchmark::DoNotOptimize(heap.get());
  }
}
BENCHMARK(JScriptNewHeapPerClone);

// Compiling the large page each run against loading its bytecode (what clones share).
void JScriptCompileLargePage(benchmark::State& state) {
  std::unique_ptr<jscript::ScriptHeap> heap = jscript::ScriptHeap::Create();
  std::u16string page = LargeJScriptPage();
  for (auto _ : state) {
    jscript::CompileFailure failure;
    benchmark::DoNotOptimize(jscript::CompileScript(heap->context(), {page}, &failure));
  }
}
BENCHMARK(JScriptCompileLargePage);

void JScriptLoadLargePageBytecode(benchmark::State& state) {
  std::unique_ptr<jscript::ScriptHeap> heap = jscript::ScriptHeap::Create();
  jscript::CompileFailure failure;
  std::u16string page = LargeJScriptPage();
  auto text = jscript::CompileScript(heap->context(), {page}, &failure);
  duk_context* ctx = heap->context();
  for (auto _ : state) {
    duk_push_external_buffer(ctx);
    duk_config_buffer(ctx, -1, const_cast<char*>(text->bytecode.data()), text->bytecode.size());
    duk_load_function(ctx);
    duk_pop(ctx);
  }
}
BENCHMARK(JScriptLoadLargePageBytecode);

}  // namespace

BENCHMARK_MAIN();
