#pragma once
// Host events: how the host application hears of requests. Four hooks — connection-point sinks
// of DServer_events, a plain callback, an event-handler object and a thread callback — and the
// hand-off that brings PageRequested, DebugASPPage and LogMessage onto the host's thread: a
// hidden window on that thread's queue, to which a worker posts the call and then waits (or
// until the server stops). With a thread callback the host is called on the worker itself.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/com/apartment.h"
#include "platform/com/connection_point.h"

class Request;
class Response;

/// The plain callback: (Request, Response, parameter) on the host's thread.
using PageRequestedCallback = void (*)(IDispatch* request, IDispatch* response,
                                       intptr_t parameter);
/// The thread callback: (Request, Response) on the worker thread that serves the request.
using ThreadCallback = void (*)(IDispatch* request, IDispatch* response);

/// The event interface's identifier and its events' dispatch identifiers.
inline constexpr IID kServerEventsId = {0x5E0D4C21, 0x7A3B, 0x4C8E,
                                        {0xA1, 0x6F, 0x2D, 0x93, 0xB4, 0x17, 0x0C, 0x02}};
inline constexpr DISPID kPageRequestedDispid = 0x60000004;
inline constexpr DISPID kDebugASPPageDispid = 0x60000001;
inline constexpr DISPID kLogMessageDispid = 0x60000002;

/// The window's private messages.
inline constexpr uint32_t kPageRequestedMessage = 0x405;
inline constexpr uint32_t kWakeUpMessage = 0x406;
inline constexpr uint32_t kDebugRequestMessage = 0x40A;
inline constexpr uint32_t kLogMessageMessage = 0x40B;

class HostEvents {
 public:
  explicit HostEvents(IConnectionPointContainer* container);
  ~HostEvents();
  HostEvents(const HostEvents&) = delete;
  HostEvents& operator=(const HostEvents&) = delete;

  ConnectionPoint& EventPoint() { return *event_point_; }

  void SetCallback(PageRequestedCallback callback, intptr_t parameter);
  void SetThreadCallback(ThreadCallback callback, intptr_t parameter);
  bool HasThreadCallback() const;
  /// Holds the object and the identifier of its "PageRequested"; null releases the held one.
  /// False (nothing changed) when the object has no such member.
  bool SetEventHandler(IDispatch* handler);
  void ReleaseEventHandler();

  /// Makes the hidden window on the calling thread, once; false when the thread has no
  /// apartment. Not made while a thread callback is set.
  bool EnsureWindow();
  /// Destroys the window (on its own thread only).
  void DestroyWindow();

  /// Whether PageRequested reaches the host: a thread callback, or a hook and the hidden
  /// window. Without either it returns at once and nothing runs.
  bool AsksHost() const;
  /// Raises PageRequested for a request on a worker; true when default processing goes on
  /// (the host left CancelDefaultProcessing False, or no host hook exists). Waits while
  /// `frozen` says so and until the host thread has run the event or `stopping` is set.
  bool RaisePageRequested(Request& request, Response& response,
                          const std::function<bool()>& frozen, const std::atomic<bool>& stopping);
  /// Raises LogMessage on the host thread; true when the text should be written to the event
  /// log (no handler set its BOOL to False).
  bool RaiseLogMessage(std::string_view text, const std::atomic<bool>& stopping);
  /// Raises DebugASPPage; the host may set `start_debugger`. Not raised with a thread callback.
  bool RaiseDebugASPPage(bool start_debugger, const std::atomic<bool>& stopping);

 private:
  struct HandOff;
  // Posts a hand-off to the window and waits for it; false when it could not be delivered.
  bool RunOnHostThread(uint32_t message, const std::shared_ptr<HandOff>& hand_off,
                       const std::atomic<bool>& stopping);
  LRESULT OnWindowMessage(uint32_t message, LPARAM parameter);
  void FirePageRequested(HandOff& hand_off);
  bool HasAnyHook() const;

  ComPtr<ConnectionPoint> event_point_;
  mutable std::mutex mutex_;
  PageRequestedCallback callback_ = nullptr;
  intptr_t callback_parameter_ = 0;
  ThreadCallback thread_callback_ = nullptr;
  intptr_t thread_callback_parameter_ = 0;  // stored, not passed
  ComPtr<IDispatch> event_handler_;
  DISPID event_handler_dispid_ = DISPID_UNKNOWN;
  HWND window_ = nullptr;
};
