#pragma once
// The registry: hierarchical keys holding named REG_SZ and REG_DWORD values, in three hives —
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, each kept in its own SQLite file, and
// HKEY_CLASSES_ROOT, the merged view of both hives' "Software\Classes" keys (the user's first).
// Key and value names compare ignoring case; "" names a key's default value. Paths use '\'.
//
// The hive files live in the folder named by WENDREL_REGISTRY_DIR (user.db and machine.db);
// without it the user hive is $XDG_CONFIG_HOME/wendrel/user.db (or ~/.config/...) and the
// machine hive /var/lib/wendrel/machine.db. A hive whose file or folder lacks the owner's write
// permission bit is read-only whoever runs the process (root included): writing to it fails
// with access denied, as a key the caller may not change. Several threads and processes may
// read and write at once.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/result.h"

enum class RegistryHive { ClassesRoot, CurrentUser, LocalMachine };
enum class RegistryAccess { Read, ReadWrite };

inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_DWORD = 4;

/// Windows error codes as HRESULTs (HRESULT_FROM_WIN32), the registry's failures.
inline constexpr HRESULT kRegistryNotFound = MakeHresult(0x80070002u);      // ERROR_FILE_NOT_FOUND
inline constexpr HRESULT kRegistryAccessDenied = MakeHresult(0x80070005u);  // ERROR_ACCESS_DENIED
inline constexpr HRESULT kRegistryInvalidName = MakeHresult(0x80070057u);   // ERROR_INVALID_PARAMETER
inline constexpr HRESULT kRegistryHasSubKeys = MakeHresult(0x80070091u);    // ERROR_DIR_NOT_EMPTY

/// Limits: a key path of at most 32 levels and 255 characters per name; value data of at most
/// 1 MiB. Longer input fails with kRegistryInvalidName.
inline constexpr size_t kMaxRegistryNameLength = 255;
inline constexpr size_t kMaxRegistryDepth = 32;
inline constexpr size_t kMaxRegistryValueBytes = 1u << 20;

struct RegistryValue {
  std::u16string name;
  uint32_t type = REG_SZ;  // REG_SZ or REG_DWORD
  std::u16string text;     // REG_SZ data
  uint32_t number = 0;     // REG_DWORD data
};

/// An open key. Copies refer to the same key. A key deleted while open fails every later call
/// with kRegistryNotFound.
class RegistryKey {
 public:
  /// Opens an existing key ("" opens the hive's root). kRegistryNotFound when missing.
  static Result<RegistryKey> Open(RegistryHive hive, std::u16string_view path,
                                  RegistryAccess access = RegistryAccess::Read);
  /// Opens the key, creating it and any missing parents (RegCreateKeyEx). Creating needs a
  /// writable hive; opening an existing key with Read access does not. Under ClassesRoot a key
  /// that exists in the user hive is opened there, anything else in the machine hive.
  static Result<RegistryKey> Create(RegistryHive hive, std::u16string_view path,
                                    RegistryAccess access = RegistryAccess::ReadWrite);
  /// Deletes a key that has no sub-keys, with its values; kRegistryHasSubKeys otherwise.
  static Result<void> DeleteKey(RegistryHive hive, std::u16string_view path);
  /// Deletes a key with everything below it.
  static Result<void> DeleteTree(RegistryHive hive, std::u16string_view path);

  Result<RegistryKey> OpenSubKey(std::u16string_view path,
                                 RegistryAccess access = RegistryAccess::Read) const;
  Result<RegistryKey> CreateSubKey(std::u16string_view path,
                                   RegistryAccess access = RegistryAccess::ReadWrite) const;

  /// Writes need ReadWrite access (kRegistryAccessDenied otherwise).
  Result<void> SetString(std::u16string_view name, std::u16string_view text) const;
  Result<void> SetNumber(std::u16string_view name, uint32_t number) const;
  Result<void> DeleteValue(std::u16string_view name) const;

  /// kRegistryNotFound when the key has no such value.
  Result<RegistryValue> Query(std::u16string_view name) const;
  /// The values and the sub-key names, in the order they were first written.
  Result<std::vector<RegistryValue>> Values() const;
  Result<std::vector<std::u16string>> SubKeyNames() const;

  RegistryHive hive() const { return hive_; }
  /// The full path inside the hive the key lives in ("Software\Classes\..." for classes keys).
  const std::u16string& path() const { return path_; }

 private:
  RegistryKey(RegistryHive hive, std::u16string path, RegistryAccess access, int64_t id);

  RegistryHive hive_;       // CurrentUser or LocalMachine: where the key actually lives
  std::u16string path_;
  RegistryAccess access_;
  int64_t id_;              // row of the key in its hive
};

/// Closes the hive files (they are reopened on the next use); for tests that move the registry
/// folder between cases.
void ResetRegistryForTesting();

/// Grows whenever this process opens, closes or writes a hive: what was read before a change
/// may be out of date. (Another process's writes are not counted.)
uint64_t RegistryChangeCount();
