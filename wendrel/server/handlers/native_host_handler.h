#pragma once
// NativeHostHandler: a C++ host's own answer to requests (CHTTPServer::SetNativeRequestHandler),
// asked first, on a worker thread.

#include <functional>

#include "wendrel/server/handlers/request_handler.h"

/// True when the host answered the request.
using NativeRequestHandler = std::function<bool(Request& request, Response& response)>;

class NativeHostHandler final : public RequestHandler {
 public:
  /// `handler` is read by every request; it is set only while the server is stopped.
  explicit NativeHostHandler(const NativeRequestHandler& handler) : handler_(handler) {}

  HandlerPlan Plan(const RequestContext&) const override {
    if (!handler_) return {};
    return {Placement::Worker, false};
  }
  HandlerOutcome Handle(RequestContext& context) override {
    if (!handler_) return HandlerOutcome::Declined;
    return handler_(context.request, context.response) ? HandlerOutcome::Answered
                                                       : HandlerOutcome::Declined;
  }

 private:
  const NativeRequestHandler& handler_;
};
