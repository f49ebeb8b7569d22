#pragma once
// DotNetBridgeHandler: the ASP.NET extensions (.aspx, .asmx, .config, ...) go to the .NET
// bridge, created with its thread at the first such request and shut down when the server
// stops. The request waits on its worker while the bridge's thread runs the module.

#include <chrono>
#include <memory>
#include <mutex>

#include "wendrel/components/dotnet_bridge.h"
#include "wendrel/server/handlers/request_handler.h"

class DotNetBridgeHandler final : public RequestHandler {
 public:
  /// `server` is the server object the module receives (borrowed: the server owns this
  /// handler). `answer_wait` is the bridge's wait for the module.
  explicit DotNetBridgeHandler(IDispatch* server,
                               std::chrono::milliseconds answer_wait = DotNetBridge::kAnswerWait)
      : server_(server), answer_wait_(answer_wait) {}

  HandlerPlan Plan(const RequestContext& context) const override;
  HandlerOutcome Handle(RequestContext& context) override;
  void ServerStopping() override;

 private:
  /// The server's bridge, created on first use.
  std::shared_ptr<DotNetBridge> Bridge();

  IDispatch* server_;
  std::chrono::milliseconds answer_wait_;
  std::mutex mutex_;  // guards bridge_
  std::shared_ptr<DotNetBridge> bridge_;
};
