#pragma once
// The whole content of a registry key as text, one line per key and per value, sub-keys in
// the order the registry lists them: what tests compare before and after a change.

#include <string>

#include "platform/system/code_page.h"
#include "platform/system/registry.h"

inline void DumpRegistryKey(const RegistryKey& key, const std::string& path, std::string& out) {
  out += path + "\n";
  Result<std::vector<RegistryValue>> values = key.Values();
  if (values.ok()) {
    for (const RegistryValue& value : values.value()) {
      out += path + " [" + TextToBytes(value.name, CP_UTF8) + "] = ";
      out += value.type == REG_DWORD ? std::to_string(value.number) : TextToBytes(value.text, CP_UTF8);
      out += "\n";
    }
  }
  Result<std::vector<std::u16string>> names = key.SubKeyNames();
  if (!names.ok()) return;
  for (const std::u16string& name : names.value()) {
    Result<RegistryKey> sub_key = key.OpenSubKey(name);
    if (sub_key.ok()) DumpRegistryKey(sub_key.value(), path + "\\" + TextToBytes(name, CP_UTF8), out);
  }
}

/// Every key and value below `path` of the hive; empty when the key does not exist.
inline std::string DumpRegistry(RegistryHive hive, std::u16string_view path) {
  Result<RegistryKey> key = RegistryKey::Open(hive, path);
  if (!key.ok()) return {};
  std::string out;
  DumpRegistryKey(key.value(), TextToBytes(path, CP_UTF8), out);
  return out;
}
