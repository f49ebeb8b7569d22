#include "platform/com/apartment.h"

#include <algorithm>
#include <new>
#include <thread>
#include <utility>

#include "platform/com/message_queue_internal.h"

using apartment_internal::CallOnWindowThread;
using apartment_internal::CallProcedure;
using apartment_internal::CallRecord;
using apartment_internal::Clock;
using apartment_internal::Fetched;
using apartment_internal::kReleaseTargetMessage;
using apartment_internal::kRunCallMessage;
using apartment_internal::MessageQueue;
using apartment_internal::ProxyTarget;
using apartment_internal::SentMessage;

namespace {

enum class WindowKind { kUser, kApartment };

// Live windows by handle, and the main apartment. Allocated on first use and never freed:
// the library runs no static constructors or exit-time destructors, and a thread still
// posting while the process exits must find the registry intact.
struct Registry {
  std::mutex mutex;
  std::unordered_map<MessageWindow*, std::shared_ptr<MessageWindow>> windows;
  std::shared_ptr<MessageQueue> main_queue;
  HWND main_window = nullptr;
};

Registry& GlobalRegistry() {
  static Registry* const registry = new Registry;
  return *registry;
}

// The calling thread's membership in an apartment.
struct ThreadApartment {
  int entries = 0;
  std::shared_ptr<MessageQueue> queue;
  ~ThreadApartment();
};

ThreadApartment& CurrentApartment() {
  thread_local ThreadApartment apartment;
  return apartment;
}

std::shared_ptr<MessageWindow> FindWindow(HWND handle) {
  if (handle == nullptr) return nullptr;
  Registry& registry = GlobalRegistry();
  std::lock_guard lock(registry.mutex);
  auto found = registry.windows.find(handle);
  if (found == registry.windows.end()) return nullptr;
  return found->second;
}

void UnregisterWindow(HWND handle) {
  Registry& registry = GlobalRegistry();
  std::lock_guard lock(registry.mutex);
  registry.windows.erase(handle);
}

void UnregisterWindows(const std::vector<std::shared_ptr<MessageWindow>>& windows) {
  Registry& registry = GlobalRegistry();
  std::lock_guard lock(registry.mutex);
  for (const std::shared_ptr<MessageWindow>& window : windows) registry.windows.erase(window.get());
}

// Creates a window on `queue` (the calling thread's). Null when memory runs out.
std::shared_ptr<MessageWindow> RegisterWindow(const std::shared_ptr<MessageQueue>& queue,
                                              WindowProcedure procedure, WindowKind kind) {
  try {
    auto window = std::make_shared<MessageWindow>();
    window->procedure = std::move(procedure);
    window->queue = queue;
    window->internal = kind == WindowKind::kApartment;
    queue->AddWindow(window);
    try {
      Registry& registry = GlobalRegistry();
      std::lock_guard lock(registry.mutex);
      registry.windows.emplace(window.get(), window);
    } catch (const std::bad_alloc&) {
      // The queue holds the window and the window holds the queue: undo, or neither is freed.
      queue->DestroyWindow(*window);
      return nullptr;
    }
    return window;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

HRESULT RunGuarded(const std::function<HRESULT()>& work) noexcept {
  if (!work) return E_INVALIDARG;
  try {
    return work();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// The procedure of each apartment's own window: calls handed over from other threads, and
// releases of objects whose proxies were dropped elsewhere.
LRESULT ApartmentWindowProcedure(MessageQueue& queue, uint32_t message, LPARAM lparam) {
  switch (message) {
    case kRunCallMessage: {
      auto* record = reinterpret_cast<CallRecord*>(lparam);
      record->result = RunGuarded(*record->work);
      record->ran = true;
      return 1;
    }
    case kReleaseTargetMessage:
      queue.ReleaseTarget(reinterpret_cast<ProxyTarget*>(lparam));
      return 1;
    default:
      return 0;
  }
}

// The first apartment to open while there is none becomes the main one.
void ClaimMainApartment(const std::shared_ptr<MessageQueue>& queue, HWND own_window) {
  Registry& registry = GlobalRegistry();
  std::lock_guard lock(registry.mutex);
  if (registry.main_queue) return;
  registry.main_queue = queue;
  registry.main_window = own_window;
}

void ResignMainApartment(const MessageQueue& queue) {
  Registry& registry = GlobalRegistry();
  std::lock_guard lock(registry.mutex);
  if (registry.main_queue.get() != &queue) return;
  registry.main_queue.reset();
  registry.main_window = nullptr;
}

HRESULT OpenApartment(ThreadApartment& apartment) {
  std::shared_ptr<MessageQueue> queue;
  try {
    queue = std::make_shared<MessageQueue>();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  MessageQueue* queue_pointer = queue.get();
  auto procedure = [queue_pointer](uint32_t message, WPARAM, LPARAM lparam) {
    return ApartmentWindowProcedure(*queue_pointer, message, lparam);
  };
  std::shared_ptr<MessageWindow> own_window =
      RegisterWindow(queue, procedure, WindowKind::kApartment);
  if (!own_window) return E_OUTOFMEMORY;
  queue->SetOwnWindow(own_window);
  apartment.queue = queue;
  apartment.entries = 1;
  ClaimMainApartment(queue, own_window.get());
  return S_OK;
}

// Closes the thread's apartment: no new messages, waiting senders released with 0, windows
// gone, and the objects held for proxies released here, on their own thread. The queue is
// closed before the objects go, so no call can reach an object being released.
void CloseApartment(ThreadApartment& apartment) {
  std::shared_ptr<MessageQueue> queue = std::move(apartment.queue);
  apartment.entries = 0;
  ResignMainApartment(*queue);
  std::vector<std::shared_ptr<MessageWindow>> windows = queue->Close();
  UnregisterWindows(windows);
  queue->ReleaseAllTargets();
}

ThreadApartment::~ThreadApartment() {
  // A thread that ends without leaving must not strand senders waiting on it.
  if (queue) CloseApartment(*this);
}

LRESULT SendToWindow(const std::shared_ptr<MessageWindow>& window, uint32_t message,
                     WPARAM wparam, LPARAM lparam) {
  std::shared_ptr<MessageQueue> own_queue = CurrentApartment().queue;
  if (own_queue == window->queue) return CallProcedure(*window, message, wparam, lparam);
  try {
    // A thread outside any apartment waits on a queue of its own that nobody else can reach.
    std::shared_ptr<MessageQueue> reply_queue =
        own_queue ? own_queue : std::make_shared<MessageQueue>();
    auto item = std::make_shared<SentMessage>(
        SentMessage{window, message, wparam, lparam, reply_queue});
    if (!window->queue->QueueSent(item)) return 0;
    return reply_queue->WaitForReply(*item);
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

std::shared_ptr<MessageWindow> MainWindow() {
  Registry& registry = GlobalRegistry();
  std::lock_guard lock(registry.mutex);
  auto found = registry.windows.find(registry.main_window);
  if (found == registry.windows.end()) return nullptr;
  return found->second;
}

// Takes the next posted message, delivering sent ones on the way. False when the thread has
// no queue, or it closed while waiting.
bool FetchPosted(MSG* message, std::optional<Clock::time_point> deadline) {
  for (;;) {
    std::shared_ptr<MessageQueue> queue = CurrentApartment().queue;
    if (!queue) return false;
    Fetched fetched = queue->Fetch(message, deadline);
    if (fetched == Fetched::kPosted) return true;
    if (fetched != Fetched::kServedSent) return false;
  }
}

void RepostQuit(const MSG& quit) {
  if (std::shared_ptr<MessageQueue> queue = CurrentApartment().queue) queue->Post(nullptr, quit);
}

}  // namespace

namespace apartment_internal {

MessageQueue* CurrentQueue() { return CurrentApartment().queue.get(); }

std::optional<HRESULT> CallOnWindowThread(const std::shared_ptr<MessageWindow>& window,
                                          const std::function<HRESULT()>& work) {
  CallRecord record{&work};
  SendToWindow(window, kRunCallMessage, 0, reinterpret_cast<LPARAM>(&record));
  if (!record.ran) return std::nullopt;
  return record.result;
}

}  // namespace apartment_internal

HRESULT CoInitialize() {
  ThreadApartment& apartment = CurrentApartment();
  if (apartment.entries > 0) {
    ++apartment.entries;
    return S_FALSE;
  }
  return OpenApartment(apartment);
}

void CoUninitialize() {
  ThreadApartment& apartment = CurrentApartment();
  if (apartment.entries == 0) return;
  if (--apartment.entries > 0) return;
  CloseApartment(apartment);
}

bool IsInApartment() { return CurrentApartment().entries > 0; }

bool IsMainApartmentThread() {
  MessageQueue* own_queue = CurrentApartment().queue.get();
  if (own_queue == nullptr) return false;
  Registry& registry = GlobalRegistry();
  std::lock_guard lock(registry.mutex);
  return registry.main_queue.get() == own_queue;
}

HWND CreateMessageWindow(WindowProcedure procedure) {
  std::shared_ptr<MessageQueue> queue = CurrentApartment().queue;
  if (!queue) return nullptr;
  return RegisterWindow(queue, std::move(procedure), WindowKind::kUser).get();
}

void DestroyMessageWindow(HWND handle) {
  std::shared_ptr<MessageWindow> window = FindWindow(handle);
  if (!window || window->internal) return;
  if (window->queue.get() != CurrentApartment().queue.get()) return;
  UnregisterWindow(handle);
  window->queue->DestroyWindow(*window);
}

HWND MainApartmentWindow() {
  Registry& registry = GlobalRegistry();
  std::lock_guard lock(registry.mutex);
  return registry.main_window;
}

bool PostMessage(HWND handle, uint32_t message, WPARAM wparam, LPARAM lparam) {
  std::shared_ptr<MessageWindow> window = FindWindow(handle);
  if (!window) return false;
  return window->queue->Post(window, MSG{handle, message, wparam, lparam});
}

LRESULT SendMessage(HWND handle, uint32_t message, WPARAM wparam, LPARAM lparam) {
  std::shared_ptr<MessageWindow> window = FindWindow(handle);
  if (!window) return 0;
  return SendToWindow(window, message, wparam, lparam);
}

void PostQuitMessage(int exit_code) {
  RepostQuit(MSG{nullptr, WM_QUIT, static_cast<WPARAM>(exit_code), 0});
}

bool GetMessage(MSG* message) {
  if (message == nullptr) return false;
  *message = MSG{};
  if (!FetchPosted(message, std::nullopt)) return false;
  return message->message != WM_QUIT;
}

bool PeekMessage(MSG* message) {
  if (message == nullptr) return false;
  return FetchPosted(message, Clock::now());
}

LRESULT DispatchMessage(const MSG& message) {
  std::shared_ptr<MessageWindow> window = FindWindow(message.window);
  if (!window) return 0;
  // Procedures run only on their own thread.
  if (window->queue.get() != CurrentApartment().queue.get()) return 0;
  return CallProcedure(*window, message.message, message.wparam, message.lparam);
}

bool PumpMessagesUntil(const std::function<bool()>& done, int poll_milliseconds) {
  const auto poll = std::chrono::milliseconds(std::max(poll_milliseconds, 1));
  while (!done()) {
    std::shared_ptr<MessageQueue> queue = CurrentApartment().queue;
    if (!queue) {
      // Nothing to pump: only the condition can change.
      std::this_thread::sleep_for(poll);
      continue;
    }
    MSG message{};
    // A sent message served counts as a message: `done` is checked again after it.
    if (queue->Fetch(&message, Clock::now() + poll) != Fetched::kPosted) continue;
    if (message.message == WM_QUIT) {
      RepostQuit(message);
      return false;
    }
    DispatchMessage(message);
  }
  return true;
}

HRESULT RunOnMainThread(const std::function<HRESULT()>& work) {
  if (IsMainApartmentThread()) return RunGuarded(work);
  std::shared_ptr<MessageWindow> window = MainWindow();
  if (!window) return E_UNEXPECTED;
  // The main apartment may close before serving the call: then there is none to run it.
  return CallOnWindowThread(window, work).value_or(E_UNEXPECTED);
}
