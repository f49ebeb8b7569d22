#include "wendrel/server/handlers/host_events_handler.h"

#include "wendrel/server/host_events.h"
#include "wendrel/server/response.h"
#include "wendrel/server/site_snapshot.h"

bool HostEventsHandler::Applies(const RequestContext& context) const {
  if (requests_ == Requests::RemainingFiles) return true;
  return !context.site.settings->process_default_files;
}

HandlerPlan HostEventsHandler::Plan(const RequestContext& context) const {
  if (!Applies(context) || !context.events.AsksHost()) return {};
  return {Placement::Worker, false};
}

HandlerOutcome HostEventsHandler::Handle(RequestContext& context) {
  if (!Applies(context)) return HandlerOutcome::Declined;
  if (!context.host_asked) {
    context.host_asked = true;
    context.host_continues = context.events.RaisePageRequested(
        context.request, context.response, context.frozen, context.stopping);
  }
  return context.host_continues ? HandlerOutcome::Continue : HandlerOutcome::Answered;
}
