#pragma once
// Class factories and the four entry points of an in-process module. A module lists its
// creatable classes (identifier and a function that makes an instance) beside its type
// library, and defines its entry points with WENDREL_DEFINE_MODULE_ENTRY_POINTS. Modules are
// built with hidden visibility, so the factory below and the module's object count are the
// module's own.

#include <atomic>
#include <span>

#include "platform/com/com_object.h"
#include "platform/com/com_ptr.h"
#include "platform/com/module_lock.h"
#include "platform/com/type_library.h"

inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};


class IClassFactory : public IUnknown {
 public:
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

/// One creatable class of a module: `create` returns a new object owning one reference, or
/// null when memory runs out.
struct ModuleClass {
  const CLSID* clsid;
  IUnknown* (*create)();
};

/// The factory of one class.
class ModuleClassFactory final : public ComObject<ModuleClassFactory, IClassFactory> {
 public:
  static constexpr IID kInterfaces[] = {IID_IClassFactory};

  explicit ModuleClassFactory(const ModuleClass& type) : type_(type) {}

  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return ComEntry([&] {
      ComPtr<IUnknown> instance = ComPtr<IUnknown>::Adopt(type_.create());
      if (!instance) return E_OUTOFMEMORY;
      return instance->QueryInterface(iid, object);
    });
  }
  HRESULT LockServer(BOOL lock) override {
    if (lock) {
      LockModule();
    } else {
      UnlockModule();
    }
    return S_OK;
  }

 private:
  const ModuleClass& type_;
};

/// DllGetClassObject over a module's class list: CLASS_E_CLASSNOTAVAILABLE for any other
/// identifier.
inline HRESULT GetModuleClassObject(std::span<const ModuleClass> classes, REFCLSID clsid,
                                    REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  for (const ModuleClass& type : classes) {
    if (!(*type.clsid == clsid)) continue;
    return ComEntry([&] {
      ComPtr<IClassFactory> factory = ComPtr<IClassFactory>::Adopt(new ModuleClassFactory(type));
      return factory->QueryInterface(iid, object);
    });
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

/// Writes the registry entries of every class of the library and registers the library;
/// S_OK or E_FAIL. `module_address` is any address inside the module (to find its file).
HRESULT RegisterModule(const TypeLibrary& library, const void* module_address);
/// Deletes the class entries in reverse order of writing; the type library stays registered.
HRESULT UnregisterModule(const TypeLibrary& library);

#define WENDREL_EXPORT extern "C" __attribute__((visibility("default")))

/// Defines DllGetClassObject, DllCanUnloadNow, DllRegisterServer, DllUnregisterServer and
/// DllGetTypeLibrary for a module with this type library and class list. The module's file is
/// found from the address of its own (hidden) object count, which no other module can shadow.
#define WENDREL_DEFINE_MODULE_ENTRY_POINTS(library, classes)                               \
  WENDREL_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {   \
    return GetModuleClassObject(classes, clsid, iid, object);                              \
  }                                                                                        \
  WENDREL_EXPORT HRESULT DllCanUnloadNow() { return ModuleCanUnload() ? S_OK : S_FALSE; }   \
  WENDREL_EXPORT HRESULT DllRegisterServer() {                                             \
    return RegisterModule(library, reinterpret_cast<const void*>(&ModuleReferenceCount)); \
  }                                                                                        \
  WENDREL_EXPORT HRESULT DllUnregisterServer() { return UnregisterModule(library); }       \
  WENDREL_EXPORT const TypeLibrary* DllGetTypeLibrary() { return &(library); }
