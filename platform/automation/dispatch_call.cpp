#include "platform/automation/dispatch_call.h"

#include <vector>

#include "platform/automation/locale.h"

namespace {

// Arguments of most calls fit here without touching the heap.
constexpr size_t kInlineArguments = 16;

void FreeException(EXCEPINFO& exception) {
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  exception.bstrSource = exception.bstrDescription = exception.bstrHelpFile = nullptr;
}

}  // namespace

Error ErrorFromInvoke(HRESULT hr, EXCEPINFO& exception) {
  if (hr != DISP_E_EXCEPTION) {
    FreeException(exception);
    return Error::FromHresult(hr);
  }
  if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
  HRESULT code = exception.scode;
  if (code == 0) code = exception.wCode != 0 ? ScriptErrorHresult(exception.wCode) : E_FAIL;
  Error error = Error::FromHresult(code, std::u16string(BstrView(exception.bstrDescription)),
                                   std::u16string(BstrView(exception.bstrSource)))
                    .WithHelp(std::u16string(BstrView(exception.bstrHelpFile)),
                              static_cast<int32_t>(exception.dwHelpContext));
  FreeException(exception);
  return error;
}

Result<DISPID> GetDispatchId(IDispatch* object, std::u16string_view name) {
  if (object == nullptr) return ErrorNumber::ObjectVariableNotSet;
  std::u16string copy(name);
  LPOLESTR names[1] = {copy.data()};
  DISPID dispid = DISPID_UNKNOWN;
  HRESULT hr = object->GetIDsOfNames(GUID_NULL, names, 1, GetThreadLocale(), &dispid);
  if (FAILED(hr)) return ErrorNumber::ObjectDoesNotSupportMember;
  return dispid;
}

Result<Variant> InvokeDispatch(IDispatch* object, DISPID member, WORD flags,
                               std::span<const VARIANT> arguments) {
  if (object == nullptr) return ErrorNumber::ObjectVariableNotSet;
  // DISPPARAMS holds the arguments last first; these are borrowed shallow copies.
  VARIANT inline_storage[kInlineArguments];
  std::vector<VARIANT> heap_storage;
  VARIANT* reversed = inline_storage;
  if (arguments.size() > kInlineArguments) {
    heap_storage.resize(arguments.size());
    reversed = heap_storage.data();
  }
  for (size_t i = 0; i < arguments.size(); ++i) reversed[arguments.size() - 1 - i] = arguments[i];
  DISPID put_name = DISPID_PROPERTYPUT;
  bool is_put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  DISPPARAMS params{reversed, is_put ? &put_name : nullptr, static_cast<UINT>(arguments.size()),
                    is_put ? 1u : 0u};
  EXCEPINFO exception{};
  Variant result;
  HRESULT hr = object->Invoke(member, GUID_NULL, GetThreadLocale(), flags, &params,
                              is_put ? nullptr : &result, &exception, nullptr);
  if (FAILED(hr)) return ErrorFromInvoke(hr, exception);
  return result;
}

Result<Variant> InvokeDirectly(IDirectInvoke* object, DISPID member, WORD flags,
                               std::span<VARIANT> arguments) {
  if (object == nullptr) return ErrorNumber::ObjectVariableNotSet;
  bool is_put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  EXCEPINFO exception{};
  Variant result;
  HRESULT hr = object->InvokeDirect(member, flags, arguments.data(), static_cast<UINT>(arguments.size()),
                                    is_put ? nullptr : &result, &exception);
  if (FAILED(hr)) return ErrorFromInvoke(hr, exception);
  return result;
}

Result<Variant> CallMember(IDispatch* object, std::u16string_view name,
                           std::span<const VARIANT> arguments) {
  DISPID dispid = TRY(GetDispatchId(object, name));
  return InvokeDispatch(object, dispid, DISPATCH_METHOD | DISPATCH_PROPERTYGET, arguments);
}

Result<void> PutMember(IDispatch* object, std::u16string_view name,
                       std::span<const VARIANT> indices, const VARIANT& value) {
  DISPID dispid = TRY(GetDispatchId(object, name));
  std::vector<VARIANT> arguments(indices.begin(), indices.end());
  arguments.push_back(value);
  TRY(InvokeDispatch(object, dispid, DISPATCH_PROPERTYPUT, arguments));
  return {};
}
