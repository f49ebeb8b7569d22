#pragma once
// WorkerPool: the MaxThreads worker threads that run code for requests — host events, ASP
// pages, the .NET bridge. An event loop hands over a connection whose request needs one; the
// first free worker serves it (on the connection's socket, waiting as long as it needs) and
// gives it back to its loop. Idle connections never hold a worker.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "wendrel/server/worker_slot.h"

class WorkerPool {
 public:
  explicit WorkerPool(const std::atomic<bool>& stopping) : stopping_(stopping) {}
  ~WorkerPool() { Stop(); }
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  /// Starts `count` workers, each in its own apartment. A thread the system refuses leaves its
  /// slot unused.
  void Start(int count);
  /// Thread-safe: queues the connection for the next free worker.
  void Submit(HttpConnection& connection);
  /// Thread-safe: takes a connection back that no worker has begun to serve; false when a
  /// worker already has it.
  bool Withdraw(HttpConnection& connection);
  /// Ends the workers, with the trace lines of the pool stop: each worker gets 200 ms to finish
  /// its request, then its connection is interrupted and it is joined. Requests still queued
  /// are dropped (their loops close the connections).
  void Stop();

 private:
  void WorkerLoop(WorkerSlot& slot);
  // The next queued connection, or null once the server stops.
  HttpConnection* Next();
  void StopSlot(WorkerSlot& slot);

  const std::atomic<bool>& stopping_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<HttpConnection*> queue_;
  std::vector<std::unique_ptr<WorkerSlot>> slots_;
};
