#pragma once
// What apartment.cpp and dispatch_proxy.cpp share behind apartment.h: the per-thread message
// queue, the window record a HWND points at, and the private messages of each apartment's own
// window. Only platform/com includes this.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/com/apartment.h"

namespace apartment_internal {

class MessageQueue;

using Clock = std::chrono::steady_clock;

/// What a call to an object returns when the apartment it lives in closed before serving it.

// Private messages of an apartment's own window, kept far above WM_USER so that a host's own
// private messages sent to MainApartmentWindow() are not mistaken for them.

/// Runs a CallRecord (lparam). Only ever sent: the record lives on the sender's stack.
inline constexpr uint32_t kRunCallMessage = WM_USER + 0x3F00;
/// Releases the ProxyTarget (lparam) of a proxy dropped on another thread. The pointer is
/// looked up among the queue's targets, never dereferenced on trust.
inline constexpr uint32_t kReleaseTargetMessage = WM_USER + 0x3F01;

/// A function to run on a window's thread, and what it returned there.
struct CallRecord {
  const std::function<HRESULT()>* work;
  HRESULT result = E_UNEXPECTED;
  bool ran = false;  // false when the window's apartment closed before serving the call
};

/// The object a proxy stands for. The queue of the object's apartment owns it and only that
/// thread touches it, so the object's last Release happens where the object lives.
struct ProxyTarget {
  ComPtr<IDispatch> object;
};

/// A message sent from another thread. The sender waits on `reply_queue` until `done`.
struct SentMessage {
  std::shared_ptr<MessageWindow> window;
  uint32_t message;
  WPARAM wparam;
  LPARAM lparam;
  std::shared_ptr<MessageQueue> reply_queue;
  LRESULT result = 0;  // result and done are guarded by reply_queue's mutex
  bool done = false;
};

struct PostedMessage {
  std::shared_ptr<MessageWindow> window;  // null for WM_QUIT
  MSG message;
};

enum class Fetched {
  kPosted,      // a posted message was taken
  kServedSent,  // a sent message was delivered inline (nothing to return)
  kTimedOut,    // the deadline passed with nothing to do
  kClosed,      // the queue's apartment has closed
};

/// One thread's messages. Posting and sending are safe from any thread; fetching, waiting and
/// the window and proxy bookkeeping belong to the owning thread. One condition variable wakes
/// the owner for new posted or sent messages and for the reply to its own pending send, so a
/// thread waiting for a reply still serves messages sent to it.
class MessageQueue {
 public:
  /// Queues `message`; false when the queue has closed or `window` is destroyed.
  bool Post(const std::shared_ptr<MessageWindow>& window, const MSG& message);
  /// Queues a message from another thread; false (nothing queued) as for Post.
  bool QueueSent(const std::shared_ptr<SentMessage>& item);
  /// Records the reply to a message this queue's thread sent, and wakes it.
  void Complete(SentMessage& item, LRESULT result);

  /// Delivers one sent message, or takes one posted message, or waits for either until
  /// `deadline` (forever without one).
  Fetched Fetch(MSG* message, std::optional<Clock::time_point> deadline);
  /// Waits for the reply to `item`, meanwhile delivering messages sent to this queue.
  LRESULT WaitForReply(SentMessage& item);

  /// The apartment's own window, which carries calls and releases for its objects.
  void SetOwnWindow(const std::shared_ptr<MessageWindow>& window) { own_window_ = window; }
  std::shared_ptr<MessageWindow> OwnWindow() const { return own_window_.lock(); }
  void AddWindow(std::shared_ptr<MessageWindow> window);
  /// Marks the window destroyed and drops its queued messages; its senders get 0.
  void DestroyWindow(MessageWindow& window);
  /// Refuses further messages, releases every waiting sender with 0 and hands back the
  /// windows, now destroyed, for the caller to unregister.
  std::vector<std::shared_ptr<MessageWindow>> Close();

  ProxyTarget* AdoptTarget(std::unique_ptr<ProxyTarget> target);
  /// Releases one target; unknown pointers (already released) are ignored.
  void ReleaseTarget(ProxyTarget* target);
  void ReleaseAllTargets();

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<PostedMessage> posted_;
  std::deque<std::shared_ptr<SentMessage>> sent_;
  bool closed_ = false;

  // Owning thread only.
  std::weak_ptr<MessageWindow> own_window_;
  std::vector<std::shared_ptr<MessageWindow>> windows_;
  std::unordered_map<ProxyTarget*, std::unique_ptr<ProxyTarget>> targets_;
};

/// Calls the window's procedure unless the window is destroyed (then 0). An exception from the
/// procedure is not allowed to unwind through a message loop or into a sending thread: it
/// becomes 0.
LRESULT CallProcedure(MessageWindow& window, uint32_t message, WPARAM wparam,
                      LPARAM lparam) noexcept;

/// The calling thread's queue; null outside an apartment.
MessageQueue* CurrentQueue();
/// Runs `work` on the window's thread (directly when already there) and returns its result;
/// nullopt when the window's apartment closed before running it.
std::optional<HRESULT> CallOnWindowThread(const std::shared_ptr<MessageWindow>& window,
                                          const std::function<HRESULT()>& work);

}  // namespace apartment_internal

/// The record behind a HWND. The registry of live windows owns it; queued messages and proxies
/// hold references, so a handle that outlives its window never reaches freed memory.
struct MessageWindow {
  WindowProcedure procedure;
  std::shared_ptr<apartment_internal::MessageQueue> queue;
  bool internal = false;  // an apartment's own window, destroyed only with its queue
  std::atomic<bool> destroyed{false};  // set under queue's mutex
};
