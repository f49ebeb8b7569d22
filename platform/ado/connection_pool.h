#pragma once
// Idle ODBC connections kept per connection string, so that a page that opens and closes a
// connection on every request reuses one instead of logging in again.
//
// - One pool per connection string (the whole ODBC string, credentials included, is the key).
// - Bounded: at most `max_idle_per_key` idle connections per string and `max_keys` strings;
//   a connection given back beyond either bound is disconnected.
// - Idle time-out: a connection idle longer than `idle_timeout_ms` is disconnected at the next
//   Take or Give (no thread of its own).
// - Taken most recently given first, so that seldom-needed connections age out.
// - A connection is reset (`Reset`) before it is kept: a failing reset disconnects it. A taken
//   connection is checked (`IsAlive`) and disconnected when it is dead.
// Thread-safe: pages on every worker share the process's pool.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/system/odbc_driver_manager.h"

struct ConnectionPoolLimits {
  size_t max_idle_per_key = 32;
  size_t max_keys = 64;
  int64_t idle_timeout_ms = 60000;
};

class ConnectionPool {
 public:
  /// What the pool does with a connection; the real one talks to the driver manager.
  class Operations {
   public:
    virtual ~Operations() = default;
    virtual void Disconnect(odbc::SqlHandle connection) = 0;
    /// Rolls back what is open and restores auto-commit; false when the connection is unusable.
    virtual bool Reset(odbc::SqlHandle connection) = 0;
    virtual bool IsAlive(odbc::SqlHandle connection) = 0;
  };
  using Clock = std::function<int64_t()>;  // milliseconds, monotonic

  ConnectionPool(Operations& operations, ConnectionPoolLimits limits, Clock clock);
  ~ConnectionPool();
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  /// An idle connection of this string, or null (the caller connects anew).
  odbc::SqlHandle Take(std::u16string_view key);
  /// Gives a connection back to be kept idle, or disconnects it (see the bounds above).
  void Give(std::u16string_view key, odbc::SqlHandle connection);
  /// Disconnects every idle connection.
  void Clear();
  size_t IdleCount() const;

 private:
  struct Idle {
    odbc::SqlHandle connection;
    int64_t since_ms;
  };
  // Takes out the connections idle past the time-out (disconnected by the caller, unlocked).
  void CollectExpired(int64_t now, std::vector<odbc::SqlHandle>& expired);

  Operations& operations_;
  ConnectionPoolLimits limits_;
  Clock clock_;
  mutable std::mutex mutex_;
  std::unordered_map<std::u16string, std::vector<Idle>> idle_;
};

/// The process's pool of ODBC connections (limits as above), created at first use.
ConnectionPool& SharedConnectionPool();
