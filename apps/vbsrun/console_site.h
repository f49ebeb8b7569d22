#pragma once
// The script site of the command-line host: hands the engine the WScript object and prints
// script errors as "file(line, column): number description".

#include <atomic>
#include <string>

#include "apps/vbsrun/wscript_object.h"
#include "platform/scripting/active_script.h"

class ConsoleSite final : public IActiveScriptSite {
 public:
  ConsoleSite(std::u16string script_path, ComPtr<WScriptObject> wscript);

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return references_.fetch_add(1) + 1; }
  ULONG Release() override;

  HRESULT GetLCID(LCID* lcid) override;
  HRESULT GetItemInfo(const OLECHAR* name, DWORD mask, IUnknown** item, ITypeInfo** type_info) override;
  HRESULT GetDocVersionString(BSTR* version) override;
  HRESULT OnScriptTerminate(const VARIANT* result, const EXCEPINFO* exception) override;
  HRESULT OnStateChange(SCRIPTSTATE state) override;
  HRESULT OnScriptError(IActiveScriptError* error) override;
  HRESULT OnEnterScript() override { return S_OK; }
  HRESULT OnLeaveScript() override { return S_OK; }

  bool error_reported() const { return error_reported_; }

 private:
  ~ConsoleSite() = default;

  std::u16string script_path_;
  ComPtr<WScriptObject> wscript_;
  bool error_reported_ = false;
  std::atomic<ULONG> references_{1};
};
