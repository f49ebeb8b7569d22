#pragma once
// RequestGate: lets code on another thread use the objects of one request (the server, the
// Request, the Response) only while the request's worker is still waiting for that code. The
// worker closes the gate when it stops waiting; from then on every call through the gate fails
// with RPC_E_DISCONNECTED, and closing waits for a call that is under way to return, so the
// worker can go on with its objects (and reuse them) without anyone else touching them.
//
// GuardedDispatch hands an object out through a gate; objects that its calls return (a
// collection, an item) are handed out through the same gate.

#include <memory>
#include <mutex>

#include "platform/automation/variant.h"
#include "platform/com/com_ptr.h"

class RequestGate {
 public:
  /// Runs `body` while the gate is open (false, body not run, once it is closed). The body
  /// may pass through the gate again on the same thread.
  template <class Body>
  bool Run(Body&& body) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (closed_) return false;
    body();
    return true;
  }
  /// Closes the gate, after any call through it has returned.
  void Close() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    closed_ = true;
  }

 private:
  std::recursive_mutex mutex_;
  bool closed_ = false;
};

/// Whether the guarded view keeps the object alive. A borrowed object must outlive every call
/// through the gate that can still reach it, that is, until the gate is closed.
enum class GuardedReference { Owned, Borrowed };

/// `object` as seen through `gate`: IDispatch calls reach it while the gate is open.
ComPtr<IDispatch> GuardedDispatch(IDispatch* object, std::shared_ptr<RequestGate> gate,
                                  GuardedReference reference = GuardedReference::Owned);
