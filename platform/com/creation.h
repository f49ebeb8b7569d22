#pragma once
// Creating objects by class identifier or ProgID through the registry: the class's
// InprocServer32 entry names its module, which is loaded and asked for a class factory.
// Classes registered without a threading model are created on the main apartment's thread;
// a caller on another thread receives a proxy (see apartment.h).

#include <string_view>

#include "platform/automation/result.h"
#include "platform/com/com_ptr.h"

inline constexpr DWORD CLSCTX_INPROC_SERVER = 1;
inline constexpr HRESULT ERROR_MOD_NOT_FOUND_HRESULT = MakeHresult(0x8007007Eu);

/// The class identifier registered for a ProgID (ignoring case); CO_E_CLASSSTRING for an
/// unknown or malformed ProgID.
HRESULT CLSIDFromProgID(std::u16string_view prog_id, CLSID* clsid);
/// The class factory (or `iid`) of a registered in-process class. REGDB_E_CLASSNOTREG when the
/// class is unknown or registered without a module (not creatable), ERROR_MOD_NOT_FOUND_HRESULT
/// when its module cannot be loaded, the module's own answer otherwise.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, REFIID iid, void** object);
/// A new object of a registered class, asked for `iid`.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

/// Whether a ProgID names a class whose module file exists.
bool IsProgIdRegistered(std::u16string_view prog_id);
/// Loads a module by absolute path and calls its DllRegisterServer.
Result<void> RegisterModuleFile(std::u16string_view path);

/// CreateObject of a script: a ProgID or a class identifier in registry form, created for
/// IDispatch. Fails with CannotCreateObject (429) naming the class.
Result<ComPtr<IDispatch>> CreateObject(std::u16string_view class_name);
