#pragma once
// AspScriptSite: the site a page's engine talks to. It hands out the objects behind the page's
// names and turns script errors into the page's error fragment, both through the CASPServer that
// runs the page. An engine may keep its site longer than the page (a compiled page in the cache
// holds the site it was parsed with): once detached, the site answers that it has nothing.

#include "platform/com/com_object.h"
#include "platform/scripting/active_script.h"

class CASPServer;

class AspScriptSite final : public ComObject<AspScriptSite, IActiveScriptSite> {
 public:
  static constexpr IID kInterfaces[] = {IID_IActiveScriptSite};

  explicit AspScriptSite(CASPServer* host) : host_(host) {}
  /// The host is gone: from now on nothing is found and nothing is reported.
  void Detach() { host_ = nullptr; }

  HRESULT GetLCID(LCID* lcid) override;
  HRESULT GetItemInfo(const OLECHAR* name, DWORD mask, IUnknown** item,
                      ITypeInfo** type_info) override;
  HRESULT GetDocVersionString(BSTR* version) override;
  HRESULT OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
  HRESULT OnStateChange(SCRIPTSTATE) override { return S_OK; }
  HRESULT OnScriptError(IActiveScriptError* error) override;
  HRESULT OnEnterScript() override;
  HRESULT OnLeaveScript() override;

 private:
  CASPServer* host_;
};
