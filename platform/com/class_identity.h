#pragma once
// What class an object belongs to, and that class's entry in its registered type library. An
// object tells its class identifier through IPersist; the registry names the class's type
// library (CLSID\{clsid}\TypeLib), whose description gives the event interface and the names of
// its events. Script hosts use this to connect an object's events to script procedures.

#include "platform/automation/result.h"
#include "platform/com/com_ptr.h"
#include "platform/com/type_library.h"

inline constexpr IID IID_IPersist = {0x0000010C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class IPersist : public IUnknown {
 public:
  virtual HRESULT GetClassID(CLSID* clsid) = 0;

 protected:
  ~IPersist() = default;
};

/// The class identifier an object reports; E_NOINTERFACE when it does not tell.
Result<CLSID> ClassIdOf(IUnknown* object);

/// The type-library entry of a registered class: E_NOINTERFACE-style failure
/// (TYPE_E_LIBNOTREGISTERED) when the class has no registered library or the library does not
/// describe it. The entry stays valid while its module is loaded.
Result<const TypeLibraryClass*> RegisteredClassEntry(const CLSID& clsid);
