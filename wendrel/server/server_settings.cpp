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

}  // namespace

ServerSettingsStore::ServerSettingsStore() {
  auto settings = std::make_shared<ServerSettings>();
  settings->default_directory = WorkingDirectory();
  current_ = std::move(settings);
}

std::shared_ptr<const ServerSettings> ServerSettingsStore::Current() const {
  std::lock_guard lock(mutex_);
  return current_;
}

void ServerSettingsStore::Update(const std::function<void(ServerSettings&)>& change) {
  std::lock_guard lock(mutex_);
  auto changed = std::make_shared<ServerSettings>(*current_);
  change(*changed);
  current_ = std::move(changed);
}
