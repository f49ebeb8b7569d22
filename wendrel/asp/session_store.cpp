#include "wendrel/asp/session_store.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <vector>

#include "platform/system/random_bytes.h"

namespace {

constexpr std::string_view kIdPrefix = "S_";
constexpr size_t kIdRandomBytes = 16;
constexpr size_t kIdLength = kIdPrefix.size() + 2 * kIdRandomBytes;
// How far from the old end an eviction looks past sessions in use.
constexpr int kEvictionScanLimit = 64;

int64_t SteadySeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A cookie value in our identifiers' form, upper-cased (identifiers match ignoring case);
// nothing for anything else.
std::optional<std::string> IdentifierForm(std::string_view text) {
  if (text.size() != kIdLength) return std::nullopt;
  std::string id(text);
  for (size_t i = 0; i < id.size(); ++i) {
    char c = id[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    bool fits = i < kIdPrefix.size() ? c == kIdPrefix[i]
                                     : ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
    if (!fits) return std::nullopt;
    id[i] = c;
  }
  return id;
}

}  // namespace

std::optional<std::string> NewSessionId() {
  std::array<std::byte, kIdRandomBytes> random{};
  if (!FillRandomBytes(random)) return std::nullopt;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string id(kIdPrefix);
  id.reserve(kIdLength);
  for (std::byte b : random) {
    auto value = static_cast<unsigned>(b);
    id += kHex[value >> 4];
    id += kHex[value & 0xF];
  }
  return id;
}

SessionStore::SessionStore() : clock_(SteadySeconds) {}

SessionStore::~SessionStore() { Clear(); }

int64_t SessionStore::Now() { return clock_(); }

void SessionStore::SetClock(Clock clock) {
  std::lock_guard lock(mutex_);
  clock_ = clock ? std::move(clock) : Clock(SteadySeconds);
}

void SessionStore::SetMaxSessions(size_t limit) { max_sessions_.store(limit < 1 ? 1 : limit); }

size_t SessionStore::Count() {
  std::lock_guard lock(mutex_);
  return sessions_.size();
}

SessionStore::Entry* SessionStore::FindLocked(std::string_view cookie_id) {
  std::optional<std::string> id = IdentifierForm(cookie_id);
  if (!id) return nullptr;
  auto found = sessions_.find(*id);
  if (found == sessions_.end() || found->second.session->Abandoned()) return nullptr;
  return &found->second;
}

ComPtr<CASPSession> SessionStore::Acquire(std::string_view cookie_id, uint32_t locale) {
  std::vector<ComPtr<CASPSession>> released;  // let go after the lock
  std::lock_guard lock(mutex_);
  int64_t now = Now();
  if (Entry* entry = FindLocked(cookie_id)) {
    // The client kept the cookie: the session is confirmed and now the most recently used.
    Order& from = entry->confirmed ? confirmed_ : unconfirmed_;
    confirmed_.splice(confirmed_.begin(), from, entry->position);
    entry->confirmed = true;
    entry->session->BeginUse(now);
    return entry->session;
  }
  if (sessions_.size() >= max_sessions_.load()) MakeRoomLocked(released);
  return CreateLocked(locale, now);
}

ComPtr<CASPSession> SessionStore::CreateLocked(uint32_t locale, int64_t now) {
  std::optional<std::string> id;
  do {
    id = NewSessionId();
    if (!id) return nullptr;
  } while (sessions_.contains(*id));
  ComPtr<CASPSession> session = MakeObject<CASPSession>(std::move(*id), locale, now);
  unconfirmed_.push_front(session.get());
  sessions_.emplace(session->Key(), Entry{session, unconfirmed_.begin(), false});
  session->BeginUse(now);
  return session;
}

void SessionStore::MakeRoomLocked(std::vector<ComPtr<CASPSession>>& released) {
  while (sessions_.size() >= max_sessions_.load()) {
    if (!EvictOneFrom(unconfirmed_, released) && !EvictOneFrom(confirmed_, released)) return;
    evictions_.fetch_add(1);
  }
}

// The idle session nearest the old end of `order`; false when none is idle near it.
bool SessionStore::EvictOneFrom(Order& order, std::vector<ComPtr<CASPSession>>& released) {
  int looked = 0;
  for (auto it = order.rbegin(); it != order.rend() && looked < kEvictionScanLimit; ++it, ++looked) {
    if ((*it)->InUse()) continue;
    EraseLocked(sessions_.find((*it)->Key()), released);
    return true;
  }
  return false;
}

void SessionStore::EraseLocked(Map::iterator found, std::vector<ComPtr<CASPSession>>& released) {
  if (found == sessions_.end()) return;
  Entry& entry = found->second;
  (entry.confirmed ? confirmed_ : unconfirmed_).erase(entry.position);
  released.push_back(std::move(entry.session));
  sessions_.erase(found);
}

// An abandoned session goes as soon as its last page ends.
void SessionStore::Release(CASPSession& session) {
  if (session.EndUse() > 0 || !session.Abandoned()) return;
  std::vector<ComPtr<CASPSession>> released;
  std::lock_guard lock(mutex_);
  auto found = sessions_.find(session.Key());
  if (found != sessions_.end() && found->second.session.get() == &session &&
      !session.InUse()) {
    EraseLocked(found, released);
  }
}

size_t SessionStore::Sweep() {
  std::vector<ComPtr<CASPSession>> released;
  std::lock_guard lock(mutex_);
  int64_t now = Now();
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    auto next = std::next(it);
    if (it->second.session->Expired(now)) EraseLocked(it, released);
    it = next;
  }
  return released.size();
}

void SessionStore::Clear() {
  Map sessions;
  {
    std::lock_guard lock(mutex_);
    sessions.swap(sessions_);
    unconfirmed_.clear();
    confirmed_.clear();
  }
}
