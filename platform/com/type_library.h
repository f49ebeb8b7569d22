#pragma once
// Type-library descriptions compiled into a module: the library's name, identifier, version,
// locale and help string, its classes with their default and event interfaces, and its
// enumerations with their constants. A module hands its description out through the exported
// DllGetTypeLibrary; script engines read the constants of a library added to them.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/automation/ole_interfaces.h"
#include "platform/automation/result.h"

enum class ThreadingModel { None, Apartment, Both };

enum ClassFlags : uint32_t {
  kClassCreatable = 1,   // has a class factory and an InprocServer32 entry
  kClassHidden = 2,      // hidden in the type library
  kClassAppObject = 4,   // an application object with a predeclared instance
};

/// A member of an interface described by the library: its name and dispatch identifier.
struct TypeLibraryMember {
  std::u16string_view name;
  DISPID dispid;
};

struct TypeLibraryClass {
  std::u16string_view name;
  CLSID clsid;
  std::u16string_view default_interface;
  IID interface_id;
  std::u16string_view event_interface;  // empty when the class raises no events
  IID event_interface_id;
  uint32_t flags;
  ThreadingModel threading;
  /// A ProgID of its own ("VBScript"); empty for the usual library name, '.', class name.
  std::u16string_view prog_id = {};
  /// A versioned ProgID registered beside it ("ADODB.Connection.6.0"), whose CurVer it is;
  /// empty for none.
  std::u16string_view versioned_prog_id = {};
  /// The events of the event interface (what a sink is called with), for hosts that connect
  /// events to script procedures by name.
  std::span<const TypeLibraryMember> events = {};
};

struct TypeLibraryConstant {
  std::u16string_view name;
  int32_t value;
};

struct TypeLibraryEnumeration {
  std::u16string_view name;
  std::span<const TypeLibraryConstant> constants;
};

struct TypeLibrary {
  std::u16string_view name;  // also the first half of every ProgID of the library
  GUID libid;
  uint16_t major_version;
  uint16_t minor_version;
  LCID lcid;
  std::u16string_view help_string;
  std::span<const TypeLibraryClass> classes;
  std::span<const TypeLibraryEnumeration> enumerations;
};

/// Looks a class up by name (ignoring case) or by identifier.
const TypeLibraryClass* FindLibraryClass(const TypeLibrary& library, std::u16string_view name);
const TypeLibraryClass* FindLibraryClass(const TypeLibrary& library, const CLSID& clsid);
/// The value of an enumeration constant by name (ignoring case), from any enumeration.
std::optional<int32_t> FindLibraryConstant(const TypeLibrary& library, std::u16string_view name);

/// The name of an event of a class's event interface by its dispatch identifier; empty when
/// the class has no such event.
std::u16string_view FindEventName(const TypeLibraryClass& type, DISPID dispid);

/// The ProgID of a class: its own, else library name, '.', class name.
std::u16string ProgIdOf(const TypeLibrary& library, const TypeLibraryClass& type);

/// The description of a registered type library (LoadRegTypeLib): the registry names the
/// module, which is loaded and asked. A version of 0.0 takes the newest registered one.
/// TYPE_E_ELEMENTNOTFOUND-style errors (Error with TYPE_E_LIBNOTREGISTERED) when absent.
Result<const TypeLibrary*> LoadRegisteredTypeLibrary(const GUID& libid, uint16_t major,
                                                     uint16_t minor);
/// The same, found by the library's name (ignoring case).
Result<const TypeLibrary*> LoadRegisteredTypeLibrary(std::u16string_view name);

inline constexpr HRESULT TYPE_E_LIBNOTREGISTERED = MakeHresult(0x8002801Du);
