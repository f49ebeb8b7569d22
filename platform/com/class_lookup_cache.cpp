#include "platform/com/class_lookup_cache.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/automation/text_case.h"
#include "platform/system/registry.h"

namespace class_lookup_cache {
namespace {

using Clock = std::chrono::steady_clock;

template <class T>
struct Kept {
  T value;
  uint64_t registry_changes;
  Clock::time_point read_at;
};

struct ClassIdHash {
  size_t operator()(const CLSID& clsid) const {
    uint64_t halves[2];
    std::memcpy(halves, &clsid, sizeof halves);
    return std::hash<uint64_t>()(halves[0] ^ (halves[1] * 0x9E3779B97F4A7C15ull));
  }
};
struct ClassIdEqual {
  bool operator()(const CLSID& a, const CLSID& b) const { return std::memcmp(&a, &b, sizeof a) == 0; }
};

struct Tables {
  std::mutex mutex;
  std::unordered_map<std::u16string, Kept<CLSID>> prog_ids;  // upper-cased ProgIDs
  std::unordered_map<CLSID, Kept<ServerEntry>, ClassIdHash, ClassIdEqual> servers;
};

// Never destroyed: modules may create objects while the process exits.
Tables& TheTables() {
  static Tables* const tables = new Tables;
  return *tables;
}

template <class T>
bool Fresh(const Kept<T>& kept) {
  return kept.registry_changes == RegistryChangeCount() && Clock::now() - kept.read_at < kFreshness;
}

// Bounds the tables: a process that names endless distinct classes starts over.
constexpr size_t kMaxEntries = 4096;

}  // namespace

std::optional<CLSID> FindProgId(std::u16string_view prog_id) {
  Tables& tables = TheTables();
  std::u16string key = ToUpper(prog_id);
  std::lock_guard lock(tables.mutex);
  auto found = tables.prog_ids.find(key);
  if (found == tables.prog_ids.end() || !Fresh(found->second)) return std::nullopt;
  return found->second.value;
}

void KeepProgId(std::u16string_view prog_id, const CLSID& clsid, uint64_t changes) {
  Tables& tables = TheTables();
  std::u16string key = ToUpper(prog_id);
  std::lock_guard lock(tables.mutex);
  if (tables.prog_ids.size() >= kMaxEntries) tables.prog_ids.clear();
  tables.prog_ids[key] = {clsid, changes, Clock::now()};
}

std::optional<ServerEntry> FindServer(const CLSID& clsid) {
  Tables& tables = TheTables();
  std::lock_guard lock(tables.mutex);
  auto found = tables.servers.find(clsid);
  if (found == tables.servers.end() || !Fresh(found->second)) return std::nullopt;
  return found->second.value;
}

void KeepServer(const CLSID& clsid, ServerEntry entry, uint64_t changes) {
  Tables& tables = TheTables();
  std::lock_guard lock(tables.mutex);
  if (tables.servers.size() >= kMaxEntries) tables.servers.clear();
  tables.servers[clsid] = {std::move(entry), changes, Clock::now()};
}

}  // namespace class_lookup_cache
