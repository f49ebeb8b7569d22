#include "platform/jscript/engine.h"

#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/automation/locale.h"
#include "platform/com/dispatch_object.h"
#include "platform/com/module_lock.h"
#include "platform/com/type_library.h"
#include "platform/jscript/compile.h"
#include "platform/jscript/script_heap.h"
#include "platform/jscript/script_runtime.h"
#include "platform/scripting/script_error_object.h"

namespace jscript {
namespace {

// AddTypeLib flag: the library stays across a return to the initialized state.
constexpr DWORD kTypeLibraryPersistent = 0x00000040;
// DISPIDs of the global dispatch: 1 + the index of the name.
constexpr DISPID kFirstGlobalId = 1;

DWORD CurrentThreadId() { return static_cast<DWORD>(::gettid()); }

struct ParsedText {
  std::shared_ptr<const CompiledText> text;
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

bool IsGlobalMembers(DWORD flags) { return (flags & SCRIPTITEM_GLOBALMEMBERS) != 0; }

void FillException(EXCEPINFO* exception, HRESULT scode, const std::u16string& description,
                   std::u16string_view source) {
  if (exception == nullptr) return;
  *exception = EXCEPINFO{};
  exception->scode = scode;
  exception->bstrDescription = SysAllocStringLen(description.data(), static_cast<uint32_t>(description.size()));
  exception->bstrSource = SysAllocStringLen(source.data(), static_cast<uint32_t>(source.size()));
}

class JScriptEngine final : public IActiveScript, public IActiveScriptParse, private RuntimeHost {
 public:
  JScriptEngine() { LockModule(); }
  explicit JScriptEngine(Inheritance inheritance);
  ~JScriptEngine();
  JScriptEngine(const JScriptEngine&) = delete;
  JScriptEngine& operator=(const JScriptEngine&) = delete;

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
    explicit RunScope(JScriptEngine& engine);
    ~RunScope();
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

   private:
    JScriptEngine& engine_;
    LCID previous_locale_;
    bool locale_changed_ = false;
  };

  Result<ComPtr<IDispatch>> NamedItemObject(std::u16string_view name) override;

  bool IsClosed() const { return state_ == SCRIPTSTATE_CLOSED; }
  bool IsRunning() const { return state_ == SCRIPTSTATE_STARTED || state_ == SCRIPTSTATE_CONNECTED; }
  void ChangeState(SCRIPTSTATE state);
  HRESULT Start();
  Result<ScriptRuntime*> EnsureRuntime();
  HRESULT RunText(const std::shared_ptr<const CompiledText>& text, VARIANT* result, EXCEPINFO* exception);
  std::shared_ptr<const CompiledText> Compile(const CompileRequest& request, CompileFailure* failure);
  void DropRuntime();
  void ReturnToInitialized();
  void ReportRunError(const RunError& error, const CompiledText* running);
  void ReportCompileError(const CompileFailure& failure, const CompileRequest& request, EXCEPINFO* exception);
  std::shared_ptr<const CompiledText> FindText(uint64_t id);

  std::atomic<ULONG> references_{1};
  mutable std::mutex mutex_;  // guards what Clone, InterruptScriptThread and the dispatch read
  SCRIPTSTATE state_ = SCRIPTSTATE_UNINITIALIZED;
  ComPtr<IActiveScriptSite> site_;
  std::vector<ParsedText> texts_;
  std::vector<ItemEntry> items_;
  std::vector<LibraryEntry> libraries_;
  std::unique_ptr<ScriptRuntime> runtime_;
  std::vector<std::u16string> global_names_;  // ids of the global dispatch
  DWORD thread_id_ = CurrentThreadId();
};

// IDispatch over the script's global names, for the host (GetScriptDispatch).
class GlobalDispatch final : public IDispatch {
 public:
  explicit GlobalDispatch(JScriptEngine* engine) : engine_(engine) {
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
  JScriptEngine* engine_;
  std::atomic<ULONG> references_{1};
};

JScriptEngine::JScriptEngine(Inheritance inheritance)
    : state_(SCRIPTSTATE_INITIALIZED),
      texts_(std::move(inheritance.texts)),
      items_(std::move(inheritance.items)),
      libraries_(std::move(inheritance.libraries)) {
  LockModule();
}

JScriptEngine::~JScriptEngine() {
  DropRuntime();
  UnlockModule();
}

HRESULT JScriptEngine::QueryInterface(REFIID iid, void** object) {
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

JScriptEngine::RunScope::RunScope(JScriptEngine& engine) : engine_(engine), previous_locale_(GetThreadLocale()) {
  engine_.thread_id_ = CurrentThreadId();
  if (!engine_.site_) return;
  LCID lcid = 0;
  if (SUCCEEDED(engine_.site_->GetLCID(&lcid)) && lcid != 0 && lcid != previous_locale_) {
    locale_changed_ = SetThreadLocale(lcid);
  }
  engine_.site_->OnEnterScript();
}

JScriptEngine::RunScope::~RunScope() {
  if (engine_.site_) engine_.site_->OnLeaveScript();
  if (locale_changed_) SetThreadLocale(previous_locale_);
}

void JScriptEngine::ChangeState(SCRIPTSTATE state) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ == state) return;
    state_ = state;
  }
  if (site_) site_->OnStateChange(state);
}

HRESULT JScriptEngine::SetScriptSite(IActiveScriptSite* site) {
  if (site == nullptr) return E_POINTER;
  if (IsClosed() || site_) return E_UNEXPECTED;
  site_ = ComPtr<IActiveScriptSite>(site);
  ChangeState(SCRIPTSTATE_INITIALIZED);
  return S_OK;
}

HRESULT JScriptEngine::GetScriptSite(REFIID iid, void** site) {
  if (site == nullptr) return E_POINTER;
  *site = nullptr;
  if (!site_) return S_FALSE;
  return site_->QueryInterface(iid, site);
}

HRESULT JScriptEngine::InitNew() {
  if (IsClosed()) return E_UNEXPECTED;
  if (state_ == SCRIPTSTATE_UNINITIALIZED) ChangeState(SCRIPTSTATE_INITIALIZED);
  return S_OK;
}

HRESULT JScriptEngine::GetScriptState(SCRIPTSTATE* state) {
  if (state == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  *state = state_;
  return S_OK;
}

HRESULT JScriptEngine::SetScriptState(SCRIPTSTATE state) {
  if (IsClosed()) return E_UNEXPECTED;
  try {
    switch (state) {
      case SCRIPTSTATE_STARTED:
      case SCRIPTSTATE_CONNECTED: {
        bool was_running = IsRunning();
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

// The run's runtime, made at the first need with the items and libraries known so far.
Result<ScriptRuntime*> JScriptEngine::EnsureRuntime() {
  if (runtime_) return runtime_.get();
  std::unique_ptr<ScriptRuntime> runtime = ScriptRuntime::Create(this);
  if (!runtime) return ErrorNumber::OutOfMemory;
  std::vector<ItemEntry> items;
  std::vector<LibraryEntry> libraries;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    items = items_;
    libraries = libraries_;
  }
  for (const ItemEntry& item : items) TRY(runtime->AddNamedItem(item.name, IsGlobalMembers(item.flags)));
  for (const LibraryEntry& entry : libraries) TRY(runtime->AddConstants(*entry.library));
  std::lock_guard<std::mutex> lock(mutex_);
  runtime_ = std::move(runtime);
  return runtime_.get();
}

// The runtime ends outside the engine's lock: ending it waits for its heap.
void JScriptEngine::DropRuntime() {
  std::unique_ptr<ScriptRuntime> ended;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ended = std::move(runtime_);
    global_names_.clear();
  }
}

// Runs the texts parsed before the start, in parse order; a text that ends the run (the
// host's Response.End) ends the later ones too.
HRESULT JScriptEngine::Start() {
  std::vector<std::shared_ptr<const CompiledText>> pending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (ParsedText& text : texts_) {
      if (text.done) continue;
      text.done = true;
      pending.push_back(text.text);
    }
  }
  if (!EnsureRuntime().ok()) return E_OUTOFMEMORY;
  for (const std::shared_ptr<const CompiledText>& text : pending) {
    HRESULT hr = RunText(text, nullptr, nullptr);
    if (hr != S_OK) return hr == S_FALSE ? S_OK : hr;
  }
  return S_OK;
}

// S_OK when the text ran to its end, S_FALSE when the run was ended without error,
// SCRIPT_E_REPORTED after an error the site heard of.
HRESULT JScriptEngine::RunText(const std::shared_ptr<const CompiledText>& text, VARIANT* result,
                               EXCEPINFO* exception) {
  Result<ScriptRuntime*> runtime = EnsureRuntime();
  if (!runtime.ok()) return E_OUTOFMEMORY;
  Variant value;
  RunOutcome outcome;
  {
    RunScope scope(*this);
    outcome = runtime.value()->Run(*text, result != nullptr ? &value : nullptr);
  }
  if (outcome == RunOutcome::Stopped) return S_FALSE;
  if (outcome == RunOutcome::Failed) {
    const RunError& error = runtime.value()->last_error();
    FillException(exception, error.scode, error.description, error.source);
    ReportRunError(error, text.get());
    return SCRIPT_E_REPORTED;
  }
  if (result != nullptr) {
    VariantClear(result);
    *result = value.Detach();
  }
  return S_OK;
}

// Drops what does not persist: the run (its globals), non-persistent texts, items and
// libraries. Persistent texts run again at the next start.
void JScriptEngine::ReturnToInitialized() {
  DropRuntime();
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(texts_, [](const ParsedText& text) { return !text.persistent; });
  for (ParsedText& text : texts_) text.done = false;
  std::erase_if(items_, [](const ItemEntry& item) { return (item.flags & SCRIPTITEM_ISPERSISTENT) == 0; });
  std::erase_if(libraries_, [](const LibraryEntry& entry) { return (entry.flags & kTypeLibraryPersistent) == 0; });
}

HRESULT JScriptEngine::Close() {
  if (IsClosed()) return S_OK;
  try {
    DropRuntime();
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

HRESULT JScriptEngine::AddNamedItem(const OLECHAR* name, DWORD flags) {
  if (name == nullptr) return E_POINTER;
  if (IsClosed()) return E_UNEXPECTED;
  try {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      items_.push_back({std::u16string(name), flags});
    }
    if (runtime_) {
      Result<void> added = runtime_->AddNamedItem(name, IsGlobalMembers(flags));
      if (!added.ok()) return added.error().Hresult();
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT JScriptEngine::AddTypeLib(const GUID& libid, DWORD major, DWORD minor, DWORD flags) {
  if (IsClosed()) return E_UNEXPECTED;
  try {
    Result<const TypeLibrary*> library =
        LoadRegisteredTypeLibrary(libid, static_cast<uint16_t>(major), static_cast<uint16_t>(minor));
    if (!library.ok()) return library.error().Hresult();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      libraries_.push_back({library.value(), flags});
    }
    if (runtime_) {
      Result<void> added = runtime_->AddConstants(*library.value());
      if (!added.ok()) return added.error().Hresult();
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT JScriptEngine::GetScriptDispatch(const OLECHAR*, IDispatch** dispatch) {
  if (dispatch == nullptr) return E_POINTER;
  *dispatch = nullptr;
  if (IsClosed()) return E_UNEXPECTED;
  *dispatch = new (std::nothrow) GlobalDispatch(this);
  return *dispatch == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT JScriptEngine::GetCurrentScriptThreadID(SCRIPTTHREADID* thread) {
  if (thread == nullptr) return E_POINTER;
  *thread = thread_id_;
  return S_OK;
}

HRESULT JScriptEngine::InterruptScriptThread(SCRIPTTHREADID, const EXCEPINFO* exception, DWORD) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (state_ == SCRIPTSTATE_CLOSED) return E_UNEXPECTED;
  if (runtime_) runtime_->Interrupt(exception);
  return S_OK;
}

HRESULT JScriptEngine::Clone(IActiveScript** clone) {
  if (clone == nullptr) return E_POINTER;
  *clone = nullptr;
  try {
    Inheritance inheritance;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (state_ == SCRIPTSTATE_CLOSED) return E_UNEXPECTED;
      for (const ParsedText& text : texts_) {
        if (text.persistent) inheritance.texts.push_back({text.text, true, false});
      }
      for (const ItemEntry& item : items_) {
        if ((item.flags & SCRIPTITEM_ISPERSISTENT) != 0) inheritance.items.push_back(item);
      }
      for (const LibraryEntry& entry : libraries_) {
        if ((entry.flags & kTypeLibraryPersistent) != 0) inheritance.libraries.push_back(entry);
      }
    }
    *clone = new JScriptEngine(std::move(inheritance));
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

// Compiles in the run's heap, or in a heap borrowed for the purpose.
std::shared_ptr<const CompiledText> JScriptEngine::Compile(const CompileRequest& request, CompileFailure* failure) {
  if (runtime_) {
    std::lock_guard<std::recursive_mutex> lock(runtime_->lock());
    return CompileScript(runtime_->context(), request, failure);
  }
  std::unique_ptr<ScriptHeap> heap = AcquireHeap();
  if (!heap) throw std::bad_alloc();
  std::shared_ptr<const CompiledText> text = CompileScript(heap->context(), request, failure);
  ReleaseHeap(std::move(heap), true);
  return text;
}

HRESULT JScriptEngine::ParseScriptText(const OLECHAR* code, const OLECHAR*, IUnknown*, const OLECHAR*,
                                       DWORD source_context, ULONG starting_line, DWORD flags, VARIANT* result,
                                       EXCEPINFO* exception) {
  if (IsClosed()) return E_UNEXPECTED;
  if (exception != nullptr) *exception = EXCEPINFO{};
  try {
    bool is_expression = (flags & SCRIPTTEXT_ISEXPRESSION) != 0;
    CompileRequest request{code == nullptr ? std::u16string_view() : std::u16string_view(code), is_expression,
                           source_context, starting_line};
    CompileFailure failure;
    std::shared_ptr<const CompiledText> text = Compile(request, &failure);
    if (!text) {
      ReportCompileError(failure, request, exception);
      return SCRIPT_E_REPORTED;
    }
    bool started = IsRunning();
    if (!is_expression) {
      std::lock_guard<std::mutex> lock(mutex_);
      texts_.push_back({text, (flags & SCRIPTTEXT_ISPERSISTENT) != 0, started});
    }
    if (!started && !is_expression) return S_OK;
    HRESULT hr = RunText(text, is_expression ? result : nullptr, exception);
    return hr == S_FALSE ? S_OK : hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

Result<ComPtr<IDispatch>> JScriptEngine::NamedItemObject(std::u16string_view name) {
  if (!site_) return ErrorNumber::ObjectRequired;
  std::u16string item(name);
  ComPtr<IUnknown> unknown;
  HRESULT hr = site_->GetItemInfo(item.c_str(), SCRIPTINFO_IUNKNOWN, unknown.Receive(), nullptr);
  if (FAILED(hr)) return Error::FromHresult(hr);
  ComPtr<IDispatch> dispatch = unknown.As<IDispatch>(IID_IDispatch);
  if (!dispatch) return ErrorNumber::ObjectRequired;
  return dispatch;
}

std::shared_ptr<const CompiledText> JScriptEngine::FindText(uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const ParsedText& text : texts_) {
    if (text.text->id == id) return text.text;
  }
  return nullptr;
}

void JScriptEngine::ReportRunError(const RunError& error, const CompiledText* running) {
  ScriptErrorReport report;
  report.scode = error.scode;
  report.description = error.description;
  report.source = error.source;
  std::shared_ptr<const CompiledText> found;
  const CompiledText* text = running;
  if (text == nullptr || text->id != error.place.text_id) {
    found = FindText(error.place.text_id);
    text = found.get();
  }
  if (text != nullptr && error.place.line > 0) {
    report.source_context = text->source_context;
    report.line = error.place.line - 1 + text->starting_line;
    report.line_text = text->LineText(error.place.line);
  }
  ReportScriptError(site_.get(), std::move(report));
}

void JScriptEngine::ReportCompileError(const CompileFailure& failure, const CompileRequest& request,
                                       EXCEPINFO* exception) {
  FillException(exception, failure.scode, failure.description, kCompileErrorSource);
  ScriptErrorReport report;
  report.scode = failure.scode;
  report.description = failure.description;
  report.source = kCompileErrorSource;
  report.source_context = request.source_context;
  report.line = failure.line - 1 + request.starting_line;
  report.column = failure.column;
  report.line_text = failure.line_text;
  ReportScriptError(site_.get(), std::move(report));
}

HRESULT JScriptEngine::FindGlobal(const OLECHAR* name, DISPID* dispid) {
  if (name == nullptr) return DISP_E_UNKNOWNNAME;
  if (IsClosed() || !runtime_) return DISP_E_UNKNOWNNAME;
  try {
    std::u16string actual;
    if (!runtime_->FindGlobal(name, &actual)) return DISP_E_UNKNOWNNAME;
    std::lock_guard<std::mutex> lock(mutex_);
    size_t index = 0;
    while (index < global_names_.size() && global_names_[index] != actual) ++index;
    if (index == global_names_.size()) global_names_.push_back(actual);
    *dispid = kFirstGlobalId + static_cast<DISPID>(index);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

// A global called, read or assigned by the host. Failures of a called function are reported
// to the site like any run-time error and also returned as the call's exception.
HRESULT JScriptEngine::InvokeGlobal(DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO* exception) {
  if (IsClosed() || !runtime_) return E_UNEXPECTED;
  try {
    std::u16string name;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (dispid < kFirstGlobalId || static_cast<size_t>(dispid - kFirstGlobalId) >= global_names_.size()) {
        return DISP_E_MEMBERNOTFOUND;
      }
      name = global_names_[static_cast<size_t>(dispid - kFirstGlobalId)];
    }
    UINT named = params == nullptr ? 0 : params->cNamedArgs;
    UINT total = params == nullptr ? 0 : params->cArgs;
    bool is_put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (named > (is_put ? 1u : 0u)) return DISP_E_NONAMEDARGS;
    std::vector<VARIANT> arguments;
    for (UINT i = total; i-- > 0;) arguments.push_back(params->rgvarg[i]);
    Variant value;
    RunOutcome outcome;
    {
      RunScope scope(*this);
      outcome = runtime_->InvokeGlobal(name, flags, arguments, &value);
    }
    if (outcome == RunOutcome::Stopped) return SCRIPT_E_STOP_WITHOUT_ERROR;
    if (outcome == RunOutcome::Failed) {
      const RunError& error = runtime_->last_error();
      ReportRunError(error, nullptr);
      FillException(exception, error.scode, error.description, error.source);
      return DISP_E_EXCEPTION;
    }
    if (result != nullptr) {
      VariantClear(result);
      *result = value.Detach();
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace
}  // namespace jscript

ComPtr<IActiveScript> CreateJScriptEngine() {
  try {
    return ComPtr<IActiveScript>::Adopt(new jscript::JScriptEngine());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
