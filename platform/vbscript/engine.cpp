#include "platform/vbscript/engine.h"

#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/automation/locale.h"
#include "platform/com/module_lock.h"
#include "platform/com/type_library.h"
#include "platform/vbscript/compiler.h"
#include "platform/vbscript/interpreter.h"
#include "platform/vbscript/script_error.h"

namespace vbscript {
namespace {

// AddTypeLib flag: the library stays across a return to the initialized state.
constexpr DWORD kTypeLibraryPersistent = 0x00000040;
// DISPIDs of the global dispatch: 1 + the global's index.
constexpr DISPID kFirstGlobalId = 1;

DWORD CurrentThreadId() { return static_cast<DWORD>(::gettid()); }

struct ParsedText {
  std::shared_ptr<const CodeUnit> code;
  bool persistent;
  bool done;
};

struct ItemEntry {
  std::u16string name;
  DWORD flags;
};

struct LibraryEntry {
  const TypeLibrary* library;
  DWORD flags;
};

// What a clone takes over from its template.
struct Inheritance {
  std::vector<ParsedText> texts;
  std::vector<ItemEntry> items;
  std::vector<LibraryEntry> libraries;
};

void FillException(EXCEPINFO* exception, const ScriptError& error) {
  if (exception == nullptr) return;
  *exception = EXCEPINFO{};
  exception->scode = error.hresult;
  exception->bstrDescription =
      SysAllocStringLen(error.description.data(), static_cast<uint32_t>(error.description.size()));
  exception->bstrSource = SysAllocStringLen(error.source.data(), static_cast<uint32_t>(error.source.size()));
}

class VBScriptEngine final : public IActiveScript, public IActiveScriptParse, private InterpreterHost {
 public:
  VBScriptEngine() : interpreter_(std::make_shared<Interpreter>(static_cast<InterpreterHost*>(this))) { LockModule(); }
  explicit VBScriptEngine(Inheritance inheritance);
  ~VBScriptEngine();
  VBScriptEngine(const VBScriptEngine&) = delete;
  VBScriptEngine& operator=(const VBScriptEngine&) = delete;

  // IUnknown
  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return references_.fetch_add(1) + 1; }
  ULONG Release() override {
    ULONG remaining = references_.fetch_sub(1) - 1;
    if (remaining == 0) delete this;
    return remaining;
  }

  // IActiveScript
  HRESULT SetScriptSite(IActiveScriptSite* site) override;
  HRESULT GetScriptSite(REFIID iid, void** site) override;
  HRESULT SetScriptState(SCRIPTSTATE state) override;
  HRESULT GetScriptState(SCRIPTSTATE* state) override;
  HRESULT Close() override;
  HRESULT AddNamedItem(const OLECHAR* name, DWORD flags) override;
  HRESULT AddTypeLib(const GUID& libid, DWORD major, DWORD minor, DWORD flags) override;
  HRESULT GetScriptDispatch(const OLECHAR* item_name, IDispatch** dispatch) override;
  HRESULT GetCurrentScriptThreadID(SCRIPTTHREADID* thread) override;
  HRESULT InterruptScriptThread(SCRIPTTHREADID thread, const EXCEPINFO* exception, DWORD flags) override;
  HRESULT Clone(IActiveScript** clone) override;

  // IActiveScriptParse
  HRESULT InitNew() override;
  HRESULT ParseScriptText(const OLECHAR* code, const OLECHAR* item_name, IUnknown* context,
                          const OLECHAR* delimiter, DWORD source_context, ULONG starting_line,
                          DWORD flags, VARIANT* result, EXCEPINFO* exception) override;

  // For the global dispatch.
  HRESULT FindGlobal(const OLECHAR* name, DISPID* dispid);
  HRESULT InvokeGlobal(DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception);

 private:
  // Brackets a run: the site hears OnEnterScript / OnLeaveScript, and the site's locale is the
  // thread's for the run.
  class RunScope {
   public:
    explicit RunScope(VBScriptEngine& engine);
    ~RunScope();
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

   private:
    VBScriptEngine& engine_;
    LCID previous_locale_;
    bool locale_changed_ = false;
  };

  Result<ComPtr<IDispatch>> NamedItemObject(std::u16string_view name) override;

  bool IsClosed() const { return state_ == SCRIPTSTATE_CLOSED; }
  void ChangeState(SCRIPTSTATE state);
  HRESULT Start();
  HRESULT RunUnit(LoadedUnit* unit, VARIANT* result, EXCEPINFO* exception);
  void ReturnToInitialized();
  void ReportError(const ScriptError& error);
  void ReportCompileError(const CompileDiagnostic& diagnostic, const CompileRequest& request,
                          EXCEPINFO* exception);
  void Report(ReportedError error);

  std::atomic<ULONG> references_{1};
  mutable std::mutex mutex_;  // guards what Clone and InterruptScriptThread read from other threads
  SCRIPTSTATE state_ = SCRIPTSTATE_UNINITIALIZED;
  ComPtr<IActiveScriptSite> site_;
  std::vector<ParsedText> texts_;
  std::vector<ItemEntry> items_;
  std::vector<LibraryEntry> libraries_;
  std::shared_ptr<Interpreter> interpreter_;
  DWORD thread_id_ = CurrentThreadId();
};

// IDispatch over the script's global names, for the host (GetScriptDispatch).
class GlobalDispatch final : public IDispatch {
 public:
  explicit GlobalDispatch(VBScriptEngine* engine) : engine_(engine) {
    engine_->AddRef();
    LockModule();
  }
  ~GlobalDispatch() {
    engine_->Release();
    UnlockModule();
  }
  GlobalDispatch(const GlobalDispatch&) = delete;
  GlobalDispatch& operator=(const GlobalDispatch&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!(iid == IID_IUnknown || iid == IID_IDispatch)) return E_NOINTERFACE;
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return references_.fetch_add(1) + 1; }
  ULONG Release() override {
    ULONG remaining = references_.fetch_sub(1) - 1;
    if (remaining == 0) delete this;
    return remaining;
  }
  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* dispids) override {
    if (names == nullptr || dispids == nullptr || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) dispids[i] = DISPID_UNKNOWN;
    HRESULT hr = engine_->FindGlobal(names[0], &dispids[0]);
    if (FAILED(hr)) return hr;
    return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
  }
  HRESULT Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, UINT*) override {
    return engine_->InvokeGlobal(member, flags, params, result, exception);
  }

 private:
  VBScriptEngine* engine_;
  std::atomic<ULONG> references_{1};
};

VBScriptEngine::VBScriptEngine(Inheritance inheritance)
    : state_(SCRIPTSTATE_INITIALIZED),
      texts_(std::move(inheritance.texts)),
      items_(std::move(inheritance.items)),
      libraries_(std::move(inheritance.libraries)),
      interpreter_(std::make_shared<Interpreter>(static_cast<InterpreterHost*>(this))) {
  LockModule();
  for (const ItemEntry& item : items_) {
    interpreter_->AddNamedItem(item.name, (item.flags & SCRIPTITEM_GLOBALMEMBERS) != 0);
  }
  for (const LibraryEntry& entry : libraries_) interpreter_->AddTypeLibrary(entry.library);
}

VBScriptEngine::~VBScriptEngine() {
  if (interpreter_) interpreter_->Reset();
  interpreter_.reset();
  UnlockModule();
}

HRESULT VBScriptEngine::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == IID_IActiveScript) {
    *object = static_cast<IActiveScript*>(this);
  } else if (iid == IID_IActiveScriptParse) {
    *object = static_cast<IActiveScriptParse*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

VBScriptEngine::RunScope::RunScope(VBScriptEngine& engine)
    : engine_(engine), previous_locale_(GetThreadLocale()) {
  engine_.thread_id_ = CurrentThreadId();
  if (!engine_.site_) return;
  LCID lcid = 0;
  if (SUCCEEDED(engine_.site_->GetLCID(&lcid)) && lcid != 0 && lcid != previous_locale_) {
    locale_changed_ = SetThreadLocale(lcid);
  }
  engine_.site_->OnEnterScript();
}

VBScriptEngine::RunScope::~RunScope() {
  if (engine_.site_) engine_.site_->OnLeaveScript();
  if (locale_changed_) SetThreadLocale(previous_locale_);
}

void VBScriptEngine::ChangeState(SCRIPTSTATE state) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ == state) return;
    state_ = state;
  }
  if (site_) site_->OnStateChange(state);
}

HRESULT VBScriptEngine::SetScriptSite(IActiveScriptSite* site) {
  if (site == nullptr) return E_POINTER;
  if (IsClosed()) return E_UNEXPECTED;
  if (site_) return E_UNEXPECTED;
  site_ = ComPtr<IActiveScriptSite>(site);
  ChangeState(SCRIPTSTATE_INITIALIZED);
  return S_OK;
}

HRESULT VBScriptEngine::GetScriptSite(REFIID iid, void** site) {
  if (site == nullptr) return E_POINTER;
  *site = nullptr;
  if (!site_) return S_FALSE;
  return site_->QueryInterface(iid, site);
}

HRESULT VBScriptEngine::InitNew() {
  if (IsClosed()) return E_UNEXPECTED;
  if (state_ == SCRIPTSTATE_UNINITIALIZED) ChangeState(SCRIPTSTATE_INITIALIZED);
  return S_OK;
}

HRESULT VBScriptEngine::GetScriptState(SCRIPTSTATE* state) {
  if (state == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  *state = state_;
  return S_OK;
}

HRESULT VBScriptEngine::SetScriptState(SCRIPTSTATE state) {
  if (IsClosed()) return E_UNEXPECTED;
  try {
    switch (state) {
      case SCRIPTSTATE_STARTED:
      case SCRIPTSTATE_CONNECTED: {
        bool was_running = state_ == SCRIPTSTATE_STARTED || state_ == SCRIPTSTATE_CONNECTED;
        ChangeState(state);
        return was_running ? S_OK : Start();
      }
      case SCRIPTSTATE_DISCONNECTED: ChangeState(state); return S_OK;
      case SCRIPTSTATE_INITIALIZED:
        ReturnToInitialized();
        ChangeState(state);
        return S_OK;
      case SCRIPTSTATE_UNINITIALIZED:
        ReturnToInitialized();
        ChangeState(state);
        site_.Reset();
        return S_OK;
      case SCRIPTSTATE_CLOSED: return Close();
    }
    return E_INVALIDARG;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

// Runs the code parsed before the start, in parse order; every text's declarations are bound
// first, so code may call procedures of a later text.
HRESULT VBScriptEngine::Start() {
  std::vector<std::shared_ptr<const CodeUnit>> pending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (ParsedText& text : texts_) {
      if (text.done) continue;
      text.done = true;
      pending.push_back(text.code);
    }
  }
  std::shared_ptr<Interpreter> runtime = interpreter_;
  std::vector<LoadedUnit*> units;
  for (const std::shared_ptr<const CodeUnit>& code : pending) units.push_back(runtime->Load(code));
  for (LoadedUnit* unit : units) {
    HRESULT hr = RunUnit(unit, nullptr, nullptr);
    if (hr != S_OK) return hr;
  }
  return S_OK;
}

HRESULT VBScriptEngine::RunUnit(LoadedUnit* unit, VARIANT* result, EXCEPINFO* exception) {
  std::shared_ptr<Interpreter> runtime = interpreter_;
  Variant value;
  RunOutcome outcome;
  {
    RunScope scope(*this);
    outcome = runtime->Run(unit, &value);
  }
  if (outcome == RunOutcome::Failed) {
    FillException(exception, runtime->last_error());
    ReportError(runtime->last_error());
    return SCRIPT_E_REPORTED;
  }
  if (result != nullptr && outcome == RunOutcome::Completed) {
    VariantClear(result);
    *result = value.Detach();
  }
  return S_OK;
}

// Drops what does not persist: the run's globals (Class_Terminate runs), non-persistent code,
// items and libraries. Persistent code will run again at the next start.
void VBScriptEngine::ReturnToInitialized() {
  std::shared_ptr<Interpreter> runtime = interpreter_;
  runtime->Reset();
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(texts_, [](const ParsedText& text) { return !text.persistent; });
  for (ParsedText& text : texts_) text.done = false;
  std::erase_if(items_, [](const ItemEntry& item) { return (item.flags & SCRIPTITEM_ISPERSISTENT) == 0; });
  std::erase_if(libraries_, [](const LibraryEntry& entry) { return (entry.flags & kTypeLibraryPersistent) == 0; });
  for (const ItemEntry& item : items_) {
    runtime->AddNamedItem(item.name, (item.flags & SCRIPTITEM_GLOBALMEMBERS) != 0);
  }
  for (const LibraryEntry& entry : libraries_) runtime->AddTypeLibrary(entry.library);
}

HRESULT VBScriptEngine::Close() {
  if (IsClosed()) return S_OK;
  try {
    interpreter_->Reset();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      texts_.clear();
      items_.clear();
      libraries_.clear();
    }
    ChangeState(SCRIPTSTATE_CLOSED);
    site_.Reset();
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT VBScriptEngine::AddNamedItem(const OLECHAR* name, DWORD flags) {
  if (name == nullptr) return E_POINTER;
  if (IsClosed()) return E_UNEXPECTED;
  try {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      items_.push_back({std::u16string(name), flags});
    }
    interpreter_->AddNamedItem(name, (flags & SCRIPTITEM_GLOBALMEMBERS) != 0);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT VBScriptEngine::AddTypeLib(const GUID& libid, DWORD major, DWORD minor, DWORD flags) {
  if (IsClosed()) return E_UNEXPECTED;
  try {
    Result<const TypeLibrary*> library =
        LoadRegisteredTypeLibrary(libid, static_cast<uint16_t>(major), static_cast<uint16_t>(minor));
    if (!library.ok()) return library.error().Hresult();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      libraries_.push_back({library.value(), flags});
    }
    interpreter_->AddTypeLibrary(library.value());
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT VBScriptEngine::GetScriptDispatch(const OLECHAR*, IDispatch** dispatch) {
  if (dispatch == nullptr) return E_POINTER;
  *dispatch = nullptr;
  if (IsClosed()) return E_UNEXPECTED;
  *dispatch = new (std::nothrow) GlobalDispatch(this);
  return *dispatch == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT VBScriptEngine::GetCurrentScriptThreadID(SCRIPTTHREADID* thread) {
  if (thread == nullptr) return E_POINTER;
  *thread = thread_id_;
  return S_OK;
}

HRESULT VBScriptEngine::InterruptScriptThread(SCRIPTTHREADID, const EXCEPINFO* exception, DWORD) {
  std::shared_ptr<Interpreter> runtime;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ == SCRIPTSTATE_CLOSED) return E_UNEXPECTED;
    runtime = interpreter_;
  }
  runtime->Interrupt(exception);
  return S_OK;
}

HRESULT VBScriptEngine::Clone(IActiveScript** clone) {
  if (clone == nullptr) return E_POINTER;
  *clone = nullptr;
  try {
    Inheritance inheritance;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (state_ == SCRIPTSTATE_CLOSED) return E_UNEXPECTED;
      for (const ParsedText& text : texts_) {
        if (text.persistent) inheritance.texts.push_back({text.code, true, false});
      }
      for (const ItemEntry& item : items_) {
        if ((item.flags & SCRIPTITEM_ISPERSISTENT) != 0) inheritance.items.push_back(item);
      }
      for (const LibraryEntry& entry : libraries_) {
        if ((entry.flags & kTypeLibraryPersistent) != 0) inheritance.libraries.push_back(entry);
      }
    }
    *clone = new VBScriptEngine(std::move(inheritance));
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT VBScriptEngine::ParseScriptText(const OLECHAR* code, const OLECHAR*, IUnknown*, const OLECHAR*,
                                        DWORD source_context, ULONG starting_line, DWORD flags,
                                        VARIANT* result, EXCEPINFO* exception) {
  if (IsClosed()) return E_UNEXPECTED;
  if (exception != nullptr) *exception = EXCEPINFO{};
  try {
    bool is_expression = (flags & SCRIPTTEXT_ISEXPRESSION) != 0;
    CompileRequest request{code == nullptr ? std::u16string_view() : std::u16string_view(code),
                           is_expression ? TextKind::Expression : TextKind::Script, source_context,
                           starting_line};
    CompileDiagnostic diagnostic;
    Result<std::shared_ptr<const CodeUnit>> compiled = CompileText(request, diagnostic);
    if (!compiled.ok()) {
      ReportCompileError(diagnostic, request, exception);
      return SCRIPT_E_REPORTED;
    }
    bool started = state_ == SCRIPTSTATE_STARTED || state_ == SCRIPTSTATE_CONNECTED;
    if (!is_expression) {
      std::lock_guard<std::mutex> lock(mutex_);
      texts_.push_back({compiled.value(), (flags & SCRIPTTEXT_ISPERSISTENT) != 0, started});
    }
    if (!started && !is_expression) return S_OK;
    LoadedUnit* unit = interpreter_->Load(std::move(compiled).value());
    return RunUnit(unit, is_expression ? result : nullptr, exception);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

Result<ComPtr<IDispatch>> VBScriptEngine::NamedItemObject(std::u16string_view name) {
  if (!site_) return ErrorNumber::ObjectRequired;
  std::u16string item(name);
  ComPtr<IUnknown> unknown;
  HRESULT hr = site_->GetItemInfo(item.c_str(), SCRIPTINFO_IUNKNOWN, unknown.Receive(), nullptr);
  if (FAILED(hr)) return Error::FromHresult(hr);
  ComPtr<IDispatch> dispatch = unknown.As<IDispatch>(IID_IDispatch);
  if (!dispatch) return ErrorNumber::ObjectRequired;
  return dispatch;
}

void VBScriptEngine::ReportError(const ScriptError& error) {
  ReportedError reported;
  reported.scode = error.hresult;
  reported.description = error.description;
  reported.source = error.source;
  if (error.unit && error.has_position) {
    reported.source_context = error.unit->source_context;
    reported.line = error.position.line - 1 + error.unit->starting_line;
    reported.column = static_cast<int32_t>(error.position.column);
    reported.line_text = error.unit->LineText(error.position.line);
  }
  Report(std::move(reported));
}

void VBScriptEngine::ReportCompileError(const CompileDiagnostic& diagnostic, const CompileRequest& request,
                                        EXCEPINFO* exception) {
  auto number = static_cast<int32_t>(diagnostic.number);
  ScriptError error;
  error.hresult = ScriptErrorHresult(number);
  error.number = number;
  error.description = StandardErrorDescription(number);
  error.source = kCompileErrorSource;
  FillException(exception, error);
  ReportedError reported;
  reported.scode = error.hresult;
  reported.description = error.description;
  reported.source = error.source;
  reported.source_context = request.source_context;
  reported.line = diagnostic.position.line - 1 + request.starting_line;
  reported.column = static_cast<int32_t>(diagnostic.position.column);
  CodeUnit text;
  text.source = request.text;
  reported.line_text = text.LineText(diagnostic.position.line);
  Report(std::move(reported));
}

// The site's debugger side hears of the error first and decides whether OnScriptError follows.
void VBScriptEngine::Report(ReportedError reported) {
  if (!site_) return;
  ComPtr<IActiveScriptError> error = CreateScriptError(std::move(reported));
  ComPtr<IActiveScriptSiteDebug> debug = site_.As<IActiveScriptSiteDebug>(IID_IActiveScriptSiteDebug);
  if (debug) {
    BOOL enter_debugger = 0;
    BOOL call_on_script_error = 1;
    HRESULT hr = debug->OnScriptErrorDebug(error.get(), &enter_debugger, &call_on_script_error);
    if (SUCCEEDED(hr) && !call_on_script_error) return;
  }
  site_->OnScriptError(error.get());
}

HRESULT VBScriptEngine::FindGlobal(const OLECHAR* name, DISPID* dispid) {
  if (name == nullptr) return DISP_E_UNKNOWNNAME;
  if (IsClosed()) return E_UNEXPECTED;
  std::shared_ptr<Interpreter> runtime = interpreter_;
  GlobalSlot* slot = runtime->FindScriptGlobal(name);
  if (slot == nullptr) return DISP_E_UNKNOWNNAME;
  *dispid = kFirstGlobalId + runtime->GlobalIndex(slot);
  return S_OK;
}

// A global called, read or assigned by the host. Failures of a called procedure are reported
// to the site like any run-time error and also returned as the call's exception; a procedure
// that was stopped returns SCRIPT_E_STOP_WITHOUT_ERROR.
HRESULT VBScriptEngine::InvokeGlobal(DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception) {
  if (IsClosed()) return E_UNEXPECTED;
  try {
    std::shared_ptr<Interpreter> runtime = interpreter_;
    GlobalSlot* slot = dispid < kFirstGlobalId ? nullptr : runtime->GlobalAt(static_cast<size_t>(dispid - kFirstGlobalId));
    if (slot == nullptr) return DISP_E_MEMBERNOTFOUND;
    std::vector<VARIANT> arguments;
    UINT named = params == nullptr ? 0 : params->cNamedArgs;
    UINT total = params == nullptr ? 0 : params->cArgs;
    bool is_put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (named > (is_put ? 1u : 0u)) return DISP_E_NONAMEDARGS;
    for (UINT i = total; i-- > 0;) arguments.push_back(params->rgvarg[i]);
    if (slot->kind == SlotKind::Procedure) {
      Variant value;
      RunOutcome outcome;
      {
        RunScope scope(*this);
        outcome = runtime->CallProcedure(*slot, arguments, &value);
      }
      if (outcome == RunOutcome::Failed) {
        ReportError(runtime->last_error());
        FillException(exception, runtime->last_error());
        return DISP_E_EXCEPTION;
      }
      // A procedure the host stopped (Response.End) stops its caller too: a script of another
      // engine that called it must not go on as if it had returned.
      if (outcome == RunOutcome::Stopped) return SCRIPT_E_STOP_WITHOUT_ERROR;
      if (result != nullptr) {
        VariantClear(result);
        *result = value.Detach();
      }
      return S_OK;
    }
    if (is_put) {
      if (arguments.size() != 1) return DISP_E_BADPARAMCOUNT;
      Result<void> assigned =
          runtime->SetGlobal(slot, arguments[0], AssignModeOf((flags & DISPATCH_PROPERTYPUTREF) != 0));
      return assigned.ok() ? S_OK : assigned.error().Hresult();
    }
    if (!arguments.empty()) return DISP_E_BADPARAMCOUNT;
    if (result != nullptr) {
      VariantClear(result);
      if (FAILED(VariantCopyInd(result, slot->storage))) return E_OUTOFMEMORY;
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace
}  // namespace vbscript

ComPtr<IActiveScript> CreateVBScriptEngine() {
  try {
    return ComPtr<IActiveScript>::Adopt(new vbscript::VBScriptEngine());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
