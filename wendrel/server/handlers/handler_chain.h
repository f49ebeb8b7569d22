#pragma once
// HandlerChain: the server's handlers in the order they are asked. The first that answers ends
// the chain; the caller then flushes the response and writes the access-log record.

#include <memory>
#include <vector>

#include "wendrel/server/handlers/request_handler.h"

class HandlerChain {
 public:
  /// Adds a handler at the end; only while no request is served.
  void Append(std::unique_ptr<RequestHandler> handler);
  /// Worker when a handler that the request would reach needs a worker, else EventLoop.
  Placement PlacementFor(const RequestContext& context) const;
  /// Asks the handlers in order until one answers.
  void Run(RequestContext& context) const;
  /// Tells every handler that the server is stopping.
  void ServerStopping() const;

 private:
  std::vector<std::unique_ptr<RequestHandler>> handlers_;
};
