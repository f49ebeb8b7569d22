#include "platform/vbscript/script_error.h"

#include <atomic>

#include "platform/com/module_lock.h"

namespace vbscript {
namespace {

BSTR NewBstr(const std::u16string& text) {
  return SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
}

class ScriptErrorObject final : public IActiveScriptError {
 public:
  explicit ScriptErrorObject(ReportedError error) : error_(std::move(error)) { LockModule(); }
  ~ScriptErrorObject() { UnlockModule(); }

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
    exception->scode = error_.scode;
    exception->bstrDescription = NewBstr(error_.description);
    exception->bstrSource = NewBstr(error_.source);
    return S_OK;
  }
  HRESULT GetSourcePosition(DWORD* source_context, ULONG* line, int32_t* column) override {
    if (source_context != nullptr) *source_context = error_.source_context;
    if (line != nullptr) *line = error_.line;
    if (column != nullptr) *column = error_.column;
    return S_OK;
  }
  HRESULT GetSourceLineText(BSTR* line) override {
    if (line == nullptr) return E_POINTER;
    *line = NewBstr(error_.line_text);
    return S_OK;
  }

 private:
  ReportedError error_;
  std::atomic<ULONG> references_{1};
};

}  // namespace

ComPtr<IActiveScriptError> CreateScriptError(ReportedError error) {
  return ComPtr<IActiveScriptError>::Adopt(new ScriptErrorObject(std::move(error)));
}

}  // namespace vbscript
