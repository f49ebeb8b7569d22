// regsvr [-u] MODULE...: writes (or with -u deletes) the registry entries of in-process modules
// by calling their DllRegisterServer (DllUnregisterServer). Exit 0 when every call succeeded,
// 1 when one failed, 2 for bad arguments.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/com/module_loader.h"
#include "platform/system/code_page.h"

namespace {

using EntryPoint = HRESULT (*)();

void PrintUsage() {
  std::fprintf(stderr,
               "usage: regsvr [-u] MODULE...\n"
               "  Registers each in-process module (an absolute or relative path to a .so).\n"
               "  -u  unregisters instead.\n");
}

// Loads a module and calls one of its registration entry points.
bool CallEntryPoint(const char* module_path, const char* entry_name) {
  char resolved[4096];
  if (realpath(module_path, resolved) == nullptr) {
    std::fprintf(stderr, "regsvr: %s: %s\n", module_path, std::strerror(errno));
    return false;
  }
  Result<void*> module = LoadModule(BytesToText(resolved, CP_UTF8));
  if (!module.ok()) {
    std::string reason = TextToBytes(module.error().Description(), CP_UTF8);
    std::fprintf(stderr, "regsvr: %s\n", reason.c_str());
    return false;
  }
  Result<void*> entry = ModuleEntryPoint(module.value(), entry_name);
  if (!entry.ok()) {
    std::fprintf(stderr, "regsvr: %s does not export %s\n", resolved, entry_name);
    return false;
  }
  HRESULT hr = reinterpret_cast<EntryPoint>(entry.value())();
  if (FAILED(hr)) {
    std::fprintf(stderr, "regsvr: %s in %s failed: 0x%08X\n", entry_name, resolved,
                 static_cast<unsigned>(hr));
    return false;
  }
  std::printf("%s succeeded for %s\n", entry_name, resolved);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* entry_name = "DllRegisterServer";
  int first = 1;
  if (argc > 1 && (std::strcmp(argv[1], "-u") == 0 || std::strcmp(argv[1], "/u") == 0)) {
    entry_name = "DllUnregisterServer";
    first = 2;
  }
  if (first >= argc || std::strcmp(argv[first], "--help") == 0 || argv[first][0] == '-') {
    PrintUsage();
    return 2;
  }
  bool all_succeeded = true;
  for (int i = first; i < argc; ++i) all_succeeded = CallEntryPoint(argv[i], entry_name) && all_succeeded;
  return all_succeeded ? 0 : 1;
}
