#pragma once
// ServerRuntime: what exists while a server runs — the listening socket, the stop signal, the
// listener thread and the pool of worker threads. Accept mode (the default): every worker
// waits on the listening socket and accepts for itself; the listener only keeps house every
// five seconds. Hand-over mode: the listener accepts and hands each socket to a free worker,
// answering 503 when none frees up within about a second.

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "wendrel/server/server_settings.h"
#include "wendrel/server/worker_slot.h"

class CHTTPServer;
class CSSL;

enum class ListenerState { Running = 0, Ended = 2 };

class ServerRuntime {
 public:
  /// How long the listener waits between housekeeping rounds.
  static constexpr int kHousekeepingIntervalMs = 5000;
  /// Hand-over: rounds of looking for a free worker, and the pause between them.
  static constexpr int kHandOverRounds = 10;
  static constexpr int kHandOverPauseMs = 100;

  ServerRuntime(CHTTPServer& server, std::shared_ptr<const ServerSettings> settings,
                std::shared_ptr<const CSSL> ssl);
  ~ServerRuntime();
  ServerRuntime(const ServerRuntime&) = delete;
  ServerRuntime& operator=(const ServerRuntime&) = delete;

  /// Opens the listening socket and starts the threads; the LastError text on failure, with
  /// everything that was made closed again.
  std::string Start();
  /// Signals the stop, waits for the listener, closes the listening socket and stops the pool.
  void Stop();
  /// The port the socket is bound to (the one the system chose when Port is 0).
  int BoundPort() const { return bound_port_; }
  /// The first address the local host name resolves to, "127.0.0.1" when none.
  const std::string& LocalAddress() const { return local_address_; }
  bool Stopping() const { return stopping_.load(); }

 private:
  std::string OpenListeningSocket();
  void StartPool();
  void StopPool();
  void ListenerLoop();
  void WorkerLoop(WorkerSlot& slot);
  void AcceptLoop(WorkerSlot& slot);
  void HandOverLoop(WorkerSlot& slot);
  // Accepts in hand-over mode and gives the socket to a free worker; false when none frees up.
  bool HandOver(int socket, const std::string& address);
  // Wraps the socket (plain or TLS) and serves it on this slot.
  void Serve(WorkerSlot& slot, int socket);
  void SendHeartbeat();

  CHTTPServer& server_;
  std::shared_ptr<const ServerSettings> settings_;  // as they were at start
  std::shared_ptr<const CSSL> ssl_;
  int listen_socket_ = -1;
  int stop_event_ = -1;  // eventfd: readable once the stop is signalled
  int bound_port_ = 0;
  std::string local_address_ = "127.0.0.1";
  std::atomic<bool> stopping_{false};
  std::thread listener_;
  std::atomic<ListenerState> listener_state_{ListenerState::Running};
  std::vector<std::unique_ptr<WorkerSlot>> pool_;
};
