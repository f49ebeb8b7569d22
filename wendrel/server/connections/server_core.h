#pragma once
// ServerCore: what the connection code needs of the server — the site snapshot, the handler
// list, the host events and the objects requests and responses ask for their settings. The
// Server object implements it; the event loops and workers see nothing else of it.

#include <atomic>
#include <cstdint>
#include <memory>

class CSSL;
class HandlerChain;
class HostEvents;
class RequestServer;
class ResponseHost;
class WorkerPool;
struct SiteSnapshot;

class ServerCore {
 public:
  /// The configuration a request is answered with (see site_snapshot.h).
  virtual std::shared_ptr<const SiteSnapshot> Site() = 0;
  virtual const HandlerChain& Handlers() const = 0;
  virtual HostEvents& Events() = 0;
  /// What Request and Response objects ask of the server that owns them.
  virtual RequestServer* ForRequests() = 0;
  virtual ResponseHost* ForResponses() = 0;
  /// The port the server listens on, for the access log.
  virtual int32_t Port() const = 0;
  /// The periodic upkeep (every five seconds while running).
  virtual void Housekeeping() = 0;

 protected:
  ~ServerCore() = default;
};

/// What every event loop and worker of one running server shares.
struct ServingContext {
  ServerCore& core;
  /// The TLS context while the server serves HTTPS; null for plain HTTP.
  const CSSL* ssl = nullptr;
  /// Set when the server stops: waits end, loops close their connections.
  const std::atomic<bool>& stopping;
  WorkerPool& workers;
  /// Hand-over mode: a request that finds no free worker within about a second gets the 503
  /// literal instead of waiting.
  bool hand_over_mode = false;
};
