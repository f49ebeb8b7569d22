#pragma once
// SiteSnapshot: what a request reads of the server's configuration, published together and
// never changed afterwards: the settings, the path map (site root, virtual directories, host
// identifiers), the configured MIME types and the root folders held open for the containment
// check. The host may change any of them at any time (properties, or the VirtualDirs, HostId
// and MIMETypes collections directly); the store notices through version counters and builds
// a new snapshot, so a request never copies the lists and never sees half a change.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "wendrel/server/file_containment.h"
#include "wendrel/server/path_mapping.h"
#include "wendrel/server/server_settings.h"

class Collection;

struct SiteSnapshot {
  std::shared_ptr<const ServerSettings> settings;
  SiteMap site;
  std::vector<std::pair<std::string, std::string>> mime_types;  // ".pdf" -> type
  /// The site root, every virtual directory's folder and every host's root, opened when the
  /// snapshot was made (a folder missing then has no descriptor).
  std::vector<FileRoot> roots;

  /// The opened root for a folder named as the path map names it; null when none.
  const FileRoot* RootFor(std::string_view folder) const;
};

class SiteSnapshotStore {
 public:
  SiteSnapshotStore(const ServerSettingsStore& settings, Collection& virtual_dirs,
                    Collection& host_ids, Collection& mime_types);
  SiteSnapshotStore(const SiteSnapshotStore&) = delete;
  SiteSnapshotStore& operator=(const SiteSnapshotStore&) = delete;

  /// The current snapshot: the one the calling thread holds while nothing changed (a few
  /// atomic reads), else the shared one, rebuilt when it is out of date.
  std::shared_ptr<const SiteSnapshot> Current();

 private:
  struct Versions {
    uint64_t store = 0;  // unique per store, so a thread's kept copy never passes for another's
    uint64_t settings = 0;
    uint64_t virtual_dirs = 0;
    uint64_t host_ids = 0;
    uint64_t mime_types = 0;
    uint64_t entries = 0;
    bool operator==(const Versions&) const = default;
  };
  Versions Now() const;
  std::shared_ptr<const SiteSnapshot> Build() const;

  const ServerSettingsStore& settings_;
  Collection& virtual_dirs_;
  Collection& host_ids_;
  Collection& mime_types_;
  const uint64_t id_;
  std::mutex mutex_;
  Versions built_;
  std::shared_ptr<const SiteSnapshot> current_;
};
