#include "wendrel/server/handlers/static_file_handler.h"

#include <optional>

#include "wendrel/asp/request.h"
#include "wendrel/server/handlers/request_target.h"
#include "wendrel/server/response.h"
#include "wendrel/server/site_snapshot.h"

namespace {

constexpr char kRemainingContentType[] = "text/html";

std::string_view ContentTypeFor(const RequestContext& context) {
  return ContentTypeOf(context.Extension(), context.site.mime_types);
}

void SendFile(RequestContext& context, std::optional<int64_t> if_modified_since,
              std::optional<std::string_view> content_type) {
  const std::string& file = context.File();
  // Server code is never sent as a file: not global.asa, not the generated scripts, not
  // include files, and not a page's source when pages cannot run.
  if (IsServerCodeExtension(ExtensionOf(file))) {
    context.response.NotFound(file);
    return;
  }
  if (file != context.mapped_file) {
    (void)context.response.SendFile(file, if_modified_since, 0, 0, content_type);
    return;
  }
  std::string root = NormalisedRoot(context.mapped_root);
  if (const FileRoot* held = context.site.RootFor(root)) {
    (void)context.response.SendFile(file, if_modified_since, 0, 0, content_type, held);
    return;
  }
  FileRoot opened(root);  // a folder the snapshot did not know: opened for this request
  (void)context.response.SendFile(file, if_modified_since, 0, 0, content_type, &opened);
}

}  // namespace

HandlerPlan StaticFileHandler::Plan(const RequestContext& context) const {
  if (files_ == Files::Remaining) return {Placement::EventLoop, true};
  if (ContentTypeFor(context).empty()) return {};
  return {Placement::EventLoop, true};
}

HandlerOutcome StaticFileHandler::Handle(RequestContext& context) {
  if (files_ == Files::WithContentType) {
    std::string_view type = ContentTypeFor(context);
    if (type.empty()) return HandlerOutcome::Declined;
    SendFile(context, context.request.IfModifiedSince(), type);
    return HandlerOutcome::Answered;
  }
  if (context.Extension().empty()) {
    SendFile(context, std::nullopt, std::nullopt);
  } else {
    SendFile(context, std::nullopt, kRemainingContentType);
  }
  return HandlerOutcome::Answered;
}
