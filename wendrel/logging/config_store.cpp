#include "wendrel/logging/config_store.h"

#include <algorithm>
#include <memory>

#include "platform/automation/text_case.h"
#include "platform/system/code_page.h"
#include "platform/system/profile_file.h"
#include "wendrel/common/narrow_text.h"

namespace {

// ---------------------------------------------------------------------------------------------
// What is written and read, in order

/// One saved name and the setting it comes from (exactly one member set).
struct SavedValue {
  std::string_view name;
  std::string ServerConfiguration::*text = nullptr;
  int32_t ServerConfiguration::*number = nullptr;
  ConfigurationList ServerConfiguration::*list = nullptr;
};

constexpr SavedValue kSaveOrder[] = {
    {.name = "DefaultDirectory", .text = &ServerConfiguration::default_directory},
    {.name = "DefaultDocument", .text = &ServerConfiguration::default_document},
    {.name = "AlwaysClose", .number = &ServerConfiguration::always_close},
    {.name = "DisableUpload", .number = &ServerConfiguration::disable_upload},
    {.name = "LogLevel", .number = &ServerConfiguration::log_level},
    {.name = "LogPath", .text = &ServerConfiguration::log_path},
    {.name = "MaxThreads", .number = &ServerConfiguration::max_threads},
    {.name = "MaxUploadSize", .number = &ServerConfiguration::max_upload_size},
    {.name = "Port", .number = &ServerConfiguration::port},
    {.name = "ProcessDefault", .number = &ServerConfiguration::process_default},
    {.name = "VirtDirs", .list = &ServerConfiguration::virtual_dirs},
    {.name = "HostIDs", .list = &ServerConfiguration::host_ids},
    {.name = "MIMETypes", .list = &ServerConfiguration::mime_types},
    {.name = "ServerBind", .text = &ServerConfiguration::server_bind},
    {.name = "UploadDir", .text = &ServerConfiguration::upload_dir},
    {.name = "EnableASPDebug", .number = &ServerConfiguration::enable_asp_debug},
    {.name = "ScriptLanguage", .text = &ServerConfiguration::script_language},
};

/// One loaded name and where it goes (exactly one of text, number, list set); `current` is
/// the setting a profile file's missing integer keeps.
struct LoadedValue {
  std::string_view name;
  std::optional<std::string> LoadedConfiguration::*text = nullptr;
  std::optional<int32_t> LoadedConfiguration::*number = nullptr;
  ConfigurationList LoadedConfiguration::*list = nullptr;
  int32_t ServerConfiguration::*current = nullptr;
};

constexpr LoadedValue kLoadOrder[] = {
    {.name = "DefaultDirectory", .text = &LoadedConfiguration::default_directory},
    {.name = "DefaultDocument", .text = &LoadedConfiguration::default_document},
    {.name = "AlwaysClose", .number = &LoadedConfiguration::always_close,
     .current = &ServerConfiguration::always_close},
    {.name = "DisableUpload", .number = &LoadedConfiguration::disable_upload,
     .current = &ServerConfiguration::disable_upload},
    {.name = "LogLevel", .number = &LoadedConfiguration::log_level,
     .current = &ServerConfiguration::log_level},
    {.name = "LogPath", .text = &LoadedConfiguration::log_path},
    {.name = "MaxThreads", .number = &LoadedConfiguration::max_threads,
     .current = &ServerConfiguration::max_threads},
    {.name = "MaxUploadSize", .number = &LoadedConfiguration::max_upload_size,
     .current = &ServerConfiguration::max_upload_size},
    {.name = "Port", .number = &LoadedConfiguration::port, .current = &ServerConfiguration::port},
    {.name = "ProcessDefault", .number = &LoadedConfiguration::process_default,
     .current = &ServerConfiguration::process_default},
    {.name = "VirtDirs", .list = &LoadedConfiguration::virtual_dirs},
    {.name = "HostIDs", .list = &LoadedConfiguration::host_ids},
    {.name = "MIMETypes", .list = &LoadedConfiguration::mime_types},
    {.name = "ServerBind", .text = &LoadedConfiguration::server_bind},
    {.name = "ScriptLanguage", .text = &LoadedConfiguration::script_language},
    {.name = "UploadDir", .text = &LoadedConfiguration::upload_dir},
    {.name = "EnableASPDebug", .number = &LoadedConfiguration::enable_asp_debug,
     .current = &ServerConfiguration::enable_asp_debug},
};

// ---------------------------------------------------------------------------------------------
// Locations

constexpr std::string_view kFilePrefix = "file://";

struct HivePrefix {
  std::string_view prefix;
  RegistryHive hive;
};

constexpr HivePrefix kHivePrefixes[] = {
    {"HKCU\\", RegistryHive::CurrentUser},
    {"HKLM\\", RegistryHive::LocalMachine},
    {"HKCR\\", RegistryHive::ClassesRoot},
};

ConfigurationLocation FileLocation(std::string_view path) {
  ConfigurationLocation location;
  location.kind = ConfigurationStoreKind::ProfileFile;
  location.file_path = path;
  return location;
}

ConfigurationLocation KeyLocation(RegistryHive hive, std::string_view path) {
  ConfigurationLocation location;
  location.kind = ConfigurationStoreKind::Registry;
  location.hive = hive;
  location.key_path = path;
  return location;
}

/// Text that names a file without the prefix: an absolute path here, or a drive path.
bool LooksLikeFilePath(std::string_view location) {
  return location.starts_with('/') || location.find(":\\") != std::string_view::npos;
}

// ---------------------------------------------------------------------------------------------
// The two stores

enum class StoreUse { Load, Save };

/// A place settings are written to and read from.
class ConfigurationStore {
 public:
  virtual ~ConfigurationStore() = default;

  virtual Result<void> WriteString(std::string_view name, std::string_view text) = 0;
  virtual Result<void> WriteInteger(std::string_view name, int32_t number) = 0;
  /// Makes the list's section or sub-key hold exactly `entries`.
  virtual Result<void> WriteList(std::string_view name, const ConfigurationList& entries) = 0;
  /// Makes the writes so far lasting.
  virtual Result<void> Commit() = 0;

  /// Nothing when the value is absent.
  virtual std::optional<std::string> ReadString(std::string_view name) const = 0;
  virtual std::optional<int32_t> ReadInteger(std::string_view name, int32_t current) const = 0;
  virtual ConfigurationList ReadList(std::string_view name) const = 0;
};

/// A profile file, held in memory and written by Commit.
class ProfileStore final : public ConfigurationStore {
 public:
  ProfileStore(std::string path, ProfileFile file)
      : path_(std::move(path)), file_(std::move(file)) {}

  Result<void> WriteString(std::string_view name, std::string_view text) override {
    return file_.WriteString(kConfigurationSection, name, text);
  }
  Result<void> WriteInteger(std::string_view name, int32_t number) override {
    return file_.WriteString(kConfigurationSection, name, std::to_string(number));
  }
  Result<void> WriteList(std::string_view name, const ConfigurationList& entries) override {
    file_.ClearSection(name);
    for (const auto& [key, value] : entries) TRY(file_.WriteString(name, key, value));
    return {};
  }
  Result<void> Commit() override { return file_.Save(path_); }

  std::optional<std::string> ReadString(std::string_view name) const override {
    std::string text = file_.ReadString(kConfigurationSection, name, "");
    if (text.empty()) return std::nullopt;
    return text;
  }
  std::optional<int32_t> ReadInteger(std::string_view name, int32_t current) const override {
    return file_.ReadInt(kConfigurationSection, name, current);
  }
  ConfigurationList ReadList(std::string_view name) const override {
    ConfigurationList entries;
    for (const std::string& line : file_.ReadSection(name).lines) {
      size_t equals = line.find('=', 1);
      if (equals == std::string::npos) continue;
      entries.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
    return entries;
  }

 private:
  std::string path_;
  ProfileFile file_;
};

std::u16string Wide(std::string_view text) { return BytesToText(text, CP_ACP); }

/// The narrow form of registry text, or nothing when it does not fit the room a load gives it.
std::optional<std::string> FittingText(std::u16string_view text) {
  std::string narrow = TextToBytes(text, CP_ACP);
  if (narrow.size() + 1 > kMaxRegistryTextBytes) return std::nullopt;
  return narrow;
}

/// Deletes the values of `key` whose names are not keys of `entries`.
Result<void> RemoveStaleValues(const RegistryKey& key, const ConfigurationList& entries) {
  std::vector<RegistryValue> values = TRY(key.Values());
  for (const RegistryValue& value : values) {
    bool listed = std::any_of(entries.begin(), entries.end(), [&](const auto& entry) {
      return EqualsIgnoringCase(Wide(entry.first), value.name);
    });
    if (!listed) TRY(key.DeleteValue(value.name));
  }
  return {};
}

/// A registry key; every write goes straight to the hive.
class RegistryStore final : public ConfigurationStore {
 public:
  explicit RegistryStore(RegistryKey key) : key_(std::move(key)) {}

  Result<void> WriteString(std::string_view name, std::string_view text) override {
    return key_.SetString(Wide(name), Wide(text));
  }
  Result<void> WriteInteger(std::string_view name, int32_t number) override {
    return key_.SetNumber(Wide(name), static_cast<uint32_t>(number));
  }
  Result<void> WriteList(std::string_view name, const ConfigurationList& entries) override {
    RegistryKey list = TRY(key_.CreateSubKey(Wide(name), RegistryAccess::ReadWrite));
    for (const auto& [entry_key, entry_value] : entries) {
      TRY(list.SetString(Wide(entry_key), Wide(entry_value)));
    }
    return RemoveStaleValues(list, entries);
  }
  Result<void> Commit() override { return {}; }

  std::optional<std::string> ReadString(std::string_view name) const override {
    Result<RegistryValue> value = key_.Query(Wide(name));
    if (!value.ok() || value.value().type != REG_SZ) return std::nullopt;
    return FittingText(value.value().text);
  }
  std::optional<int32_t> ReadInteger(std::string_view name, int32_t) const override {
    Result<RegistryValue> value = key_.Query(Wide(name));
    if (!value.ok() || value.value().type != REG_DWORD) return std::nullopt;
    return static_cast<int32_t>(value.value().number);
  }
  ConfigurationList ReadList(std::string_view name) const override {
    ConfigurationList entries;
    Result<RegistryKey> list = key_.OpenSubKey(Wide(name), RegistryAccess::Read);
    if (!list.ok()) return entries;
    Result<std::vector<RegistryValue>> values = list.value().Values();
    if (!values.ok()) return entries;
    for (const RegistryValue& value : values.value()) {
      if (value.type != REG_SZ) continue;
      std::optional<std::string> entry_key = FittingText(value.name);
      std::optional<std::string> entry_value = FittingText(value.text);
      if (entry_key && entry_value) entries.emplace_back(*entry_key, *entry_value);
    }
    return entries;
  }

 private:
  RegistryKey key_;
};

using StorePointer = std::unique_ptr<ConfigurationStore>;

/// A save starts from the existing file (or none); a load needs the file to exist, since a
/// missing file would otherwise "find" every integer.
Result<StorePointer> OpenProfileStore(const std::string& path, StoreUse use) {
  Result<ProfileFile> file = ProfileFile::Load(path);
  if (!file.ok()) {
    if (use == StoreUse::Load || file.error().Hresult() != kProfileFileNotFound) {
      return std::move(file).error();
    }
    file = ProfileFile();
  }
  return StorePointer(std::make_unique<ProfileStore>(path, std::move(file).value()));
}

Result<StorePointer> OpenRegistryStore(RegistryHive hive, std::string_view path, StoreUse use) {
  RegistryAccess access = use == StoreUse::Save ? RegistryAccess::ReadWrite : RegistryAccess::Read;
  RegistryKey key = TRY(RegistryKey::Create(hive, Wide(path), access));
  return StorePointer(std::make_unique<RegistryStore>(std::move(key)));
}

Result<StorePointer> OpenStore(std::string_view location, StoreUse use) {
  ConfigurationLocation parsed = ParseConfigurationLocation(location);
  if (parsed.kind == ConfigurationStoreKind::ProfileFile) {
    return OpenProfileStore(parsed.file_path, use);
  }
  return OpenRegistryStore(parsed.hive, parsed.key_path, use);
}

// ---------------------------------------------------------------------------------------------
// Save and load

Result<void> WriteValue(ConfigurationStore& store, const SavedValue& value,
                        const ServerConfiguration& configuration) {
  if (value.text) return store.WriteString(value.name, configuration.*value.text);
  if (value.number) return store.WriteInteger(value.name, configuration.*value.number);
  return store.WriteList(value.name, configuration.*value.list);
}

bool WriteAll(ConfigurationStore& store, const ServerConfiguration& configuration) {
  for (const SavedValue& value : kSaveOrder) {
    if (!WriteValue(store, value, configuration).ok()) return false;
  }
  return true;
}

/// Reads one value into `loaded`; true when something was found.
bool ReadValue(const ConfigurationStore& store, const LoadedValue& value,
               const ServerConfiguration& current, LoadedConfiguration& loaded) {
  if (value.text) {
    loaded.*value.text = store.ReadString(value.name);
    return (loaded.*value.text).has_value();
  }
  if (value.number) {
    loaded.*value.number = store.ReadInteger(value.name, current.*value.current);
    return (loaded.*value.number).has_value();
  }
  ConfigurationList entries = store.ReadList(value.name);
  ConfigurationList& list = loaded.*value.list;
  list.insert(list.end(), entries.begin(), entries.end());
  return !entries.empty();
}

/// Loaded integers skip the property checks, but a thread count outside 1..255 would stop the
/// server from serving or exhaust the process, and a negative upload limit is meaningless.
void KeepWithinServiceableBounds(LoadedConfiguration& loaded) {
  if (loaded.max_threads) {
    loaded.max_threads = std::clamp(*loaded.max_threads, kMinLoadedThreads, kMaxLoadedThreads);
  }
  if (loaded.max_upload_size) loaded.max_upload_size = std::max(*loaded.max_upload_size, 0);
}

}  // namespace

ConfigurationLocation ParseConfigurationLocation(std::string_view location) {
  if (StartsWithIgnoringCase(location, kFilePrefix)) {
    return FileLocation(location.substr(kFilePrefix.size()));
  }
  for (const HivePrefix& hive : kHivePrefixes) {
    if (StartsWithIgnoringCase(location, hive.prefix)) {
      return KeyLocation(hive.hive, location.substr(hive.prefix.size()));
    }
  }
  if (LooksLikeFilePath(location)) return FileLocation(location);
  return KeyLocation(RegistryHive::CurrentUser, location);
}

bool SaveConfiguration(std::string_view location, const ServerConfiguration& configuration) {
  Result<StorePointer> store = OpenStore(location, StoreUse::Save);
  if (!store.ok()) return false;
  bool written = WriteAll(*store.value(), configuration);
  bool committed = store.value()->Commit().ok();
  return written && committed;
}

LoadedConfiguration LoadConfiguration(std::string_view location,
                                      const ServerConfiguration& current) {
  LoadedConfiguration loaded;
  Result<StorePointer> store = OpenStore(location, StoreUse::Load);
  if (!store.ok()) return loaded;
  for (const LoadedValue& value : kLoadOrder) {
    if (ReadValue(*store.value(), value, current, loaded)) loaded.any_found = true;
  }
  KeepWithinServiceableBounds(loaded);
  return loaded;
}
