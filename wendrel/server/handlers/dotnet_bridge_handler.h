#pragma once
// DotNetBridgeHandler: the ASP.NET extensions (.aspx, .asmx, ...) go to the .NET bridge. Until
// a bridge exists they are answered with the bridge's "Cannot create the server" page (500).

#include "wendrel/server/handlers/request_handler.h"

class DotNetBridgeHandler final : public RequestHandler {
 public:
  HandlerPlan Plan(const RequestContext& context) const override;
  HandlerOutcome Handle(RequestContext& context) override;
};
