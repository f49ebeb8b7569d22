#include "platform/com/message_queue_internal.h"

#include <algorithm>
#include <utility>

namespace apartment_internal {
namespace {

template <class Item>
Item PopFront(std::deque<Item>& items) {
  Item item = std::move(items.front());
  items.pop_front();
  return item;
}

bool IsFor(const MessageWindow& window, const std::shared_ptr<SentMessage>& item) {
  return item->window.get() == &window;
}

// Runs a message sent from another thread and hands the result back to its sender.
void DeliverSent(SentMessage& item) {
  LRESULT result = CallProcedure(*item.window, item.message, item.wparam, item.lparam);
  item.reply_queue->Complete(item, result);
}

}  // namespace

LRESULT CallProcedure(MessageWindow& window, uint32_t message, WPARAM wparam,
                      LPARAM lparam) noexcept {
  if (window.destroyed.load() || !window.procedure) return 0;
  try {
    return window.procedure(message, wparam, lparam);
  } catch (...) {
    return 0;
  }
}

bool MessageQueue::Post(const std::shared_ptr<MessageWindow>& window, const MSG& message) {
  std::lock_guard lock(mutex_);
  if (closed_ || (window && window->destroyed.load())) return false;
  try {
    posted_.push_back(PostedMessage{window, message});
  } catch (const std::bad_alloc&) {
    return false;
  }
  wake_.notify_all();
  return true;
}

bool MessageQueue::QueueSent(const std::shared_ptr<SentMessage>& item) {
  std::lock_guard lock(mutex_);
  if (closed_ || item->window->destroyed.load()) return false;
  try {
    sent_.push_back(item);
  } catch (const std::bad_alloc&) {
    return false;
  }
  wake_.notify_all();
  return true;
}

void MessageQueue::Complete(SentMessage& item, LRESULT result) {
  // Notified under the lock: once the sender sees `done` it may drop this queue.
  std::lock_guard lock(mutex_);
  item.result = result;
  item.done = true;
  wake_.notify_all();
}

Fetched MessageQueue::Fetch(MSG* message, std::optional<Clock::time_point> deadline) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (closed_) return Fetched::kClosed;
    if (!sent_.empty()) {
      std::shared_ptr<SentMessage> item = PopFront(sent_);
      lock.unlock();
      DeliverSent(*item);
      return Fetched::kServedSent;
    }
    if (!posted_.empty()) {
      // The window reference goes after the lock: it may be the last one.
      PostedMessage item = PopFront(posted_);
      lock.unlock();
      *message = item.message;
      return Fetched::kPosted;
    }
    if (!deadline) {
      wake_.wait(lock);
      continue;
    }
    if (Clock::now() >= *deadline) return Fetched::kTimedOut;
    wake_.wait_until(lock, *deadline);
  }
}

LRESULT MessageQueue::WaitForReply(SentMessage& item) {
  std::unique_lock lock(mutex_);
  while (!item.done) {
    if (sent_.empty()) {
      wake_.wait(lock);
      continue;
    }
    // Whoever we wait for may be waiting for us: serve it, or both threads hang.
    std::shared_ptr<SentMessage> served = PopFront(sent_);
    lock.unlock();
    DeliverSent(*served);
    served.reset();
    lock.lock();
  }
  return item.result;
}

void MessageQueue::AddWindow(std::shared_ptr<MessageWindow> window) {
  windows_.push_back(std::move(window));
}

void MessageQueue::DestroyWindow(MessageWindow& window) {
  std::vector<std::shared_ptr<SentMessage>> orphans;
  {
    std::lock_guard lock(mutex_);
    window.destroyed = true;
    // Should collecting fail, the senders left queued still get 0 when their message comes
    // up, since the window is already marked destroyed.
    try {
      std::copy_if(sent_.begin(), sent_.end(), std::back_inserter(orphans),
                   [&](const auto& item) { return IsFor(window, item); });
      std::erase_if(sent_, [&](const auto& item) { return IsFor(window, item); });
    } catch (const std::bad_alloc&) {
      orphans.clear();
    }
    std::erase_if(posted_, [&](const PostedMessage& item) { return item.window.get() == &window; });
  }
  for (const std::shared_ptr<SentMessage>& item : orphans) item->reply_queue->Complete(*item, 0);
  std::erase_if(windows_, [&](const auto& held) { return held.get() == &window; });
}

std::vector<std::shared_ptr<MessageWindow>> MessageQueue::Close() {
  std::deque<std::shared_ptr<SentMessage>> orphans;
  std::deque<PostedMessage> dropped;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    for (const std::shared_ptr<MessageWindow>& window : windows_) window->destroyed = true;
    orphans.swap(sent_);
    dropped.swap(posted_);
  }
  for (const std::shared_ptr<SentMessage>& item : orphans) item->reply_queue->Complete(*item, 0);
  own_window_.reset();
  return std::exchange(windows_, {});
}

ProxyTarget* MessageQueue::AdoptTarget(std::unique_ptr<ProxyTarget> target) {
  ProxyTarget* key = target.get();
  targets_.emplace(key, std::move(target));
  return key;
}

void MessageQueue::ReleaseTarget(ProxyTarget* target) {
  // Taken out of the map before the object goes: its destructor may release other proxies of
  // this apartment, which re-enters here.
  auto node = targets_.extract(target);
}

void MessageQueue::ReleaseAllTargets() {
  auto targets = std::exchange(targets_, {});
}

}  // namespace apartment_internal
