#pragma once
// HostEventsHandler: gives the host the request through PageRequested (at most once per
// request) and stops the list when the host cancels default processing. Two places in the list
// use it: before everything else while ProcessDefaultFiles is off, and before the remaining
// files (no extension, or one without a content type). It needs a worker when a host hook
// exists (host code runs, or the worker waits for the host's thread); without one it does
// nothing.

#include "wendrel/server/handlers/request_handler.h"

class HostEventsHandler final : public RequestHandler {
 public:
  enum class Requests { AllWhileDefaultFilesOff, RemainingFiles };
  explicit HostEventsHandler(Requests requests) : requests_(requests) {}

  HandlerPlan Plan(const RequestContext& context) const override;
  HandlerOutcome Handle(RequestContext& context) override;

 private:
  bool Applies(const RequestContext& context) const;

  const Requests requests_;
};
