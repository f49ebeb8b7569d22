#include "wendrel/server/connections/worker_pool.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <system_error>

#include "platform/com/apartment.h"
#include "platform/com/com_object.h"
#include "wendrel/asp/asp_server.h"
#include "wendrel/logging/access_log.h"
#include "wendrel/common/formatted.h"
#include "wendrel/logging/trace.h"
#include "wendrel/server/connections/http_connection.h"

namespace {

constexpr int kNiceStopMs = 200;
constexpr int kInterruptedStopMs = 3500;

// A stop on the host's main thread keeps serving the calls workers hand to it (objects pages
// share live there), so a worker in such a call can finish. A negative time-out waits until
// the worker has ended.
bool WaitForEnd(const std::atomic<WorkerState>& state, int timeout_ms) {
  auto ended = [&state] { return state.load() == WorkerState::Ended; };
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  auto past_deadline = [&] { return timeout_ms >= 0 && std::chrono::steady_clock::now() >= deadline; };
  bool pump = IsMainApartmentThread();
  while (!ended()) {
    if (past_deadline()) return false;
    if (pump) {
      // WM_QUIT waiting in the queue stops the pumping; it stays there for the host's loop.
      pump = PumpMessagesUntil([&] { return ended() || past_deadline(); }, 5);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  return true;
}

}  // namespace

WorkerSlot::WorkerSlot() = default;
WorkerSlot::~WorkerSlot() = default;

void WorkerPool::Start(int count) {
  for (int i = 0; i < count; ++i) {
    auto slot = std::make_unique<WorkerSlot>();
    slot->index = static_cast<size_t>(i);
    slots_.push_back(std::move(slot));
  }
  for (auto& slot : slots_) {
    WorkerSlot* worker = slot.get();
    try {
      worker->thread = std::thread([this, worker] {
        ThreadEntry([&] { WorkerLoop(*worker); });
        worker->state = WorkerState::Ended;  // also after a thread that ran out of memory
      });
    } catch (const std::system_error&) {
      worker->state = WorkerState::Ended;  // a slot without a thread
    }
  }
}

void WorkerPool::Submit(HttpConnection& connection) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(&connection);
  }
  ready_.notify_one();
}

bool WorkerPool::Withdraw(HttpConnection& connection) {
  std::lock_guard lock(mutex_);
  auto found = std::find(queue_.begin(), queue_.end(), &connection);
  if (found == queue_.end()) return false;
  queue_.erase(found);
  return true;
}

HttpConnection* WorkerPool::Next() {
  std::unique_lock lock(mutex_);
  ready_.wait(lock, [this] { return stopping_.load() || !queue_.empty(); });
  if (stopping_) return nullptr;
  HttpConnection* next = queue_.front();
  queue_.pop_front();
  return next;
}

void WorkerPool::WorkerLoop(WorkerSlot& slot) {
  CoInitialize();
  slot.access_log = std::make_unique<AccessLogWriter>();
  slot.state = WorkerState::Running;
  while (HttpConnection* connection = Next()) {
    {
      std::lock_guard lock(slot.serving_mutex);
      slot.serving = connection;
    }
    connection->ServeOnWorker(slot);
    std::lock_guard lock(slot.serving_mutex);
    slot.serving = nullptr;
  }
  slot.access_log.reset();
  CoUninitialize();
  slot.state = WorkerState::Ended;
}

void WorkerPool::Stop() {
  if (slots_.empty()) return;
  {
    std::lock_guard lock(mutex_);
    queue_.clear();
  }
  ready_.notify_all();
  for (auto& slot : slots_) StopSlot(*slot);
  TraceMessage("All threads stopped; clearing up");
  for (auto& slot : slots_) {
    TraceMessage(Formatted("Clear up thread %i", static_cast<int>(slot->index)));
  }
  TraceMessage("Clearing up the pool");
  slots_.clear();
}

// A worker that does not end by itself within 200 ms has its connection interrupted; threads
// are never killed: it is joined once its wait has ended.
void WorkerPool::StopSlot(WorkerSlot& slot) {
  int index = static_cast<int>(slot.index);
  TraceMessage(Formatted("Stopping thread %i...", index));
  ready_.notify_all();
  if (!WaitForEnd(slot.state, kNiceStopMs)) {
    std::lock_guard lock(slot.serving_mutex);
    if (slot.serving == nullptr) {
      TraceMessage(Formatted(
          "Unable to nice stop the thread %i; but the socket is already closed!() ...", index));
    } else {
      TraceMessage(Formatted("Unable to nice stop the thread %i; trying closesocket() ...", index));
      slot.serving->InterruptTransport();
      TraceMessage("The socket is cloed now");
    }
  }
  if (!WaitForEnd(slot.state, kInterruptedStopMs)) {
    TraceMessage(Formatted("Terminating thread %i", index));
    WaitForEnd(slot.state, -1);
  }
  if (slot.thread.joinable()) slot.thread.join();
}
