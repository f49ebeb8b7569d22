#pragma once
// RequestHandler: one step of answering a parsed request. The server keeps its handlers in one
// ordered list (handler_chain.h): the host's own handler, the host events, ASP pages, the .NET
// bridge and static files. A new kind of answer is a new handler in that list; the connection
// code never names one.
//
// Before the list runs, each handler says where its work must happen: on the connection's event
// loop (nothing waits and no code of the host or of a page runs: static files) or on a worker
// thread (host events, pages, the bridge). One handler that needs a worker sends the whole
// request to a worker.

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

class HostEvents;
class Request;
class Response;
struct SiteSnapshot;
struct WorkerSlot;

enum class Placement {
  None,       // the handler has nothing to do for this request
  EventLoop,  // may run on the connection's event loop
  Worker,     // must run on a worker thread
};

enum class HandlerOutcome {
  Declined,  // not this handler's request: the next one is asked
  Continue,  // did its part and lets default processing go on: the next one is asked
  Answered,  // the response holds the answer: no further handler runs
};

/// The request being answered and what the handlers learn about it on the way.
struct RequestContext {
  RequestContext(Request& request, Response& response, const SiteSnapshot& site,
                 HostEvents& events, const std::atomic<bool>& stopping,
                 std::function<bool()> frozen)
      : request(request),
        response(response),
        site(site),
        events(events),
        stopping(stopping),
        frozen(std::move(frozen)) {}

  Request& request;
  Response& response;
  const SiteSnapshot& site;
  HostEvents& events;
  const std::atomic<bool>& stopping;
  /// FreezeEvents as it is now (the host changes it while requests wait).
  std::function<bool()> frozen;
  /// The file the path map gave for the request (the default document resolved) and the
  /// folder it must stay in; the host may point the request elsewhere (DefaultResponseFile).
  std::string mapped_file;
  std::string mapped_root;
  /// The worker serving the request; null on an event loop.
  WorkerSlot* worker = nullptr;
  /// PageRequested was raised for this request (it is raised at most once).
  bool host_asked = false;
  bool host_continues = true;

  /// The file that answers the request now (the request's DefaultResponseFile).
  const std::string& File() const;
  /// Its extension with the full stop; empty when the last segment has none.
  std::string_view Extension() const;
};

/// What a handler would do with a request, known before it runs.
struct HandlerPlan {
  Placement placement = Placement::None;
  /// It answers the request for certain: the handlers after it are not reached.
  bool answers = false;
};

class RequestHandler {
 public:
  virtual ~RequestHandler() = default;
  /// Where this handler would work on the request (None when it would decline), and whether
  /// it surely answers it.
  virtual HandlerPlan Plan(const RequestContext& context) const = 0;
  virtual HandlerOutcome Handle(RequestContext& context) = 0;
  /// The server is stopping: release what the handler made for the running server (threads,
  /// external modules). Requests may still be running; they must find the handler usable.
  virtual void ServerStopping() {}
};
