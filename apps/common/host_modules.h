#pragma once
// The modules a host program relies on, registered on first use when the registry lacks them,
// from the folder WENDREL_MODULE_DIR names (default: the build's own module folder).

#include <span>
#include <string>

struct HostModule {
  const char* file;         // e.g. "libvbscript.so"
  const char16_t* prog_id;  // a class the module registers, to tell whether it is registered
};

/// The platform's script engines, the script runtime and data access, which every script host
/// needs. Each is checked by its newest class, so an older registry is brought up to date.
inline constexpr HostModule kScriptModules[] = {
    {"libvbscript.so", u"VBScript.RegExp"},
    {"libjscript.so", u"JScript"},
    {"libscriptruntime.so", u"Scripting.FileSystemObject"},
    {"libado.so", u"ADODB.Connection"},
};

/// The folder the modules are read from.
std::string HostModuleFolder();

/// Registers each module whose ProgID is not registered yet; failures are reported on stderr
/// with `program` as the prefix and do not stop the others.
void EnsureHostModulesRegistered(std::span<const HostModule> modules, const char* program);
