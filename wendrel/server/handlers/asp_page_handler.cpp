#include "wendrel/server/handlers/asp_page_handler.h"

#include "wendrel/asp/asp_runtime.h"
#include "wendrel/asp/asp_server.h"
#include "wendrel/common/server_file_kinds.h"
#include "wendrel/server/worker_slot.h"

HandlerPlan AspPageHandler::Plan(const RequestContext& context) const {
  if (!runtime_ || !IsAspPageExtension(context.Extension())) return {};
  return {Placement::Worker, true};
}

HandlerOutcome AspPageHandler::Handle(RequestContext& context) {
  if (!runtime_ || !IsAspPageExtension(context.Extension()) || context.worker == nullptr) {
    return HandlerOutcome::Declined;
  }
  WorkerSlot& worker = *context.worker;
  if (!worker.page_host) worker.page_host = MakeObject<CASPServer>(*runtime_);
  PageRun run{context.request, context.response, context.site, context.File(),
              context.mapped_root};
  worker.page_host->RunPage(run);
  return HandlerOutcome::Answered;
}
