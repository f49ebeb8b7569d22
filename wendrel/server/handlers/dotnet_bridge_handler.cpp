#include "wendrel/server/handlers/dotnet_bridge_handler.h"

#include "wendrel/common/server_file_kinds.h"

HandlerPlan DotNetBridgeHandler::Plan(const RequestContext& context) const {
  if (!IsDotNetExtension(context.Extension())) return {};
  // The bridge runs the module's code on its own thread; the request waits on a worker.
  return {Placement::Worker, true};
}

HandlerOutcome DotNetBridgeHandler::Handle(RequestContext& context) {
  if (!IsDotNetExtension(context.Extension())) return HandlerOutcome::Declined;
  // Whatever the module left in the response is the answer, also after the wait passed.
  (void)Bridge()->Submit(server_, context.request, context.response);
  return HandlerOutcome::Answered;
}

void DotNetBridgeHandler::ServerStopping() {
  std::shared_ptr<DotNetBridge> bridge;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    bridge = std::move(bridge_);
  }
  // Requests still holding the bridge get Stopped at once; the next start makes a new one.
  if (bridge) bridge->Stop();
}

std::shared_ptr<DotNetBridge> DotNetBridgeHandler::Bridge() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!bridge_) bridge_ = std::make_shared<DotNetBridge>(answer_wait_);
  return bridge_;
}
