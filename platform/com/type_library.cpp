#include "platform/com/type_library.h"

#include <string>

#include "platform/automation/text_case.h"
#include "platform/com/guid.h"
#include "platform/com/module_loader.h"
#include "platform/system/registry.h"

namespace {

using GetTypeLibrary = const TypeLibrary* (*)();

// "2.0" → {2, 0}; versions are written in decimal.
bool ParseVersion(std::u16string_view text, uint32_t* major, uint32_t* minor) {
  size_t dot = text.find(u'.');
  if (dot == std::u16string_view::npos || dot == 0 || dot + 1 >= text.size() || text.size() > 11) {
    return false;
  }
  uint32_t parts[2] = {0, 0};
  std::u16string_view pieces[2] = {text.substr(0, dot), text.substr(dot + 1)};
  for (int i = 0; i < 2; ++i) {
    for (char16_t c : pieces[i]) {
      if (c < u'0' || c > u'9') return false;
      parts[i] = parts[i] * 10 + static_cast<uint32_t>(c - u'0');
    }
  }
  *major = parts[0];
  *minor = parts[1];
  return true;
}

// The newest version key of a library, or the exact one asked for.
Result<std::u16string> FindVersionKey(const RegistryKey& library_key, uint16_t major, uint16_t minor) {
  std::vector<std::u16string> versions = TRY(library_key.SubKeyNames());
  std::u16string best;
  uint64_t best_rank = 0;
  for (const std::u16string& version : versions) {
    uint32_t found_major = 0;
    uint32_t found_minor = 0;
    if (!ParseVersion(version, &found_major, &found_minor)) continue;
    bool wanted = (major == 0 && minor == 0) || (found_major == major && found_minor == minor);
    uint64_t rank = (uint64_t{found_major} << 32) | found_minor;
    if (wanted && (best.empty() || rank > best_rank)) {
      best = version;
      best_rank = rank;
    }
  }
  if (best.empty()) return Error::FromHresult(TYPE_E_LIBNOTREGISTERED);
  return best;
}

Result<const TypeLibrary*> LoadLibraryFromKey(const RegistryKey& version_key) {
  RegistryKey module_key = TRY(version_key.OpenSubKey(u"0\\linux"));
  RegistryValue path = TRY(module_key.Query(u""));
  void* module = TRY(LoadModule(path.text));
  auto get_library = reinterpret_cast<GetTypeLibrary>(TRY(ModuleEntryPoint(module, "DllGetTypeLibrary")));
  const TypeLibrary* library = get_library();
  if (library == nullptr) return Error::FromHresult(TYPE_E_LIBNOTREGISTERED);
  return library;
}

}  // namespace

const TypeLibraryClass* FindLibraryClass(const TypeLibrary& library, std::u16string_view name) {
  for (const TypeLibraryClass& type : library.classes) {
    if (EqualsIgnoringCase(type.name, name)) return &type;
  }
  return nullptr;
}

const TypeLibraryClass* FindLibraryClass(const TypeLibrary& library, const CLSID& clsid) {
  for (const TypeLibraryClass& type : library.classes) {
    if (type.clsid == clsid) return &type;
  }
  return nullptr;
}

std::optional<int32_t> FindLibraryConstant(const TypeLibrary& library, std::u16string_view name) {
  for (const TypeLibraryEnumeration& enumeration : library.enumerations) {
    for (const TypeLibraryConstant& constant : enumeration.constants) {
      if (EqualsIgnoringCase(constant.name, name)) return constant.value;
    }
  }
  return std::nullopt;
}

std::u16string_view FindEventName(const TypeLibraryClass& type, DISPID dispid) {
  for (const TypeLibraryMember& event : type.events) {
    if (event.dispid == dispid) return event.name;
  }
  return {};
}

std::u16string ProgIdOf(const TypeLibrary& library, const TypeLibraryClass& type) {
  if (!type.prog_id.empty()) return std::u16string(type.prog_id);
  std::u16string prog_id(library.name);
  prog_id += u'.';
  prog_id += type.name;
  return prog_id;
}

Result<const TypeLibrary*> LoadRegisteredTypeLibrary(const GUID& libid, uint16_t major, uint16_t minor) {
  Result<RegistryKey> library_key = RegistryKey::Open(RegistryHive::ClassesRoot, u"TypeLib\\" + GuidToString(libid));
  if (!library_key.ok()) return Error::FromHresult(TYPE_E_LIBNOTREGISTERED);
  std::u16string version = TRY(FindVersionKey(library_key.value(), major, minor));
  RegistryKey version_key = TRY(library_key.value().OpenSubKey(version));
  return LoadLibraryFromKey(version_key);
}

Result<const TypeLibrary*> LoadRegisteredTypeLibrary(std::u16string_view name) {
  Result<RegistryKey> libraries = RegistryKey::Open(RegistryHive::ClassesRoot, u"TypeLib");
  if (!libraries.ok()) return Error::FromHresult(TYPE_E_LIBNOTREGISTERED);
  for (const std::u16string& libid : TRY(libraries.value().SubKeyNames())) {
    RegistryKey library_key = TRY(libraries.value().OpenSubKey(libid));
    Result<std::u16string> version = FindVersionKey(library_key, 0, 0);
    if (!version.ok()) continue;
    RegistryKey version_key = TRY(library_key.OpenSubKey(version.value()));
    Result<RegistryValue> library_name = version_key.Query(u"Name");
    if (library_name.ok() && EqualsIgnoringCase(library_name.value().text, name)) {
      return LoadLibraryFromKey(version_key);
    }
  }
  return Error::FromHresult(TYPE_E_LIBNOTREGISTERED);
}
