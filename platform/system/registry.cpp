#include "platform/system/registry.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "platform/system/code_page.h"
#include "platform/system/registry_store_internal.h"

namespace {

using registry_internal::DeleteMode;
using registry_internal::kRootKeyId;
using registry_internal::StoredValue;
using Components = std::vector<std::string>;

// Longest value name, in characters.
constexpr size_t kMaxValueNameLength = 16383;
// Characters of a refused name quoted in the error's description.
constexpr size_t kMaxQuotedLength = 64;
// Where each hive keeps the keys that ClassesRoot shows.
constexpr std::u16string_view kClassesPath = u"Software\\Classes";

Error InvalidName(std::u16string_view what, std::u16string_view name) {
  std::u16string description(what);
  description += u": \"";
  description += name.substr(0, kMaxQuotedLength);
  if (name.size() > kMaxQuotedLength) description += u"...";
  description += u'"';
  return Error::FromHresult(kRegistryInvalidName, std::move(description));
}

bool IsNotFound(const Error& error) { return error.Hresult() == kRegistryNotFound; }

size_t DepthOf(std::u16string_view path) {
  if (path.empty()) return 0;
  return static_cast<size_t>(std::count(path.begin(), path.end(), u'\\')) + 1;
}

std::u16string JoinPath(std::u16string_view base, std::u16string_view below) {
  std::u16string path(base);
  if (!base.empty() && !below.empty()) path += u'\\';
  path += below;
  return path;
}

Result<void> CheckKeyName(std::u16string_view name, std::u16string_view path) {
  if (name.empty()) {
    return InvalidName(u"Registry key path has an empty name (a leading, trailing or doubled \\)",
                       path);
  }
  if (name.size() > kMaxRegistryNameLength) {
    return InvalidName(u"Registry key name is longer than 255 characters", name);
  }
  if (name.find(u'\0') != std::u16string_view::npos) {
    return InvalidName(u"Registry key name contains a null character", name);
  }
  return {};
}

// The names of a key path, in UTF-8, below a key `base_depth` levels deep; "" is the key
// itself. Checking as it goes keeps a hostile path from costing more than the limits allow.
Result<Components> SplitPath(std::u16string_view path, size_t base_depth) {
  Components components;
  if (path.empty()) return components;
  for (size_t start = 0;;) {
    size_t end = path.find(u'\\', start);
    std::u16string_view name = path.substr(start, end - start);  // npos - start: to the end
    TRY(CheckKeyName(name, path));
    if (base_depth + components.size() >= kMaxRegistryDepth) {
      return InvalidName(u"Registry key path is deeper than 32 levels", path);
    }
    components.push_back(TextToBytes(name, CP_UTF8));
    if (end == std::u16string_view::npos) return components;
    start = end + 1;
  }
}

Result<std::string> StoredValueName(std::u16string_view name) {
  if (name.size() > kMaxValueNameLength) {
    return InvalidName(u"Registry value name is longer than 16383 characters", name);
  }
  if (name.find(u'\0') != std::u16string_view::npos) {
    return InvalidName(u"Registry value name contains a null character", name);
  }
  return TextToBytes(name, CP_UTF8);
}

Result<void> CheckWriteAccess(RegistryAccess access) {
  if (access == RegistryAccess::ReadWrite) return {};
  return Error::FromHresult(kRegistryAccessDenied, u"The registry key was opened for reading");
}

RegistryValue ToRegistryValue(const StoredValue& stored) {
  RegistryValue value;
  value.name = BytesToText(stored.name, CP_UTF8);
  value.type = stored.type;
  value.text = BytesToText(stored.text, CP_UTF8);
  value.number = stored.number;
  return value;
}

// Where a key was found: what a RegistryKey is made of.
struct KeyPlace {
  RegistryHive hive;
  std::u16string path;
  int64_t id;
};

enum class IfMissing { Fail, Create };

// An existing key below `start`. Asking for ReadWrite access to a key of a read-only hive is
// refused here, as opening a key the caller may not change.
Result<KeyPlace> OpenExisting(RegistryHive hive, int64_t start, std::u16string path,
                              const Components& components, RegistryAccess access) {
  int64_t id = TRY(registry_internal::FindKey(hive, start, components));
  if (access == RegistryAccess::ReadWrite) TRY(registry_internal::CheckWritable(hive));
  return KeyPlace{hive, std::move(path), id};
}

// Opens the key; a missing one is created when asked to. Looking first lets an existing key be
// opened for reading in a read-only hive.
Result<KeyPlace> Locate(RegistryHive hive, int64_t start, std::u16string path,
                        const Components& components, RegistryAccess access, IfMissing missing) {
  Result<KeyPlace> existing = OpenExisting(hive, start, path, components, access);
  if (missing == IfMissing::Fail || existing.ok() || !IsNotFound(existing.error())) {
    return existing;
  }
  int64_t id = TRY(registry_internal::CreateKey(hive, start, components));
  return KeyPlace{hive, std::move(path), id};
}

// A path from a hive's top. ClassesRoot reads the user's classes first and falls back to (and
// creates in) the machine's.
Result<KeyPlace> LocateFromTop(RegistryHive hive, std::u16string_view path,
                               RegistryAccess access, IfMissing missing) {
  if (hive != RegistryHive::ClassesRoot) {
    Components components = TRY(SplitPath(path, 0));
    return Locate(hive, kRootKeyId, std::u16string(path), components, access, missing);
  }
  std::u16string full_path = JoinPath(kClassesPath, path);
  Components components = TRY(SplitPath(full_path, 0));
  Result<KeyPlace> user =
      OpenExisting(RegistryHive::CurrentUser, kRootKeyId, full_path, components, access);
  if (user.ok() || !IsNotFound(user.error())) return user;
  return Locate(RegistryHive::LocalMachine, kRootKeyId, std::move(full_path), components, access,
                missing);
}

struct FoundKey {
  RegistryHive hive;
  int64_t id;
};

// The hives holding the key at `path`; both for a classes key that each of them has.
Result<std::vector<FoundKey>> FindForDelete(RegistryHive hive, std::u16string_view path) {
  if (path.empty()) {
    return Error::FromHresult(kRegistryAccessDenied, u"The root of a hive cannot be deleted");
  }
  bool classes = hive == RegistryHive::ClassesRoot;
  std::u16string full_path = classes ? JoinPath(kClassesPath, path) : std::u16string(path);
  Components components = TRY(SplitPath(full_path, 0));
  std::vector<FoundKey> found;
  for (RegistryHive candidate : {RegistryHive::CurrentUser, RegistryHive::LocalMachine}) {
    if (!classes && candidate != hive) continue;
    Result<int64_t> id = registry_internal::FindKey(candidate, kRootKeyId, components);
    if (id.ok()) found.push_back({candidate, id.value()});
    if (!id.ok() && !IsNotFound(id.error())) return std::move(id).error();
  }
  if (found.empty()) {
    return Error::FromHresult(kRegistryNotFound, u"The registry key does not exist");
  }
  return found;
}

Result<void> DeleteFromTop(RegistryHive hive, std::u16string_view path, DeleteMode mode) {
  std::vector<FoundKey> found = TRY(FindForDelete(hive, path));
  // All copies are checked before any is deleted, so a refusal leaves both hives as they were.
  for (const FoundKey& key : found) {
    if (mode == DeleteMode::KeyOnly && TRY(registry_internal::HasSubKeys(key.hive, key.id))) {
      return Error::FromHresult(kRegistryHasSubKeys, u"The registry key has sub-keys");
    }
  }
  for (const FoundKey& key : found) TRY(registry_internal::DeleteKey(key.hive, key.id, mode));
  return {};
}

}  // namespace

RegistryKey::RegistryKey(RegistryHive hive, std::u16string path, RegistryAccess access,
                         int64_t id)
    : hive_(hive), path_(std::move(path)), access_(access), id_(id) {}

Result<RegistryKey> RegistryKey::Open(RegistryHive hive, std::u16string_view path,
                                      RegistryAccess access) {
  KeyPlace place = TRY(LocateFromTop(hive, path, access, IfMissing::Fail));
  return RegistryKey(place.hive, std::move(place.path), access, place.id);
}

Result<RegistryKey> RegistryKey::Create(RegistryHive hive, std::u16string_view path,
                                        RegistryAccess access) {
  KeyPlace place = TRY(LocateFromTop(hive, path, access, IfMissing::Create));
  return RegistryKey(place.hive, std::move(place.path), access, place.id);
}

Result<void> RegistryKey::DeleteKey(RegistryHive hive, std::u16string_view path) {
  return DeleteFromTop(hive, path, DeleteMode::KeyOnly);
}

Result<void> RegistryKey::DeleteTree(RegistryHive hive, std::u16string_view path) {
  return DeleteFromTop(hive, path, DeleteMode::Tree);
}

Result<RegistryKey> RegistryKey::OpenSubKey(std::u16string_view path,
                                            RegistryAccess access) const {
  Components components = TRY(SplitPath(path, DepthOf(path_)));
  KeyPlace place =
      TRY(Locate(hive_, id_, JoinPath(path_, path), components, access, IfMissing::Fail));
  return RegistryKey(place.hive, std::move(place.path), access, place.id);
}

Result<RegistryKey> RegistryKey::CreateSubKey(std::u16string_view path,
                                              RegistryAccess access) const {
  Components components = TRY(SplitPath(path, DepthOf(path_)));
  KeyPlace place =
      TRY(Locate(hive_, id_, JoinPath(path_, path), components, access, IfMissing::Create));
  return RegistryKey(place.hive, std::move(place.path), access, place.id);
}

Result<void> RegistryKey::SetString(std::u16string_view name, std::u16string_view text) const {
  TRY(CheckWriteAccess(access_));
  std::string stored_name = TRY(StoredValueName(name));
  if (text.size() > kMaxRegistryValueBytes / sizeof(char16_t)) {
    return InvalidName(u"Registry value data is longer than 1 MiB", name);
  }
  StoredValue value{std::move(stored_name), REG_SZ, TextToBytes(text, CP_UTF8), 0};
  return registry_internal::WriteValue(hive_, id_, value);
}

Result<void> RegistryKey::SetNumber(std::u16string_view name, uint32_t number) const {
  TRY(CheckWriteAccess(access_));
  std::string stored_name = TRY(StoredValueName(name));
  StoredValue value{std::move(stored_name), REG_DWORD, {}, number};
  return registry_internal::WriteValue(hive_, id_, value);
}

Result<void> RegistryKey::DeleteValue(std::u16string_view name) const {
  TRY(CheckWriteAccess(access_));
  std::string stored_name = TRY(StoredValueName(name));
  return registry_internal::DeleteValue(hive_, id_, stored_name);
}

Result<RegistryValue> RegistryKey::Query(std::u16string_view name) const {
  std::string stored_name = TRY(StoredValueName(name));
  StoredValue stored = TRY(registry_internal::ReadValue(hive_, id_, stored_name));
  return ToRegistryValue(stored);
}

Result<std::vector<RegistryValue>> RegistryKey::Values() const {
  std::vector<StoredValue> stored = TRY(registry_internal::ReadValues(hive_, id_));
  std::vector<RegistryValue> values;
  values.reserve(stored.size());
  for (const StoredValue& value : stored) values.push_back(ToRegistryValue(value));
  return values;
}

Result<std::vector<std::u16string>> RegistryKey::SubKeyNames() const {
  std::vector<std::string> stored = TRY(registry_internal::ReadSubKeyNames(hive_, id_));
  std::vector<std::u16string> names;
  names.reserve(stored.size());
  for (const std::string& name : stored) names.push_back(BytesToText(name, CP_UTF8));
  return names;
}

void ResetRegistryForTesting() { registry_internal::CloseHives(); }

uint64_t RegistryChangeCount() { return registry_internal::ChangeCount(); }
