#include "platform/ado/connection_pool.h"

#include <algorithm>
#include <utility>

ConnectionPool::ConnectionPool(Operations& operations, ConnectionPoolLimits limits, Clock clock)
    : operations_(operations), limits_(limits), clock_(std::move(clock)) {}

ConnectionPool::~ConnectionPool() { Clear(); }

void ConnectionPool::CollectExpired(int64_t now, std::vector<odbc::SqlHandle>& expired) {
  for (auto entry = idle_.begin(); entry != idle_.end();) {
    std::vector<Idle>& list = entry->second;
    auto kept = std::partition(list.begin(), list.end(), [&](const Idle& idle) {
      return now - idle.since_ms <= limits_.idle_timeout_ms;
    });
    for (auto it = kept; it != list.end(); ++it) expired.push_back(it->connection);
    list.erase(kept, list.end());
    entry = list.empty() ? idle_.erase(entry) : std::next(entry);
  }
}

odbc::SqlHandle ConnectionPool::Take(std::u16string_view key) {
  std::vector<odbc::SqlHandle> expired;
  odbc::SqlHandle taken = nullptr;
  {
    std::lock_guard lock(mutex_);
    CollectExpired(clock_(), expired);
    auto entry = idle_.find(std::u16string(key));
    if (entry != idle_.end()) {
      taken = entry->second.back().connection;
      entry->second.pop_back();
      if (entry->second.empty()) idle_.erase(entry);
    }
  }
  // Disconnecting talks to the server: never under the lock.
  for (odbc::SqlHandle connection : expired) operations_.Disconnect(connection);
  if (taken != nullptr && !operations_.IsAlive(taken)) {
    operations_.Disconnect(taken);
    return nullptr;
  }
  return taken;
}

void ConnectionPool::Give(std::u16string_view key, odbc::SqlHandle connection) {
  if (connection == nullptr) return;
  std::vector<odbc::SqlHandle> expired;
  bool kept = false;
  if (operations_.Reset(connection)) {
    std::lock_guard lock(mutex_);
    int64_t now = clock_();
    CollectExpired(now, expired);
    auto entry = idle_.find(std::u16string(key));
    if (entry == idle_.end() && idle_.size() < limits_.max_keys) {
      entry = idle_.emplace(std::u16string(key), std::vector<Idle>()).first;
    }
    if (entry != idle_.end() && entry->second.size() < limits_.max_idle_per_key) {
      entry->second.push_back({connection, now});
      kept = true;
    }
  }
  for (odbc::SqlHandle old : expired) operations_.Disconnect(old);
  if (!kept) operations_.Disconnect(connection);
}

void ConnectionPool::Clear() {
  std::vector<odbc::SqlHandle> all;
  {
    std::lock_guard lock(mutex_);
    for (auto& [key, list] : idle_) {
      for (const Idle& idle : list) all.push_back(idle.connection);
    }
    idle_.clear();
  }
  for (odbc::SqlHandle connection : all) operations_.Disconnect(connection);
}

size_t ConnectionPool::IdleCount() const {
  std::lock_guard lock(mutex_);
  size_t count = 0;
  for (const auto& [key, list] : idle_) count += list.size();
  return count;
}
