#include "wendrel/server/handlers/dotnet_bridge_handler.h"

#include "wendrel/components/dotnet_bridge.h"

HandlerPlan DotNetBridgeHandler::Plan(const RequestContext& context) const {
  if (!IsDotNetExtension(context.Extension())) return {};
  // The bridge runs the module's code on its own thread; the request waits on a worker.
  return {Placement::Worker, true};
}

HandlerOutcome DotNetBridgeHandler::Handle(RequestContext& context) {
  if (!IsDotNetExtension(context.Extension())) return HandlerOutcome::Declined;
  AnswerDotNetUnavailable(context.response);
  return HandlerOutcome::Answered;
}
