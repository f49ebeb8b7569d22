#include "wendrel/server/host_events.h"

#include <chrono>
#include <condition_variable>
#include <string>
#include <thread>

#include "platform/automation/dispatch_call.h"
#include "platform/system/code_page.h"
#include "wendrel/asp/request.h"
#include "wendrel/server/response.h"

namespace {

constexpr auto kFreezePause = std::chrono::milliseconds(50);
constexpr auto kStopCheck = std::chrono::milliseconds(50);

// Invokes one method of an object with the arguments first first; failures are the object's.
void InvokeMethod(IDispatch* object, DISPID dispid, std::span<const VARIANT> arguments) {
  (void)InvokeDispatch(object, dispid, DISPATCH_METHOD, arguments);
}

}  // namespace

// One call handed to the host thread: what it needs and how the worker learns that it ran.
// Shared between the worker and the queued message, so a worker that stops waiting leaves
// nothing dangling.
struct HostEvents::HandOff {
  enum class State { Queued, Running, Done, Abandoned };
  std::mutex mutex;
  std::condition_variable changed;
  State state = State::Queued;
  Request* request = nullptr;
  Response* response = nullptr;
  std::u16string text;     // LogMessage
  bool flag = false;       // LogMessage's BOOL, DebugASPPage's StartDebugger
};

HostEvents::HostEvents(IConnectionPointContainer* container)
    : event_point_(ConnectionPoint::Create(kServerEventsId, container)) {}

HostEvents::~HostEvents() {
  event_point_->DetachContainer();
  if (window_ != nullptr && IsInApartment()) DestroyMessageWindow(window_);
}

void HostEvents::SetCallback(PageRequestedCallback callback, intptr_t parameter) {
  std::lock_guard lock(mutex_);
  callback_ = callback;
  callback_parameter_ = parameter;
}

void HostEvents::SetThreadCallback(ThreadCallback callback, intptr_t parameter) {
  std::lock_guard lock(mutex_);
  thread_callback_ = callback;
  thread_callback_parameter_ = parameter;
}

bool HostEvents::HasThreadCallback() const {
  std::lock_guard lock(mutex_);
  return thread_callback_ != nullptr;
}

bool HostEvents::SetEventHandler(IDispatch* handler) {
  if (handler == nullptr) {
    ReleaseEventHandler();
    return true;
  }
  Result<DISPID> dispid = GetDispatchId(handler, u"PageRequested");
  if (!dispid.ok()) return false;
  ComPtr<IDispatch> held(handler);
  std::lock_guard lock(mutex_);
  std::swap(event_handler_, held);
  event_handler_dispid_ = dispid.value();
  return true;
}

void HostEvents::ReleaseEventHandler() {
  ComPtr<IDispatch> released;
  std::lock_guard lock(mutex_);
  std::swap(released, event_handler_);
  event_handler_dispid_ = DISPID_UNKNOWN;
}

bool HostEvents::EnsureWindow() {
  if (window_ != nullptr || HasThreadCallback()) return true;
  window_ = CreateMessageWindow([this](uint32_t message, WPARAM, LPARAM parameter) {
    return OnWindowMessage(message, parameter);
  });
  return window_ != nullptr;
}

void HostEvents::DestroyWindow() {
  if (window_ == nullptr) return;
  DestroyMessageWindow(window_);
  window_ = nullptr;
}

bool HostEvents::HasAnyHook() const {
  std::lock_guard lock(mutex_);
  return event_point_->HasSinks() || callback_ != nullptr || event_handler_ ||
         thread_callback_ != nullptr;
}

bool HostEvents::AsksHost() const {
  std::lock_guard lock(mutex_);
  if (thread_callback_ != nullptr) return true;
  if (window_ == nullptr) return false;
  return event_point_->HasSinks() || callback_ != nullptr || event_handler_;
}

bool HostEvents::RaisePageRequested(Request& request, Response& response,
                                    const std::function<bool()>& frozen,
                                    const std::atomic<bool>& stopping) {
  if (!HasAnyHook()) return true;
  while (frozen() && !stopping) std::this_thread::sleep_for(kFreezePause);
  ThreadCallback thread_callback;
  {
    std::lock_guard lock(mutex_);
    thread_callback = thread_callback_;
  }
  if (thread_callback != nullptr) {
    ComPtr<IDispatch> request_object(&request);
    ComPtr<IDispatch> response_object(&response);
    thread_callback(request_object.get(), response_object.get());
    return !response.CancelDefaultProcessing();
  }
  if (window_ == nullptr) return true;
  auto hand_off = std::make_shared<HandOff>();
  hand_off->request = &request;
  hand_off->response = &response;
  RunOnHostThread(kPageRequestedMessage, hand_off, stopping);
  return !response.CancelDefaultProcessing();
}

bool HostEvents::RaiseLogMessage(std::string_view text, const std::atomic<bool>& stopping) {
  if (!event_point_->HasSinks() || window_ == nullptr) return true;
  auto hand_off = std::make_shared<HandOff>();
  hand_off->text = BytesToText(text, CP_ACP);
  hand_off->flag = true;
  if (!RunOnHostThread(kLogMessageMessage, hand_off, stopping)) return true;
  std::lock_guard lock(hand_off->mutex);
  return hand_off->flag;
}

bool HostEvents::RaiseDebugASPPage(bool start_debugger, const std::atomic<bool>& stopping) {
  if (HasThreadCallback() || window_ == nullptr) return start_debugger;
  auto hand_off = std::make_shared<HandOff>();
  hand_off->flag = start_debugger;
  if (!RunOnHostThread(kDebugRequestMessage, hand_off, stopping)) return start_debugger;
  std::lock_guard lock(hand_off->mutex);
  return hand_off->flag;
}

// The worker waits until the host thread has run the call, checking the stop every 50 ms; a
// call the host has not begun when the server stops is abandoned (the host skips it), one it
// has begun is waited for, since the host is then pumping and will finish it.
bool HostEvents::RunOnHostThread(uint32_t message, const std::shared_ptr<HandOff>& hand_off,
                                 const std::atomic<bool>& stopping) {
  auto* queued = new std::shared_ptr<HandOff>(hand_off);
  if (!PostMessage(window_, message, 0, reinterpret_cast<LPARAM>(queued))) {
    delete queued;
    return false;
  }
  std::unique_lock lock(hand_off->mutex);
  while (hand_off->state != HandOff::State::Done) {
    if (stopping && hand_off->state == HandOff::State::Queued) {
      hand_off->state = HandOff::State::Abandoned;
      return false;
    }
    hand_off->changed.wait_for(lock, kStopCheck);
  }
  return true;
}

LRESULT HostEvents::OnWindowMessage(uint32_t message, LPARAM parameter) {
  if (message != kPageRequestedMessage && message != kWakeUpMessage &&
      message != kDebugRequestMessage && message != kLogMessageMessage) {
    return 0;
  }
  std::unique_ptr<std::shared_ptr<HandOff>> queued(
      reinterpret_cast<std::shared_ptr<HandOff>*>(parameter));
  HandOff& hand_off = **queued;
  {
    std::lock_guard lock(hand_off.mutex);
    if (hand_off.state == HandOff::State::Abandoned) return 0;
    hand_off.state = HandOff::State::Running;
  }
  if (message == kPageRequestedMessage) FirePageRequested(hand_off);
  if (message == kLogMessageMessage || message == kDebugRequestMessage) {
    Variant flag = Variant::FromBool(hand_off.flag);
    Variant by_reference = Variant::RefTo(&flag);
    if (message == kLogMessageMessage) {
      Variant text = Variant::FromString(hand_off.text);
      const VARIANT arguments[] = {text, by_reference};
      (void)event_point_->Fire(kLogMessageDispid, arguments);
    } else {
      const VARIANT arguments[] = {by_reference};
      (void)event_point_->Fire(kDebugASPPageDispid, arguments);
    }
    std::lock_guard lock(hand_off.mutex);
    hand_off.flag = flag.vt == VT_BOOL ? flag.boolVal != VARIANT_FALSE : hand_off.flag;
  }
  std::lock_guard lock(hand_off.mutex);
  hand_off.state = HandOff::State::Done;
  hand_off.changed.notify_all();
  return 0;
}

// Sinks first, then the callback, then the event handler.
void HostEvents::FirePageRequested(HandOff& hand_off) {
  Variant request = Variant::FromDispatch(hand_off.request);
  Variant response = Variant::FromDispatch(hand_off.response);
  const VARIANT arguments[] = {request, response};
  (void)event_point_->Fire(kPageRequestedDispid, arguments);
  PageRequestedCallback callback;
  intptr_t parameter;
  ComPtr<IDispatch> handler;
  DISPID handler_dispid;
  {
    std::lock_guard lock(mutex_);
    callback = callback_;
    parameter = callback_parameter_;
    handler = event_handler_;
    handler_dispid = event_handler_dispid_;
  }
  if (callback != nullptr) callback(hand_off.request, hand_off.response, parameter);
  if (handler) InvokeMethod(handler.get(), handler_dispid, arguments);
}
