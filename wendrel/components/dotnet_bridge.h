#pragma once
// The .NET bridge: ASP.NET requests are not run by the server but handed to an external module,
// a COM object created by ProgID ("Mirrowen2.CMirrowen", else "Mirrowen.CMirroServer") that
// writes the page through the Response object. One bridge per server, created at the first
// ASP.NET request: a single thread, in its own apartment, owns the module and makes every call
// into it; connection workers queue their requests and wait for them.
//
// Work items are shared between the worker that submits one and the bridge thread, so an item
// stays valid whoever lets go of it first. A worker that stops waiting (the answer wait has
// passed, or the bridge stops) closes the item's gate: the module can no longer reach that
// request's server, Request or Response objects, which the worker goes on using.

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "platform/automation/variant.h"

class Request;
class Response;
struct DotNetBridgeState;

/// The .NET error page with its source and description filled in (both HTML-escaped).
std::string DotNetErrorPage(std::string_view source, std::string_view description);

/// Answers a request with the .NET error page: status 500 and the page as the body.
void AnswerDotNetError(Response& response, std::string_view source, std::string_view description);

/// The ProgIDs the module is created by, in the order they are tried.
inline constexpr std::u16string_view kDotNetModuleProgId = u"Mirrowen2.CMirrowen";
inline constexpr std::u16string_view kDotNetModuleFallbackProgId = u"Mirrowen.CMirroServer";

class DotNetBridge {
 public:
  /// How long a worker waits for the module to answer one request.
  static constexpr std::chrono::milliseconds kAnswerWait{30000};
  /// How long stopping waits for the bridge thread to end; a thread still inside a module call
  /// after that is left to finish on its own (it holds nothing of the server's).
  static constexpr std::chrono::milliseconds kStopWait{2000};

  enum class Outcome {
    Processed,  // the module (or the bridge's error page) answered in the response
    TimedOut,   // the answer wait passed; the response holds what the module left in it
    Stopped,    // the bridge stopped before the request was processed
  };

  /// Starts the bridge thread. `answer_wait` is kAnswerWait outside tests.
  explicit DotNetBridge(std::chrono::milliseconds answer_wait = kAnswerWait);
  ~DotNetBridge();
  DotNetBridge(const DotNetBridge&) = delete;
  DotNetBridge& operator=(const DotNetBridge&) = delete;

  /// Queues one request for the module and waits for it (at most the answer wait). `server` is
  /// the server object the module receives; `request` and `response` are the worker's. Once
  /// this returns, the module no longer reaches any of them.
  Outcome Submit(IDispatch* server, Request& request, Response& response);

  /// Ends the bridge: queued requests are answered Stopped, the thread is given kStopWait to
  /// end, and the module is released on it. Later submissions return Stopped at once.
  void Stop();

 private:
  // Shared with the bridge thread, which may outlive the bridge by a module call that does
  // not return.
  std::shared_ptr<DotNetBridgeState> state_;
};
