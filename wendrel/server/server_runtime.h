#pragma once
// ServerRuntime: what exists while a server runs — the listening socket, the stop signal, the
// event loops that own every connection (about one per core), the pool of MaxThreads workers
// that run code for requests, and the listener thread that keeps house every five seconds.
//
// Hand-over mode changes one thing: a request that needs a worker and finds none free within
// about a second is answered with the 503 literal instead of waiting for one.

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "wendrel/server/connections/server_core.h"
#include "wendrel/server/connections/worker_pool.h"
#include "wendrel/server/server_settings.h"

class CSSL;
class EventLoop;

enum class ListenerState { Running = 0, Ended = 2 };

class ServerRuntime {
 public:
  /// How long the listener waits between housekeeping rounds.
  static constexpr int kHousekeepingIntervalMs = 5000;

  ServerRuntime(ServerCore& core, std::shared_ptr<const ServerSettings> settings,
                std::shared_ptr<const CSSL> ssl);
  ~ServerRuntime();
  ServerRuntime(const ServerRuntime&) = delete;
  ServerRuntime& operator=(const ServerRuntime&) = delete;

  /// Opens the listening socket and starts the threads; the LastError text on failure, with
  /// everything that was made closed again.
  std::string Start();
  /// Signals the stop, ends the listener, closes the listening socket, stops the workers and
  /// then the loops with every connection they hold.
  void Stop();
  /// The port the socket is bound to (the one the system chose when Port is 0).
  int BoundPort() const { return bound_port_; }
  /// The first address the local host name resolves to, "127.0.0.1" when none.
  const std::string& LocalAddress() const { return local_address_; }
  bool Stopping() const { return stopping_.load(); }
  /// How many event loops a server runs: one per processor, at least one, at most kMaxLoops.
  static int LoopCount();
  static constexpr int kMaxLoops = 16;

 private:
  std::string OpenListeningSocket();
  std::string StartLoops();
  void StopPool();
  void ListenerLoop();
  void SendHeartbeat();

  ServerCore& core_;
  std::shared_ptr<const ServerSettings> settings_;  // as they were at start
  std::shared_ptr<const CSSL> ssl_;
  int listen_socket_ = -1;
  int stop_event_ = -1;  // eventfd: readable once the stop is signalled
  int bound_port_ = 0;
  std::string local_address_ = "127.0.0.1";
  std::atomic<bool> stopping_{false};
  std::thread listener_;
  std::atomic<ListenerState> listener_state_{ListenerState::Running};
  WorkerPool workers_{stopping_};
  std::unique_ptr<ServingContext> serving_;
  std::vector<std::unique_ptr<EventLoop>> loops_;
};
