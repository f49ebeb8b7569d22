// The registry entries of an in-process module: six per class and the type library's.
#include <string>
#include <vector>

#include "platform/com/class_factory.h"
#include "platform/com/guid.h"
#include "platform/com/module_loader.h"
#include "platform/system/registry.h"

namespace {

const char16_t* ThreadingModelName(ThreadingModel model) {
  switch (model) {
    case ThreadingModel::Apartment: return u"Apartment";
    case ThreadingModel::Both: return u"Both";
    case ThreadingModel::None: return nullptr;
  }
  return nullptr;
}

struct ClassEntry {
  std::u16string key;
  std::u16string value;
};

// The entries of one class in the order they are written; unregistering deletes them in
// reverse.
std::vector<ClassEntry> ClassEntries(const TypeLibrary& library, const TypeLibraryClass& type,
                                     std::u16string_view module_path) {
  std::u16string clsid_key = u"CLSID\\" + GuidToString(type.clsid);
  std::u16string prog_id = ProgIdOf(library, type);
  std::vector<ClassEntry> entries;
  entries.push_back({clsid_key, std::u16string(type.name)});
  if ((type.flags & kClassCreatable) != 0) {
    entries.push_back({clsid_key + u"\\InprocServer32", std::u16string(module_path)});
  }
  entries.push_back({clsid_key + u"\\ProgID", prog_id});
  entries.push_back({prog_id, std::u16string(type.name)});
  entries.push_back({prog_id + u"\\CLSID", GuidToString(type.clsid)});
  entries.push_back({clsid_key + u"\\TypeLib", GuidToString(library.libid)});
  if (!type.versioned_prog_id.empty()) {
    std::u16string versioned(type.versioned_prog_id);
    entries.push_back({versioned, std::u16string(type.name)});
    entries.push_back({versioned + u"\\CLSID", GuidToString(type.clsid)});
    entries.push_back({prog_id + u"\\CurVer", versioned});
  }
  return entries;
}

Result<void> WriteDefaultValue(std::u16string_view path, std::u16string_view value) {
  RegistryKey key = TRY(RegistryKey::Create(RegistryHive::ClassesRoot, path));
  return key.SetString(u"", value);
}

// Deletes a key and what lies below it; a key that is not there is no failure.
Result<void> DeleteIfPresent(std::u16string_view path) {
  Result<void> deleted = RegistryKey::DeleteTree(RegistryHive::ClassesRoot, path);
  if (!deleted.ok() && deleted.error().Hresult() != kRegistryNotFound) return deleted;
  return {};
}

std::u16string ServerKey(const TypeLibraryClass& type) {
  return u"CLSID\\" + GuidToString(type.clsid) + u"\\InprocServer32";
}

// The class's entries, and its threading model on the server entry. A class that is not
// creatable loses a server entry an earlier version of the module wrote (it would still create
// it), and a class without a threading model loses a stale ThreadingModel value.
Result<void> WriteClass(const TypeLibrary& library, const TypeLibraryClass& type,
                        std::u16string_view module_path) {
  for (const ClassEntry& entry : ClassEntries(library, type, module_path)) {
    TRY(WriteDefaultValue(entry.key, entry.value));
  }
  if ((type.flags & kClassCreatable) == 0) return DeleteIfPresent(ServerKey(type));
  RegistryKey server = TRY(RegistryKey::Create(RegistryHive::ClassesRoot, ServerKey(type)));
  const char16_t* threading = ThreadingModelName(type.threading);
  if (threading != nullptr) return server.SetString(u"ThreadingModel", threading);
  Result<void> removed = server.DeleteValue(u"ThreadingModel");
  if (!removed.ok() && removed.error().Hresult() != kRegistryNotFound) return removed;
  return {};
}

std::u16string VersionKey(const TypeLibrary& library) {
  std::u16string path = u"TypeLib\\" + GuidToString(library.libid) + u"\\";
  std::string version = std::to_string(library.major_version) + "." + std::to_string(library.minor_version);
  return path + std::u16string(version.begin(), version.end());
}

Result<void> WriteTypeLibrary(const TypeLibrary& library, std::u16string_view module_path) {
  std::u16string version_key = VersionKey(library);
  RegistryKey version = TRY(RegistryKey::Create(RegistryHive::ClassesRoot, version_key));
  TRY(version.SetString(u"", library.help_string));
  TRY(version.SetString(u"Name", library.name));
  TRY(WriteDefaultValue(version_key + u"\\FLAGS", u"0"));
  std::u16string folder(module_path.substr(0, module_path.rfind(u'/') + 1));
  TRY(WriteDefaultValue(version_key + u"\\HELPDIR", folder));
  return WriteDefaultValue(version_key + u"\\0\\linux", module_path);
}

}  // namespace

HRESULT RegisterModule(const TypeLibrary& library, const void* module_address) {
  std::u16string module_path = ModulePathOf(module_address);
  if (module_path.empty()) return E_FAIL;
  for (const TypeLibraryClass& type : library.classes) {
    if (!WriteClass(library, type, module_path).ok()) return E_FAIL;
  }
  return WriteTypeLibrary(library, module_path).ok() ? S_OK : E_FAIL;
}

HRESULT UnregisterModule(const TypeLibrary& library) {
  bool all_deleted = true;
  for (const TypeLibraryClass& type : library.classes) {
    std::vector<ClassEntry> entries = ClassEntries(library, type, u"");
    // A server entry left by an earlier version of a class that is no longer creatable.
    if ((type.flags & kClassCreatable) == 0) {
      all_deleted = DeleteIfPresent(ServerKey(type)).ok() && all_deleted;
    }
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
      Result<void> deleted = RegistryKey::DeleteKey(RegistryHive::ClassesRoot, entry->key);
      if (!deleted.ok() && deleted.error().Hresult() != kRegistryNotFound) all_deleted = false;
    }
  }
  return all_deleted ? S_OK : E_FAIL;
}
