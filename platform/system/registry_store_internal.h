#pragma once
// The storage under RegistryKey: one SQLite file per hive, one connection per hive and process.
// Keys are rows (id, parent, name) with the hive's root as row kRootKeyId; values are rows
// (key, name, type, text, number). Names are UTF-8 and compare with ASCII case folding, keeping
// the spelling first written. Every call takes the hive's lock and runs as one transaction, so
// threads and processes may share a hive. A hive whose file does not exist reads as an empty
// hive (only the root exists) and its first write creates the folder and the file.
//
// `hive` is CurrentUser or LocalMachine in every call; ClassesRoot is resolved by the caller.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/registry.h"

namespace registry_internal {

inline constexpr int64_t kRootKeyId = 1;

/// A value as stored: name and text in UTF-8.
struct StoredValue {
  std::string name;
  uint32_t type = REG_SZ;
  std::string text;
  uint32_t number = 0;
};

enum class DeleteMode { KeyOnly, Tree };

/// The key reached from `start` through `components` (none: `start` itself);
/// kRegistryNotFound when it or `start` does not exist.
Result<int64_t> FindKey(RegistryHive hive, int64_t start,
                        const std::vector<std::string>& components);
/// As FindKey, creating the missing keys; kRegistryAccessDenied when the hive is read-only.
Result<int64_t> CreateKey(RegistryHive hive, int64_t start,
                          const std::vector<std::string>& components);
/// Deletes the key with its values (and, for Tree, every key below it). KeyOnly fails with
/// kRegistryHasSubKeys when the key has sub-keys; the root cannot be deleted (access denied).
Result<void> DeleteKey(RegistryHive hive, int64_t key, DeleteMode mode);
Result<bool> HasSubKeys(RegistryHive hive, int64_t key);

/// Adds the value or replaces its type and data, keeping its name and position.
Result<void> WriteValue(RegistryHive hive, int64_t key, const StoredValue& value);
/// kRegistryNotFound when the key has no such value.
Result<void> DeleteValue(RegistryHive hive, int64_t key, std::string_view name);
Result<StoredValue> ReadValue(RegistryHive hive, int64_t key, std::string_view name);
/// In the order first written.
Result<std::vector<StoredValue>> ReadValues(RegistryHive hive, int64_t key);
Result<std::vector<std::string>> ReadSubKeyNames(RegistryHive hive, int64_t key);

/// kRegistryAccessDenied when the hive file or its folder (or, while the folder does not exist,
/// the nearest existing folder above it) lacks the owner's write bit, whoever the user is.
Result<void> CheckWritable(RegistryHive hive);

/// Closes both connections; the next call locates the hive files again.
void CloseHives();
uint64_t ChangeCount();

}  // namespace registry_internal
