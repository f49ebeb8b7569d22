#include "apps/vbsrun/console_site.h"

#include <string>

#include "platform/automation/dispatch_call.h"
#include "platform/automation/text_case.h"

namespace {

std::u16string NumberText(int64_t value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

ConsoleSite::ConsoleSite(std::u16string script_path, ComPtr<WScriptObject> wscript)
    : script_path_(std::move(script_path)), wscript_(std::move(wscript)) {}

HRESULT ConsoleSite::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!(iid == IID_IUnknown || iid == IID_IActiveScriptSite)) return E_NOINTERFACE;
  *object = static_cast<IActiveScriptSite*>(this);
  AddRef();
  return S_OK;
}

ULONG ConsoleSite::Release() {
  ULONG remaining = references_.fetch_sub(1) - 1;
  if (remaining == 0) delete this;
  return remaining;
}

HRESULT ConsoleSite::GetLCID(LCID* lcid) {
  if (lcid == nullptr) return E_POINTER;
  *lcid = LOCALE_USER_DEFAULT;
  return S_OK;
}

HRESULT ConsoleSite::GetItemInfo(const OLECHAR* name, DWORD mask, IUnknown** item, ITypeInfo** type_info) {
  if (item != nullptr) *item = nullptr;
  if (type_info != nullptr) *type_info = nullptr;
  if (name == nullptr || !EqualsIgnoringCase(name, u"WScript")) return TYPE_E_ELEMENTNOTFOUND;
  if ((mask & SCRIPTINFO_IUNKNOWN) == 0) return S_OK;
  if (item == nullptr) return E_INVALIDARG;
  *item = static_cast<IDispatch*>(wscript_.get());
  (*item)->AddRef();
  return S_OK;
}

HRESULT ConsoleSite::GetDocVersionString(BSTR* version) {
  if (version != nullptr) *version = nullptr;
  return E_NOTIMPL;
}

HRESULT ConsoleSite::OnScriptTerminate(const VARIANT*, const EXCEPINFO*) { return S_OK; }

HRESULT ConsoleSite::OnStateChange(SCRIPTSTATE) { return S_OK; }

HRESULT ConsoleSite::OnScriptError(IActiveScriptError* error) {
  if (error == nullptr) return E_POINTER;
  error_reported_ = true;
  EXCEPINFO exception{};
  error->GetExceptionInfo(&exception);
  DWORD context = 0;
  ULONG line = 0;
  int32_t column = 0;
  error->GetSourcePosition(&context, &line, &column);
  Error reported = ErrorFromInvoke(DISP_E_EXCEPTION, exception);
  std::u16string message = script_path_ + u"(" + NumberText(int64_t{line} + 1) + u", " +
                           NumberText(int64_t{column} + 1) + u"): " + NumberText(reported.Number()) +
                           u" " + reported.Description() + u"\n";
  std::fflush(stdout);
  WriteText(stderr, message);
  return S_OK;
}
