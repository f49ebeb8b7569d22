#include "wendrel/asp/object_creation.h"

#include <string>

#include "platform/automation/text_case.h"
#include "platform/com/class_factory.h"
#include "platform/com/creation.h"

namespace {

constexpr std::u16string_view kClsidPrefix = u"clsid:";

}  // namespace

std::optional<CLSID> ClassNamedBy(std::u16string_view text) {
  CLSID clsid{};
  HRESULT found = E_FAIL;
  if (text.starts_with(u"{")) {
    found = CLSIDFromString(text, &clsid);
  } else if (text.size() > kClsidPrefix.size() &&
             EqualsIgnoringCase(text.substr(0, kClsidPrefix.size()), kClsidPrefix)) {
    std::u16string braced = u"{" + std::u16string(text.substr(kClsidPrefix.size())) + u"}";
    found = CLSIDFromString(braced, &clsid);
  } else {
    found = CLSIDFromProgID(text, &clsid);
  }
  if (FAILED(found)) return std::nullopt;
  return clsid;
}

ComPtr<IDispatch> CreateScriptObject(const CLSID& clsid) {
  ComPtr<IDispatch> object;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(object.Receive()));
  if (SUCCEEDED(hr) && object) return object;
  object = nullptr;
  ComPtr<IClassFactory> factory;
  if (SUCCEEDED(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, IID_IClassFactory,
                                 reinterpret_cast<void**>(factory.Receive()))) &&
      factory) {
    factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(object.Receive()));
    if (object) return object;
  }
  ComPtr<IUnknown> unknown;
  if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                 reinterpret_cast<void**>(unknown.Receive()))) &&
      unknown) {
    object = unknown.As<IDispatch>(IID_IDispatch);
    if (object) return object;
  }
  CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                   reinterpret_cast<void**>(object.Receive()));
  return object;
}
