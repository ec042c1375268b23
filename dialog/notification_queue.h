#ifndef DIALOG_NOTIFICATION_QUEUE_H_
#define DIALOG_NOTIFICATION_QUEUE_H_

#include <mutex>
#include <utility>
#include <vector>

#include "dialog/dialog_state.h"
#include "dialog/dialog_window_events.h"
#include "update_run/notification.h"

namespace updater {

// Wakes the UI thread from any thread without waiting for it; false when the
// wake could not be sent.
class UiThreadWaker {
 public:
  virtual ~UiThreadWaker() = default;
  virtual bool WakeUiThread() = 0;
};

// The one road of notifications from the worker to the dialog: pushed from
// any thread, delivered on the UI thread in the order pushed. The worker
// never waits for the dialog: a push only takes the queue's lock and, when
// no wake is outstanding, sends one.
class NotificationQueue {
 public:
  explicit NotificationQueue(UiThreadWaker& waker) : waker_(waker) {}

  // From any thread. Dropped once the queue is closed.
  void Push(NotifyCode code, NotificationValue value);
  // On the UI thread, when woken: hands what is queued to `dialog`, oldest
  // first, stopping as soon as the queue is closed.
  void DeliverTo(UpdateDialog& dialog);
  // On the UI thread as the dialog goes: nothing is delivered from now on.
  void Close();

 private:
  using Batch = std::vector<std::pair<NotifyCode, NotificationValue>>;
  Batch TakeAll();
  bool IsClosed();

  UiThreadWaker& waker_;
  std::mutex mutex_;
  Batch pending_;
  bool wake_outstanding_ = false;
  bool closed_ = false;
};

// The worker's poster: pushes into `queue`.
NotificationPoster PosterInto(NotificationQueue& queue);

// Routes a dialog window's events to the update dialog; a wake delivers the
// queued notifications, and the window's end closes the queue first.
class DialogWindowEventRouter : public DialogWindowEvents {
 public:
  DialogWindowEventRouter(UpdateDialog& dialog, NotificationQueue& queue)
      : dialog_(dialog), queue_(queue) {}

  void OnWindowCreated() override { dialog_.Initialize(); }
  bool OnCommand(int command) override { return dialog_.OnCommand(command); }
  void OnWindowDestroyed() override;
  void OnWoken() override { queue_.DeliverTo(dialog_); }

 private:
  UpdateDialog& dialog_;
  NotificationQueue& queue_;
};

}  // namespace updater

#endif  // DIALOG_NOTIFICATION_QUEUE_H_
