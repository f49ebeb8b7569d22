#include "apps/common/host_modules.h"

#include <cstdio>
#include <cstdlib>

#include "platform/com/creation.h"
#include "platform/system/code_page.h"

std::string HostModuleFolder() {
  const char* folder = std::getenv("WENDREL_MODULE_DIR");
  if (folder != nullptr && folder[0] != '\0') return folder;
  return WENDREL_DEFAULT_MODULE_DIR;
}

void EnsureHostModulesRegistered(std::span<const HostModule> modules, const char* program) {
  std::string folder = HostModuleFolder();
  for (const HostModule& module : modules) {
    if (IsProgIdRegistered(module.prog_id)) continue;
    std::u16string path = BytesToText(folder + "/" + module.file, CP_UTF8);
    Result<void> registered = RegisterModuleFile(path);
    if (registered.ok()) continue;
    std::string reason = TextToBytes(registered.error().Description(), CP_UTF8);
    std::fprintf(stderr, "%s: cannot register %s: %s\n", program, module.file, reason.c_str());
  }
}
