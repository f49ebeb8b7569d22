#pragma once
// EventLoop: one thread that owns many connections through one epoll set — it accepts them
// (each loop waits on the shared listening socket with EPOLLEXCLUSIVE, so one loop wakes per
// new client), runs their TLS handshakes, reads and parses their requests, answers static files
// itself, hands requests that run code to the worker pool and takes the connection back
// afterwards, writes responses without waiting, keeps idle keep-alive connections and applies
// every time-out. A server runs about one loop per core.
//
// Everything here runs on the loop's thread except Post, StopAccepting and Stop.

#include <sys/epoll.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

#include "platform/com/com_ptr.h"
#include "wendrel/server/connections/deadline_list.h"
#include "wendrel/server/connections/server_core.h"

class AccessLogWriter;
class HttpConnection;
class Request;
class Response;

/// A Request and a Response that serve one request at a time; they travel with a request that
/// goes to a worker and come back with it.
struct RequestObjects {
  ComPtr<Request> request;
  ComPtr<Response> response;
};

class EventLoop {
 public:
  /// How often a loop wakes at least (to notice a stop without a wake-up, and timers).
  static constexpr int kLongestWaitMs = 1000;
  /// Connections accepted per wake-up before the other ready connections get their turn.
  static constexpr int kAcceptBatch = 64;

  EventLoop(ServingContext& context, int listen_socket);
  ~EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  /// Makes the epoll set and starts the thread; false when the system refuses.
  bool Start();
  /// Thread-safe: no more accepting (the listening socket is about to close).
  void StopAccepting();
  /// Thread-safe: closes every connection the loop holds and ends its thread (joined). Call
  /// after the workers have ended.
  void Stop();
  /// Thread-safe: runs `task` on the loop's thread.
  void Post(std::function<void()> task);

  // --- For the connections, on the loop's thread ----------------------------------------------

  ServingContext& context() { return context_; }
  /// Starts watching a connection's socket (edge-triggered, both directions); false when the
  /// system refuses.
  bool Watch(HttpConnection& connection, int descriptor);
  void Unwatch(int descriptor);
  /// Destroys the connection once the current event is handled.
  void Retire(HttpConnection& connection);
  RequestObjects TakeRequestObjects();
  void GiveBack(RequestObjects objects);
  AccessLogWriter& AccessLog() { return *access_log_; }

  DeadlineList& IdleTimers() { return idle_timers_; }
  DeadlineList& RequestTimers() { return request_timers_; }
  DeadlineList& SendTimers() { return send_timers_; }
  DeadlineList& LingerTimers() { return linger_timers_; }
  DeadlineList& HandshakeTimers() { return handshake_timers_; }
  DeadlineList& WorkerTimers() { return worker_timers_; }

 private:
  void Run();
  void Serve(HttpConnection& connection, uint32_t events);
  void AcceptClients();
  void Adopt(int socket, std::string client_address);
  void RunPosted();
  void ExpireTimers();
  int WaitMs() const;
  void DestroyRetired();
  void CloseEverything();

  ServingContext& context_;
  const int listen_socket_;
  int epoll_ = -1;
  int wake_ = -1;  // eventfd: Post and Stop
  std::thread thread_;
  std::atomic<bool> ending_{false};
  std::atomic<bool> accept_off_{false};
  bool accepting_ = false;
  SteadyClock::time_point accept_paused_until_{};

  std::mutex posted_mutex_;
  std::vector<std::function<void()>> posted_;

  std::unordered_set<HttpConnection*> connections_;  // owned
  std::vector<HttpConnection*> retired_;
  std::vector<RequestObjects> spare_objects_;
  std::unique_ptr<AccessLogWriter> access_log_;

  DeadlineList idle_timers_;
  DeadlineList request_timers_;
  DeadlineList send_timers_;
  DeadlineList linger_timers_;
  DeadlineList handshake_timers_;
  DeadlineList worker_timers_;
};
