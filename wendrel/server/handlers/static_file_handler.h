#pragma once
// StaticFileHandler: answers a request with the file it names. Two places in the list use it:
// files whose extension has a content type (built-in table, then the configured types), sent
// with that type and conditional GET; and, last of all, the files no other handler took — a
// name without an extension keeps the response's content type, any other extension is sent
// as "text/html". A mapped file must lie inside the folder it was mapped under (opened beneath
// it); a file the host chose in PageRequested is the host's to answer for. Files that hold server
// code (pages, global.asa, include files, generated scripts, ASP.NET files) are never sent: 404.

#include "wendrel/server/handlers/request_handler.h"

class StaticFileHandler final : public RequestHandler {
 public:
  enum class Files { WithContentType, Remaining };
  explicit StaticFileHandler(Files files) : files_(files) {}

  HandlerPlan Plan(const RequestContext& context) const override;
  HandlerOutcome Handle(RequestContext& context) override;

 private:
  const Files files_;
};
