#include "wendrel/server/handlers/handler_chain.h"

#include "wendrel/asp/request.h"
#include "wendrel/server/handlers/request_target.h"

const std::string& RequestContext::File() const { return request.DefaultResponseFile(); }

std::string_view RequestContext::Extension() const { return ExtensionOf(File()); }

void HandlerChain::Append(std::unique_ptr<RequestHandler> handler) {
  handlers_.push_back(std::move(handler));
}

Placement HandlerChain::PlacementFor(const RequestContext& context) const {
  for (const auto& handler : handlers_) {
    HandlerPlan plan = handler->Plan(context);
    if (plan.placement == Placement::Worker) return Placement::Worker;
    if (plan.answers) break;
  }
  return Placement::EventLoop;
}

void HandlerChain::Run(RequestContext& context) const {
  for (const auto& handler : handlers_) {
    if (handler->Handle(context) == HandlerOutcome::Answered) return;
  }
}

void HandlerChain::ServerStopping() const {
  for (const auto& handler : handlers_) handler->ServerStopping();
}
