#include "wendrel/asp/asp_script_site.h"

#include "platform/automation/locale.h"
#include "wendrel/asp/asp_server.h"

HRESULT AspScriptSite::GetLCID(LCID* lcid) {
  if (lcid == nullptr) return E_POINTER;
  *lcid = GetThreadLocale();
  return S_OK;
}

// The outputs asked for are cleared first; a requested output without a place is refused.
HRESULT AspScriptSite::GetItemInfo(const OLECHAR* name, DWORD mask, IUnknown** item,
                                   ITypeInfo** type_info) {
  if ((mask & SCRIPTINFO_IUNKNOWN) != 0) {
    if (item == nullptr) return E_INVALIDARG;
    *item = nullptr;
  }
  if ((mask & SCRIPTINFO_ITYPEINFO) != 0) {
    if (type_info == nullptr) return E_INVALIDARG;
    *type_info = nullptr;
  }
  if (name == nullptr || host_ == nullptr) return TYPE_E_ELEMENTNOTFOUND;
  return ComEntry([&] {
    IUnknown* found = host_->ItemFor(name);
    if (found == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    if ((mask & SCRIPTINFO_IUNKNOWN) != 0) *item = found;  // ItemFor added the reference
    else found->Release();
    return S_OK;
  });
}

HRESULT AspScriptSite::GetDocVersionString(BSTR* version) {
  if (version != nullptr) *version = nullptr;
  return E_NOTIMPL;
}

HRESULT AspScriptSite::OnScriptError(IActiveScriptError* error) {
  if (host_ == nullptr || error == nullptr) return S_OK;
  return ComEntry([&] {
    host_->ReportScriptError(error);
    return S_OK;
  });
}

HRESULT AspScriptSite::OnEnterScript() {
  if (host_ != nullptr) host_->EnterScript();
  return S_OK;
}

HRESULT AspScriptSite::OnLeaveScript() {
  if (host_ != nullptr) host_->LeaveScript();
  return S_OK;
}
