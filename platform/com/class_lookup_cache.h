#pragma once
// What object creation reads from the registry for a class, kept for a moment: a page that
// creates the same objects on every request would otherwise read the registry (two hives,
// several lookups each) for every object. An answer is used while this process has not
// touched the registry since it was read and for at most kFreshness, so a class another process
// registers or removes is seen within that time. Only found classes are kept.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/automation/ole_interfaces.h"

namespace class_lookup_cache {

inline constexpr std::chrono::seconds kFreshness{2};

/// How a registered in-process class is served.
struct ServerEntry {
  std::u16string path;        // InprocServer32's default value
  bool main_apartment = false;  // no ThreadingModel: made on the main apartment's thread
};

std::optional<CLSID> FindProgId(std::u16string_view prog_id);
/// `registry_changes`: RegistryChangeCount() taken before the registry was read.
void KeepProgId(std::u16string_view prog_id, const CLSID& clsid, uint64_t registry_changes);
std::optional<ServerEntry> FindServer(const CLSID& clsid);
void KeepServer(const CLSID& clsid, ServerEntry entry, uint64_t registry_changes);

}  // namespace class_lookup_cache
