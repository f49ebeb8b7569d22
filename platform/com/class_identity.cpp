#include "platform/com/class_identity.h"

#include "platform/com/guid.h"
#include "platform/system/registry.h"

Result<CLSID> ClassIdOf(IUnknown* object) {
  if (object == nullptr) return ErrorNumber::ObjectVariableNotSet;
  ComPtr<IPersist> persist;
  HRESULT hr = object->QueryInterface(IID_IPersist, reinterpret_cast<void**>(persist.Receive()));
  if (FAILED(hr)) return Error::FromHresult(hr);
  CLSID clsid{};
  hr = persist->GetClassID(&clsid);
  if (FAILED(hr)) return Error::FromHresult(hr);
  return clsid;
}

Result<const TypeLibraryClass*> RegisteredClassEntry(const CLSID& clsid) {
  Result<RegistryKey> key =
      RegistryKey::Open(RegistryHive::ClassesRoot, u"CLSID\\" + GuidToString(clsid) + u"\\TypeLib");
  if (!key.ok()) return Error::FromHresult(TYPE_E_LIBNOTREGISTERED);
  Result<RegistryValue> libid_text = key.value().Query(u"");
  if (!libid_text.ok()) return Error::FromHresult(TYPE_E_LIBNOTREGISTERED);
  std::optional<GUID> libid = GuidFromString(libid_text.value().text);
  if (!libid) return Error::FromHresult(TYPE_E_LIBNOTREGISTERED);
  const TypeLibrary* library = TRY(LoadRegisteredTypeLibrary(*libid, 0, 0));
  const TypeLibraryClass* type = FindLibraryClass(*library, clsid);
  if (type == nullptr) return Error::FromHresult(TYPE_E_LIBNOTREGISTERED);
  return type;
}
