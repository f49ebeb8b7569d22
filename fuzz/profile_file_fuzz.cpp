// An INI file as the configuration store reads and edits it: every read of the sections the
// server uses, then writes that replace and add keys, read back.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/system/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  ProfileFile file(text);
  for (std::string_view section : {"WEB Server", "VirtDirs", "MIMETypes", ""}) {
    (void)file.ReadSection(section);
    (void)file.FindString(section, "Port");
    (void)file.ReadInt(section, "MaxThreads", 15);
    (void)file.ReadString(section, "DefaultDirectory", "");
  }
  if (file.WriteString("WEB Server", "Port", "8080").ok()) {
    if (file.ReadInt("WEB Server", "Port", 0) != 8080) __builtin_trap();
  }
  (void)file.WriteString("New Section", "Key", "Value");
  file.ClearSection("VirtDirs");
  (void)file.ReadSection("VirtDirs");
  return 0;
}
