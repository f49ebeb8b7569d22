#include "platform/com/creation.h"

#include <sys/stat.h>

#include <string>

#include "platform/com/apartment.h"
#include "platform/com/class_factory.h"
#include "platform/com/class_lookup_cache.h"
#include "platform/com/guid.h"
#include "platform/com/module_loader.h"
#include "platform/system/code_page.h"
#include "platform/system/registry.h"

namespace {

using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);

// A ProgID becomes a registry path: it may not walk into other keys.
bool IsWellFormedProgId(std::u16string_view prog_id) {
  if (prog_id.empty() || prog_id.size() > 255) return false;
  for (char16_t c : prog_id) {
    if (c == u'\\' || c < 0x20) return false;
  }
  return true;
}

Result<RegistryKey> OpenServerKey(REFCLSID clsid) {
  Result<RegistryKey> key = RegistryKey::Open(RegistryHive::ClassesRoot,
                                              u"CLSID\\" + GuidToString(clsid) + u"\\InprocServer32");
  if (!key.ok()) return Error::FromHresult(REGDB_E_CLASSNOTREG);
  return key;
}

// The class's in-process server: its module and whether it lives in the main apartment.
Result<class_lookup_cache::ServerEntry> ServerOf(REFCLSID clsid) {
  if (std::optional<class_lookup_cache::ServerEntry> kept = class_lookup_cache::FindServer(clsid)) {
    return std::move(*kept);
  }
  uint64_t changes = RegistryChangeCount();
  RegistryKey server = TRY(OpenServerKey(clsid));
  Result<RegistryValue> path = server.Query(u"");
  if (!path.ok() || path.value().text.empty()) return Error::FromHresult(REGDB_E_CLASSNOTREG);
  Result<RegistryValue> model = server.Query(u"ThreadingModel");
  class_lookup_cache::ServerEntry entry{path.value().text, !model.ok() || model.value().text.empty()};
  class_lookup_cache::KeepServer(clsid, entry, changes);
  return entry;
}

bool LivesInMainApartment(REFCLSID clsid) {
  Result<class_lookup_cache::ServerEntry> server = ServerOf(clsid);
  return server.ok() && server.value().main_apartment;
}

HRESULT CreateHere(REFCLSID clsid, REFIID iid, void** object) {
  ComPtr<IClassFactory> factory;
  HRESULT hr = CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, IID_IClassFactory,
                                reinterpret_cast<void**>(factory.Receive()));
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(nullptr, iid, object);
}

// Creates the object on the main thread and hands this thread a proxy to it.
HRESULT CreateOnMainThread(REFCLSID clsid, REFIID iid, void** object) {
  if (!(iid == IID_IDispatch || iid == IID_IUnknown)) return E_NOINTERFACE;
  ComPtr<IDispatch> proxy;
  HRESULT hr = RunOnMainThread([&]() -> HRESULT {
    ComPtr<IDispatch> created;
    HRESULT created_hr = CreateHere(clsid, IID_IDispatch, reinterpret_cast<void**>(created.Receive()));
    if (FAILED(created_hr)) return created_hr;
    proxy = CreateDispatchProxy(created.get());
    return proxy ? S_OK : E_OUTOFMEMORY;
  });
  if (FAILED(hr)) return hr;
  return proxy->QueryInterface(iid, object);
}

}  // namespace

HRESULT CLSIDFromProgID(std::u16string_view prog_id, CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  if (!IsWellFormedProgId(prog_id)) return CO_E_CLASSSTRING;
  if (std::optional<CLSID> kept = class_lookup_cache::FindProgId(prog_id)) {
    *clsid = *kept;
    return S_OK;
  }
  uint64_t changes = RegistryChangeCount();
  Result<RegistryKey> key =
      RegistryKey::Open(RegistryHive::ClassesRoot, std::u16string(prog_id) + u"\\CLSID");
  if (!key.ok()) return CO_E_CLASSSTRING;
  Result<RegistryValue> value = key.value().Query(u"");
  if (!value.ok()) return CO_E_CLASSSTRING;
  HRESULT hr = CLSIDFromString(value.value().text, clsid);
  if (SUCCEEDED(hr)) class_lookup_cache::KeepProgId(prog_id, *clsid, changes);
  return hr;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  Result<class_lookup_cache::ServerEntry> server = ServerOf(clsid);
  if (!server.ok()) return REGDB_E_CLASSNOTREG;
  Result<void*> module = LoadModule(server.value().path);
  if (!module.ok()) return ERROR_MOD_NOT_FOUND_HRESULT;
  Result<void*> entry = ModuleEntryPoint(module.value(), "DllGetClassObject");
  if (!entry.ok()) return ERROR_MOD_NOT_FOUND_HRESULT;
  return reinterpret_cast<GetClassObject>(entry.value())(clsid, iid, object);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  bool elsewhere = LivesInMainApartment(clsid) && MainApartmentWindow() != nullptr &&
                   !IsMainApartmentThread();
  if (elsewhere) return CreateOnMainThread(clsid, iid, object);
  return CreateHere(clsid, iid, object);
}

bool IsProgIdRegistered(std::u16string_view prog_id) {
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(prog_id, &clsid))) return false;
  Result<class_lookup_cache::ServerEntry> server = ServerOf(clsid);
  if (!server.ok()) return false;
  std::string file = TextToBytes(server.value().path, CP_UTF8);
  struct stat status {};
  return stat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

Result<void> RegisterModuleFile(std::u16string_view path) {
  using EntryPoint = HRESULT (*)();
  void* module = TRY(LoadModule(path));
  auto register_server = reinterpret_cast<EntryPoint>(TRY(ModuleEntryPoint(module, "DllRegisterServer")));
  HRESULT hr = register_server();
  if (FAILED(hr)) return Error::FromHresult(hr);
  return {};
}

Result<ComPtr<IDispatch>> CreateObject(std::u16string_view class_name) {
  CLSID clsid{};
  HRESULT hr = class_name.starts_with(u"{") ? CLSIDFromString(class_name, &clsid)
                                            : CLSIDFromProgID(class_name, &clsid);
  ComPtr<IDispatch> object;
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(object.Receive()));
  }
  if (FAILED(hr)) {
    std::u16string description = u"ActiveX component can't create object: '";
    description += class_name;
    description += u"'";
    return Error::Script(static_cast<int32_t>(ErrorNumber::CannotCreateObject), description);
  }
  return object;
}
