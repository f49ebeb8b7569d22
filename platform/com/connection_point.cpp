#include "platform/com/connection_point.h"

#include "platform/automation/dispatch_call.h"

ComPtr<ConnectionPoint> ConnectionPoint::Create(const IID& event_interface,
                                                IConnectionPointContainer* container) {
  return ComPtr<ConnectionPoint>::Adopt(new ConnectionPoint(event_interface, container));
}

ConnectionPoint::ConnectionPoint(const IID& event_interface, IConnectionPointContainer* container)
    : event_interface_(event_interface), container_(container) {}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = event_interface_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (container == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> guard(lock_);
  *container = container_;
  if (container_ == nullptr) return E_UNEXPECTED;
  container_->AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  *cookie = 0;
  // The event interface is a dispinterface: a sink answers it or plain IDispatch.
  ComPtr<IDispatch> target;
  if (FAILED(sink->QueryInterface(event_interface_, reinterpret_cast<void**>(target.Receive()))) &&
      FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(target.Receive())))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  return ComEntry([&] {
    std::lock_guard<std::mutex> guard(lock_);
    sinks_.push_back({next_cookie_, std::move(target)});
    *cookie = next_cookie_++;
    if (next_cookie_ == 0) next_cookie_ = 1;
    return S_OK;
  });
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  ComPtr<IDispatch> released;  // released after the lock, a sink may call back in
  std::lock_guard<std::mutex> guard(lock_);
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->cookie != cookie) continue;
    released = std::move(it->target);
    sinks_.erase(it);
    return S_OK;
  }
  return CONNECT_E_NOCONNECTION;
}

void ConnectionPoint::DetachContainer() {
  std::lock_guard<std::mutex> guard(lock_);
  container_ = nullptr;
}

bool ConnectionPoint::HasSinks() const {
  std::lock_guard<std::mutex> guard(lock_);
  return !sinks_.empty();
}

Result<void> ConnectionPoint::Fire(DISPID dispid, std::span<const VARIANT> arguments) {
  std::vector<ComPtr<IDispatch>> targets;
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (const Sink& sink : sinks_) targets.push_back(sink.target);
  }
  Result<void> outcome;
  for (const ComPtr<IDispatch>& target : targets) {
    Result<Variant> result = InvokeDispatch(target.get(), dispid, DISPATCH_METHOD, arguments);
    if (!result.ok() && outcome.ok()) outcome = std::move(result).error();
  }
  return outcome;
}
