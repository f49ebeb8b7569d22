#pragma once
// The count of live objects and server locks of one module (shared library or program), which
// DllCanUnloadNow reads. Each module has its own: the counter has hidden visibility, so every
// shared object that includes this header keeps a separate one.

#include <atomic>

#define WENDREL_MODULE_LOCAL __attribute__((visibility("hidden")))

WENDREL_MODULE_LOCAL inline std::atomic<long>& ModuleReferenceCount() {
  static std::atomic<long> count{0};
  return count;
}

WENDREL_MODULE_LOCAL inline void LockModule() { ModuleReferenceCount().fetch_add(1); }
WENDREL_MODULE_LOCAL inline void UnlockModule() { ModuleReferenceCount().fetch_sub(1); }
WENDREL_MODULE_LOCAL inline bool ModuleCanUnload() { return ModuleReferenceCount().load() == 0; }
