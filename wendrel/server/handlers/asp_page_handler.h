#pragma once
// AspPageHandler: ".asp" pages run on a worker, by the worker's script host (CASPServer), while
// the server has its ASP runtime (the script engines could be made at start). Without it, the
// pages are left to the handlers after (and their source is never sent).

#include <memory>

#include "wendrel/server/handlers/request_handler.h"

class AspRuntime;

class AspPageHandler final : public RequestHandler {
 public:
  /// `runtime` is the server's; it exists from start to stop and is read per request.
  explicit AspPageHandler(const std::unique_ptr<AspRuntime>& runtime) : runtime_(runtime) {}

  HandlerPlan Plan(const RequestContext& context) const override;
  HandlerOutcome Handle(RequestContext& context) override;

 private:
  const std::unique_ptr<AspRuntime>& runtime_;
};
