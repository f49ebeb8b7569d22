// Script text through the JScript engine: the scanner and the rewrite of assignments to calls
// (which must keep every line where it was), compiling (syntax errors with their positions)
// and, when the text compiles, running it with a host object ("Host": any member name reads,
// writes and calls) under a 100 ms time limit. Input: UTF-8 script text.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/com/dispatch_object.h"
#include "platform/jscript/call_assignment.h"
#include "platform/jscript/engine.h"
#include "platform/system/code_page.h"

namespace {

// A host object whose default member and Value accept anything.
class HostObject : public DispatchObject<HostObject> {
 public:
  static std::span<const DispatchMember<HostObject>> Members() {
    static constexpr DispatchMember<HostObject> kMembers[] = {
        {u"Item", DISPID_VALUE, kMethod | kPropertyGet | kPropertyPut, 0, kAnyArgumentCount, &HostObject::Echo},
        {u"Value", 1, kMethod | kPropertyGet | kPropertyPut | kPropertyPutRef, 0, kAnyArgumentCount,
         &HostObject::Echo},
        {u"Fail", 2, kMethod, 0, kAnyArgumentCount, &HostObject::Fail},
    };
    return kMembers;
  }

 private:
  Result<Variant> Echo(const DispatchArguments& arguments) {
    if (arguments.size() == 0) return Variant();
    return Variant(arguments[0]);
  }
  Result<Variant> Fail(const DispatchArguments&) { return Error(ErrorNumber::TypeMismatch); }
};

class Site : public IActiveScriptSite {
 public:
  Site() : host_(MakeObject<HostObject>()) {}
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
    *item = static_cast<IDispatch*>(host_.get());
    (*item)->AddRef();
    return S_OK;
  }
  HRESULT GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
  HRESULT OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
  HRESULT OnStateChange(SCRIPTSTATE) override { return S_OK; }
  HRESULT OnScriptError(IActiveScriptError* error) override {
    EXCEPINFO exception{};
    error->GetExceptionInfo(&exception);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    return S_OK;
  }
  HRESULT OnEnterScript() override { return S_OK; }
  HRESULT OnLeaveScript() override { return S_OK; }

 private:
  ComPtr<HostObject> host_;
};

size_t LineBreaks(std::u16string_view text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char16_t c) {
    return c == u'\r' || c == u'\n' || c == 0x2028 || c == 0x2029;
  }));
}

// Stops the engine's run after the time limit unless the run ends first.
class Watchdog {
 public:
  explicit Watchdog(IActiveScript* engine)
      : thread_([this, engine] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!ended_.wait_for(lock, std::chrono::milliseconds(100), [this] { return done_; })) {
            engine->InterruptScriptThread(SCRIPTTHREADID_ALL, nullptr, 0);
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    ended_.notify_one();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text = BytesToText(std::string_view(reinterpret_cast<const char*>(data), size), CP_UTF8);
  std::u16string rewritten = jscript::RewriteCallAssignments(text, jscript::ScanScript(text));
  if (LineBreaks(rewritten) != LineBreaks(text)) __builtin_trap();

  Site site;
  ComPtr<IActiveScript> engine = CreateJScriptEngine();
  engine->SetScriptSite(&site);
  engine->AddNamedItem(u"Host", SCRIPTITEM_ISVISIBLE);
  ComPtr<IActiveScriptParse> parse = engine.As<IActiveScriptParse>(IID_IActiveScriptParse);
  HRESULT parsed = parse->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr, 0, 0, 0, nullptr, nullptr);
  if (parsed == S_OK) {
    Watchdog watchdog(engine.get());
    engine->SetScriptState(SCRIPTSTATE_STARTED);
  }
  engine->Close();
  return 0;
}
