#include "platform/scripting/script_error_object.h"

#include <atomic>

namespace {

BSTR NewBstr(const std::u16string& text) {
  return SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
}

class ScriptErrorObject final : public IActiveScriptError {
 public:
  explicit ScriptErrorObject(ScriptErrorReport report) : report_(std::move(report)) {}

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!(iid == IID_IUnknown || iid == IID_IActiveScriptError)) return E_NOINTERFACE;
    *object = static_cast<IActiveScriptError*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return references_.fetch_add(1) + 1; }
  ULONG Release() override {
    ULONG remaining = references_.fetch_sub(1) - 1;
    if (remaining == 0) delete this;
    return remaining;
  }

  HRESULT GetExceptionInfo(EXCEPINFO* exception) override {
    if (exception == nullptr) return E_POINTER;
    *exception = EXCEPINFO{};
    exception->scode = report_.scode;
    exception->bstrDescription = NewBstr(report_.description);
    exception->bstrSource = NewBstr(report_.source);
    return S_OK;
  }
  HRESULT GetSourcePosition(DWORD* source_context, ULONG* line, int32_t* column) override {
    if (source_context != nullptr) *source_context = report_.source_context;
    if (line != nullptr) *line = report_.line;
    if (column != nullptr) *column = report_.column;
    return S_OK;
  }
  HRESULT GetSourceLineText(BSTR* line) override {
    if (line == nullptr) return E_POINTER;
    *line = NewBstr(report_.line_text);
    return S_OK;
  }

 private:
  ~ScriptErrorObject() = default;

  ScriptErrorReport report_;
  std::atomic<ULONG> references_{1};
};

}  // namespace

ComPtr<IActiveScriptError> CreateScriptErrorObject(ScriptErrorReport report) {
  return ComPtr<IActiveScriptError>::Adopt(new ScriptErrorObject(std::move(report)));
}

void ReportScriptError(IActiveScriptSite* site, ScriptErrorReport report) {
  if (site == nullptr) return;
  ComPtr<IActiveScriptError> error = CreateScriptErrorObject(std::move(report));
  ComPtr<IActiveScriptSiteDebug> debug =
      ComPtr<IActiveScriptSite>(site).As<IActiveScriptSiteDebug>(IID_IActiveScriptSiteDebug);
  if (debug) {
    BOOL enter_debugger = 0;
    BOOL call_on_script_error = 1;
    HRESULT hr = debug->OnScriptErrorDebug(error.get(), &enter_debugger, &call_on_script_error);
    if (SUCCEEDED(hr) && !call_on_script_error) return;
  }
  site->OnScriptError(error.get());
}
