#pragma once
// HttpConnection: one client connection as its event loop drives it, an explicit state machine:
//
//   Handshaking --> Reading --> (answered on the loop) --> Writing --> Reading (kept alive)
//        |             |                                      |
//        |             +--> AtWorker --> (back on the loop) --+--> Lingering --> closed
//        +--> refused with the "HTTPS required" literal ----------> Lingering
//
// Reading parses the request as its bytes arrive (HttpRequestParser) until the head and the
// body are complete; the handler list then runs on the loop (static files) or on a worker
// (code). Writing drains the response without waiting. Lingering ends sending and discards what
// the client still sends, so the end of the response is not destroyed by a reset. Every state
// that waits for the client has its time-out (handshake, request, idle, send, linger).
//
// The connection belongs to its loop's thread, except while a worker serves it (AtWorker): the
// loop does not watch its socket then, and takes it back when the worker posts it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "wendrel/http/request_parser.h"
#include "wendrel/server/connections/deadline_list.h"
#include "wendrel/server/connections/event_loop.h"
#include "wendrel/server/connections/output_queue.h"
#include "wendrel/server/handlers/request_handler.h"
#include "wendrel/server/request_buffer.h"

class Connection;
struct WorkerSlot;

enum class TimeOut { Handshake, Request, Idle, Send, Linger, Worker };

class HttpConnection {
 public:
  /// `handshake_pending` for a TLS connection whose handshake has not run yet.
  HttpConnection(EventLoop& loop, std::unique_ptr<Connection> transport,
                 std::string client_address, bool handshake_pending);
  ~HttpConnection();
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  // --- On the loop's thread -----------------------------------------------------------------

  /// Starts watching the socket and begins the handshake or the first read; false when the
  /// connection could not be started (the caller retires it).
  bool Open();
  /// The socket is ready (epoll events).
  void OnReady(uint32_t events);
  void OnTimeOut(TimeOut which);
  /// The server stops: the connection closes at once.
  void CloseAtOnce();

  // --- On a worker ---------------------------------------------------------------------------

  /// Runs the request's handlers, sends the response and gives the connection back to its
  /// loop.
  void ServeOnWorker(WorkerSlot& slot);
  /// Thread-safe: wakes a worker out of a wait on this connection's socket.
  void InterruptTransport();

  DeadlineLink& link() { return link_; }
  static DeadlineLink& LinkOf(HttpConnection& connection) { return connection.link_; }

 private:
  enum class State { Handshaking, Reading, AtWorker, Writing, Lingering, Closed };
  enum class Parsed { Complete, NeedMore, Refused };

  // Runs the state machine until it waits for the socket, a worker or a timer.
  void Drive();
  bool ContinueHandshake();
  void RefuseHandshake(const std::string& failure);
  Parsed ParseBuffered();
  // Reads what has arrived; false when the connection ended.
  bool ReadSome();
  void WaitForInput();
  void Dispatch();
  void StartRequest();
  void AnswerOnLoop();
  void FinishOnLoop();
  void HandToWorker();
  void ResumeFromWorker();
  void AnswerServiceUnavailable();
  void Refuse(int status);
  // Sends what is queued; false while the connection waits or once it ended.
  bool WriteQueued();
  void AfterResponse();
  void StartLinger();
  void DiscardInput();
  void Close();
  void ReleaseRequestObjects();
  void ArmTimer(DeadlineList& list, SteadyClock::duration after);
  void DisarmTimer();

  EventLoop& loop_;
  std::unique_ptr<Connection> transport_;
  const std::string client_address_;
  State state_;
  DeadlineLink link_;

  RequestBuffer input_;
  HttpRequestParser parser_;
  bool head_complete_ = false;
  int64_t expected_body_ = 0;      // body bytes awaited (after the upload limit)
  bool declared_too_long_ = false;  // the body is cut at the limit: close after answering
  bool readable_ = true;            // the last read did not meet "would block"
  bool peer_closed_ = false;
  bool keep_ = true;
  SteadyClock::time_point request_started_;
  size_t lingered_bytes_ = 0;

  // The request being answered.
  std::shared_ptr<const SiteSnapshot> site_;
  RequestObjects objects_;
  std::optional<RequestContext> context_;
  OutputQueue output_;
  QueuedOutput queued_{output_};
};
