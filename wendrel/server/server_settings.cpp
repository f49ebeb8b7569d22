#include "wendrel/server/server_settings.h"

#include <unistd.h>

#include <climits>

namespace {

// The process's working directory when the server is created, the default site root.
std::string WorkingDirectory() {
  char path[PATH_MAX];
  if (getcwd(path, sizeof path) == nullptr) return "/";
  return path;
}

std::atomic<uint64_t> next_version{1};

uint64_t NewVersion() { return next_version.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

ServerSettingsStore::ServerSettingsStore() : version_(NewVersion()) {
  auto settings = std::make_shared<ServerSettings>();
  settings->default_directory = WorkingDirectory();
  current_ = std::move(settings);
}

std::shared_ptr<const ServerSettings> ServerSettingsStore::Current() const {
  thread_local uint64_t kept_version = 0;
  thread_local std::shared_ptr<const ServerSettings> kept;
  if (kept_version == version_.load(std::memory_order_acquire)) return kept;
  std::lock_guard lock(mutex_);
  kept = current_;
  kept_version = version_.load(std::memory_order_relaxed);
  return kept;
}

void ServerSettingsStore::Update(const std::function<void(ServerSettings&)>& change) {
  std::lock_guard lock(mutex_);
  auto changed = std::make_shared<ServerSettings>(*current_);
  change(*changed);
  current_ = std::move(changed);
  version_.store(NewVersion(), std::memory_order_release);
}
