#pragma once
// SessionStore: the sessions of one running server, by identifier.
//
// Identifiers are "S_" and 32 upper-case hexadecimal digits: 128 bits from the kernel's random
// source, so one visitor cannot guess another's. A request whose cookie names a session the
// store does not hold (expired, abandoned, or made up by someone else) gets a new identifier:
// an identifier is never adopted from a client.
//
// A session is "confirmed" once a request comes back with its cookie. The store holds at most
// MaxSessions sessions; when a new one would pass that, the oldest unconfirmed idle session goes
// first (clients that never keep the cookie, such as crawlers, make one per request), then the
// idle confirmed session used longest ago. Sessions in use by a page are never dropped, so the
// store may pass the limit by the pages running at that moment.
//
// The expiry sweep (the listener's housekeeping round) drops idle sessions whose timeout has
// passed. A page's session is released at its end; an abandoned session goes then.
//
// Times are whole seconds of a monotonic clock that tests may replace.

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/com/com_ptr.h"
#include "wendrel/asp/asp_session.h"

/// A new session identifier; nothing when the kernel gives no random bytes.
std::optional<std::string> NewSessionId();

class SessionStore {
 public:
  using Clock = std::function<int64_t()>;
  static constexpr size_t kDefaultMaxSessions = 100000;
  /// The cookie that carries the identifier.
  static constexpr std::string_view kCookieName = "ASPSESSIONID";

  SessionStore();
  ~SessionStore();
  SessionStore(const SessionStore&) = delete;
  SessionStore& operator=(const SessionStore&) = delete;

  /// The session the cookie names, or a new one (`locale` is its starting LCID); the session is
  /// in use until Release. Null only when no identifier can be made.
  ComPtr<CASPSession> Acquire(std::string_view cookie_id, uint32_t locale);
  void Release(CASPSession& session);
  /// Drops the expired idle sessions; returns how many went.
  size_t Sweep();
  /// Drops every session (the server stops).
  void Clear();

  size_t Count();
  void SetMaxSessions(size_t limit);
  size_t MaxSessions() const { return max_sessions_.load(); }
  /// Sessions dropped to stay within MaxSessions since the server started.
  uint64_t Evictions() const { return evictions_.load(); }
  /// Replaces the clock (tests).
  void SetClock(Clock clock);

 private:
  using Order = std::list<CASPSession*>;
  struct Entry {
    ComPtr<CASPSession> session;
    Order::iterator position;
    bool confirmed = false;
  };
  // Keys view the sessions' own identifiers, which live as long as their entry.
  using Map = std::unordered_map<std::string_view, Entry>;

  int64_t Now();
  // The entry of a usable session the cookie names; null when there is none.
  Entry* FindLocked(std::string_view cookie_id);
  ComPtr<CASPSession> CreateLocked(uint32_t locale, int64_t now);
  // Drops idle sessions until there is room for one more; dropped sessions go to `released`.
  void MakeRoomLocked(std::vector<ComPtr<CASPSession>>& released);
  bool EvictOneFrom(Order& order, std::vector<ComPtr<CASPSession>>& released);
  void EraseLocked(Map::iterator found, std::vector<ComPtr<CASPSession>>& released);

  std::mutex mutex_;
  Clock clock_;
  Map sessions_;
  Order unconfirmed_;  // newest first
  Order confirmed_;    // most recently used first
  std::atomic<size_t> max_sessions_{kDefaultMaxSessions};
  std::atomic<uint64_t> evictions_{0};
};
