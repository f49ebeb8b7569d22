#include "platform/com/module_loader.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <map>
#include <mutex>

#include "platform/system/code_page.h"

namespace {

struct LoadedModules {
  std::mutex lock;
  std::map<std::string, void*> by_path;
};

LoadedModules& Modules() {
  static LoadedModules* modules = new LoadedModules;  // lives until exit: modules stay loaded
  return *modules;
}

Error LoaderError(std::u16string_view path, const char* reason) {
  std::u16string description = u"Error in loading DLL: ";
  description += path;
  if (reason != nullptr) {
    description += u" (";
    description += BytesToText(reason, CP_UTF8);
    description += u")";
  }
  return Error::Script(static_cast<int32_t>(ErrorNumber::ErrorLoadingDll), description);
}

}  // namespace

Result<void*> LoadModule(std::u16string_view path) {
  if (path.empty() || path.front() != u'/') return LoaderError(path, "not an absolute path");
  std::string file = TextToBytes(path, CP_UTF8);
  if (file.find('\0') != std::string::npos) return LoaderError(path, "invalid name");
  LoadedModules& modules = Modules();
  std::lock_guard<std::mutex> guard(modules.lock);
  auto found = modules.by_path.find(file);
  if (found != modules.by_path.end()) return found->second;
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return LoaderError(path, dlerror());
  modules.by_path.emplace(file, handle);
  return handle;
}

Result<void*> ModuleEntryPoint(void* module, const char* name) {
  void* entry = dlsym(module, name);
  if (entry == nullptr) return ErrorNumber::DllFunctionNotFound;
  return entry;
}

std::u16string ModulePathOf(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  char resolved[PATH_MAX];
  if (realpath(info.dli_fname, resolved) == nullptr) return {};
  return BytesToText(resolved, CP_UTF8);
}

void FreeUnusedModules() {
  LoadedModules& modules = Modules();
  std::lock_guard<std::mutex> guard(modules.lock);
  for (auto it = modules.by_path.begin(); it != modules.by_path.end();) {
    using CanUnload = HRESULT (*)();
    auto can_unload = reinterpret_cast<CanUnload>(dlsym(it->second, "DllCanUnloadNow"));
    if (can_unload != nullptr && can_unload() == S_OK) {
      dlclose(it->second);
      it = modules.by_path.erase(it);
    } else {
      ++it;
    }
  }
}
