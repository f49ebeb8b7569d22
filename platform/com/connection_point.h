#pragma once
// Outgoing events: an object that raises events is a connection-point container; clients
// Advise a sink (an object answering the event dispinterface through IDispatch) and receive
// each event as an Invoke of the event's dispatch identifier.

#include <atomic>
#include <mutex>
#include <span>
#include <vector>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "platform/com/com_object.h"
#include "platform/com/com_ptr.h"

inline constexpr IID IID_IConnectionPointContainer = {0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IConnectionPoint = {0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHresult(0x80040200u);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHresult(0x80040202u);

class IConnectionPointContainer;

class IConnectionPoint : public IUnknown {
 public:
  virtual HRESULT GetConnectionInterface(IID* iid) = 0;
  virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) = 0;
  /// Holds the sink (one reference) until Unadvise with the returned cookie (never 0).
  virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
  virtual HRESULT Unadvise(DWORD cookie) = 0;

 protected:
  ~IConnectionPoint() = default;
};

class IConnectionPointContainer : public IUnknown {
 public:
  virtual HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

/// One event interface's connection point, owned by its container. The container calls
/// DetachContainer before it goes away, so clients holding the point see no dangling owner.
class ConnectionPoint final : public ComObject<ConnectionPoint, IConnectionPoint> {
 public:
  static constexpr IID kInterfaces[] = {IID_IConnectionPoint};

  static ComPtr<ConnectionPoint> Create(const IID& event_interface, IConnectionPointContainer* container);

  HRESULT GetConnectionInterface(IID* iid) override;
  HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
  HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT Unadvise(DWORD cookie) override;

  void DetachContainer();
  bool HasSinks() const;
  /// Raises an event: Invoke(dispid, DISPATCH_METHOD, arguments first first) on every sink
  /// connected when the call starts, in the order they connected. A sink's failure does not
  /// stop the others; the first failure is returned.
  Result<void> Fire(DISPID dispid, std::span<const VARIANT> arguments);

 private:
  friend class ComObject<ConnectionPoint, IConnectionPoint>;
  ConnectionPoint(const IID& event_interface, IConnectionPointContainer* container);
  ~ConnectionPoint() override = default;

  struct Sink {
    DWORD cookie;
    ComPtr<IDispatch> target;
  };
  IID event_interface_;
  mutable std::mutex lock_;
  IConnectionPointContainer* container_;  // borrowed; cleared by DetachContainer
  std::vector<Sink> sinks_;
  DWORD next_cookie_ = 1;
};
