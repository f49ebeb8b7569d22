#include "wendrel/asp/script_watchdog.h"

#include "platform/automation/bstr.h"
#include "platform/com/com_object.h"
#include "platform/system/code_page.h"
#include "wendrel/asp/asp_texts.h"
#include "wendrel/common/formatted.h"

ScriptWatchdog::~ScriptWatchdog() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

uint64_t ScriptWatchdog::Watch(std::span<const ComPtr<IActiveScript>> engines,
                               Clock::time_point deadline, int limit_seconds,
                               std::atomic<bool>* cancelled) {
  std::lock_guard lock(mutex_);
  if (!thread_.joinable()) thread_ = std::thread([this] { ThreadEntry([this] { Run(); }); });
  uint64_t ticket = next_ticket_++;
  watched_.emplace(ticket, Watched{{engines.begin(), engines.end()}, deadline, limit_seconds,
                             cancelled});
  changed_.notify_all();
  return ticket;
}

void ScriptWatchdog::Forget(uint64_t ticket) {
  std::lock_guard lock(mutex_);
  watched_.erase(ticket);
}

void ScriptWatchdog::Run() {
  std::unique_lock lock(mutex_);
  while (!ending_) {
    Clock::time_point next = Clock::now() + std::chrono::seconds(1);
    for (const auto& [ticket, watched] : watched_) next = std::min(next, watched.deadline);
    changed_.wait_until(lock, next);
    InterruptExpired(Clock::now());
  }
}

// Under the lock: Forget waits, so an engine is never interrupted after its page ended.
void ScriptWatchdog::InterruptExpired(Clock::time_point now) {
  for (auto it = watched_.begin(); it != watched_.end();) {
    if (it->second.deadline > now) {
      ++it;
      continue;
    }
    Watched& watched = it->second;
    if (watched.cancelled != nullptr) watched.cancelled->store(true);
    std::string text = Formatted(AspTextFormat(AspText::ScriptTimedOut), watched.limit_seconds);
    Bstr description(BytesToText(text, CP_ACP));
    EXCEPINFO exception{};
    exception.scode = E_FAIL;
    exception.bstrDescription = description.get();
    for (const ComPtr<IActiveScript>& engine : watched.engines) {
      engine->InterruptScriptThread(SCRIPTTHREADID_ALL, &exception, 0);
    }
    it = watched_.erase(it);
  }
}
