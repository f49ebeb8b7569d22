#pragma once
// Loading in-process modules by path and finding their entry points. A module stays loaded
// until FreeUnusedModules finds it idle (its DllCanUnloadNow says S_OK).

#include <string>
#include <string_view>

#include "platform/automation/result.h"

/// dlopen of an absolute path (cached per path). A relative path or a file that cannot be
/// loaded fails with an error naming the module and the loader's reason.
Result<void*> LoadModule(std::u16string_view path);
/// An exported function of a loaded module; DISP_E_UNKNOWNNAME-style failure when absent.
Result<void*> ModuleEntryPoint(void* module, const char* name);
/// The absolute file name of the module that contains `address`; empty when unknown.
std::u16string ModulePathOf(const void* address);
/// Unloads every loaded module whose DllCanUnloadNow answers S_OK (CoFreeUnusedLibraries).
void FreeUnusedModules();
