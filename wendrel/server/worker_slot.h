#pragma once
// WorkerSlot: one worker thread of the pool and what it keeps from request to request: its
// apartment (entered on its own thread), its access-log writer, and the connection it serves
// now, which a stopping server may interrupt from its own thread. Later per-worker state (the
// ASP script host) lives here too.

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/com/com_ptr.h"

class AccessLogWriter;
class CASPServer;
class HttpConnection;

enum class WorkerState { NotStarted = 0, Running = 1, Ended = 2 };

struct WorkerSlot {
  WorkerSlot();
  ~WorkerSlot();

  size_t index = 0;
  std::thread thread;
  std::atomic<WorkerState> state{WorkerState::NotStarted};
  std::unique_ptr<AccessLogWriter> access_log;
  /// The worker's script host, made at its first ASP page.
  ComPtr<CASPServer> page_host;

  // The connection being served; guarded so the stopping server can interrupt it.
  std::mutex serving_mutex;
  HttpConnection* serving = nullptr;
};
