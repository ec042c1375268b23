#include "dialog/notification_queue.h"

#include <functional>

namespace updater {

// A wake that could not be sent leaves the notifications queued; the next
// push tries again.
void NotificationQueue::Push(NotifyCode code, NotificationValue value) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (closed_) return;
  pending_.emplace_back(code, std::move(value));
  if (wake_outstanding_) return;
  wake_outstanding_ = true;
  lock.unlock();
  if (waker_.WakeUiThread()) return;
  lock.lock();
  wake_outstanding_ = false;
}

// Notifications pushed while these are delivered come with the next wake,
// so that a busy worker cannot keep the UI thread from its other events.
void NotificationQueue::DeliverTo(UpdateDialog& dialog) {
  for (auto& [code, value] : TakeAll()) {
    if (IsClosed()) return;
    dialog.OnNotification(code, value);
  }
}

void NotificationQueue::Close() {
  const std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  pending_.clear();
}

NotificationQueue::Batch NotificationQueue::TakeAll() {
  const std::lock_guard<std::mutex> lock(mutex_);
  wake_outstanding_ = false;
  return std::exchange(pending_, {});
}

bool NotificationQueue::IsClosed() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

NotificationPoster PosterInto(NotificationQueue& queue) {
  return std::bind_front(&NotificationQueue::Push, &queue);
}

void DialogWindowEventRouter::OnWindowDestroyed() {
  queue_.Close();
  dialog_.OnDestroy();
}

}  // namespace updater
