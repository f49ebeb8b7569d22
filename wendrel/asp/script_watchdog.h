#pragma once
// ScriptWatchdog: the server's script time limit. A page that runs past its deadline has its
// engines (one per script language of the page: whichever runs stops) interrupted with a
// run-time error (the page's error fragment says the limit passed),
// and its cancel flag is set so that a page waiting (for Application.Lock) stops waiting too.
// One thread per server, started with the first page watched; off while the limit is 0.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/scripting/active_script.h"

class ScriptWatchdog {
 public:
  using Clock = std::chrono::steady_clock;

  ScriptWatchdog() = default;
  ~ScriptWatchdog();
  ScriptWatchdog(const ScriptWatchdog&) = delete;
  ScriptWatchdog& operator=(const ScriptWatchdog&) = delete;

  /// Watches the running engines of a page until Forget; a ticket for Forget.
  uint64_t Watch(std::span<const ComPtr<IActiveScript>> engines, Clock::time_point deadline,
                 int limit_seconds, std::atomic<bool>* cancelled);
  /// The page has ended (after this returns the engine is never interrupted).
  void Forget(uint64_t ticket);

 private:
  struct Watched {
    std::vector<ComPtr<IActiveScript>> engines;
    Clock::time_point deadline;
    int limit_seconds;
    std::atomic<bool>* cancelled;
  };
  void Run();
  void InterruptExpired(Clock::time_point now);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<uint64_t, Watched> watched_;
  uint64_t next_ticket_ = 1;
  bool ending_ = false;
  std::thread thread_;
};
