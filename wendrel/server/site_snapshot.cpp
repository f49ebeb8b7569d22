#include "wendrel/server/site_snapshot.h"

#include <atomic>

#include "wendrel/asp/collection.h"
#include "wendrel/asp/collection_entry.h"

namespace {

std::atomic<uint64_t> next_store_id{1};

}  // namespace

const FileRoot* SiteSnapshot::RootFor(std::string_view folder) const {
  for (const FileRoot& root : roots) {
    if (root.path() == folder) return &root;
  }
  return nullptr;
}

SiteSnapshotStore::SiteSnapshotStore(const ServerSettingsStore& settings,
                                     Collection& virtual_dirs, Collection& host_ids,
                                     Collection& mime_types)
    : settings_(settings),
      virtual_dirs_(virtual_dirs),
      host_ids_(host_ids),
      mime_types_(mime_types),
      id_(next_store_id.fetch_add(1, std::memory_order_relaxed)) {}

SiteSnapshotStore::Versions SiteSnapshotStore::Now() const {
  // Entry changes first: a copy taken after these reads is at least as new as they say.
  Versions versions;
  versions.store = id_;
  versions.entries = CollectionEntriesGeneration();
  versions.settings = settings_.Version();
  versions.virtual_dirs = virtual_dirs_.Version();
  versions.host_ids = host_ids_.Version();
  versions.mime_types = mime_types_.Version();
  return versions;
}

std::shared_ptr<const SiteSnapshot> SiteSnapshotStore::Current() {
  thread_local Versions kept_versions;
  thread_local std::shared_ptr<const SiteSnapshot> kept;
  Versions now = Now();
  if (kept && kept_versions == now) return kept;
  std::lock_guard lock(mutex_);
  if (!current_ || !(built_ == now)) {
    current_ = Build();
    built_ = now;
  }
  kept = current_;
  kept_versions = now;
  return kept;
}

std::shared_ptr<const SiteSnapshot> SiteSnapshotStore::Build() const {
  auto snapshot = std::make_shared<SiteSnapshot>();
  snapshot->settings = settings_.Current();
  snapshot->site.default_directory = snapshot->settings->default_directory;
  snapshot->site.virtual_dirs = virtual_dirs_.EntryPairs();
  snapshot->site.host_ids = host_ids_.EntryPairs();
  snapshot->mime_types = mime_types_.EntryPairs();
  auto add_root = [&](const std::string& folder) {
    std::string normal = NormalisedRoot(folder);
    if (snapshot->RootFor(normal) == nullptr) snapshot->roots.emplace_back(normal);
  };
  add_root(snapshot->site.default_directory);
  for (const auto& [name, folder] : snapshot->site.virtual_dirs) add_root(folder);
  for (const auto& [host, folder] : snapshot->site.host_ids) add_root(folder);
  return snapshot;
}
