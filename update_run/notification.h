#ifndef UPDATE_RUN_NOTIFICATION_H_
#define UPDATE_RUN_NOTIFICATION_H_

#include <cstdint>
#include <functional>
#include <string>
#include <variant>

namespace updater {

// The worker's only channel to the dialog (see dialog/notification_queue.h).
// On Windows the window message kUpdaterNotifyMessage wakes the dialog's
// thread for them.
inline constexpr unsigned kUpdaterNotifyMessage = 6024;

enum NotifyCode : int {
  kNotifyBrowserCurrentVersion = 0,
  kNotifyBrowserChecking = 1,
  kNotifyBrowserFound = 2,
  kNotifyBrowserProgress = 3,
  kNotifyBrowserReady = 4,
  kNotifyBrowserInstalling = 5,
  kNotifyBrowserResult = 6,
  kNotifyFlashCurrentVersion = 7,
  kNotifyFlashChecking = 8,
  kNotifyFlashFound = 9,
  kNotifyFlashProgress = 10,
  kNotifyFlashReady = 11,
  kNotifyFlashInstalling = 12,
  kNotifyFlashResult = 13,
  kNotifyFinished = 14,
};

// A number, or a text (a version or a path) that the receiver then owns.
using NotificationValue = std::variant<int64_t, std::u16string>;

// Queues a notification for the dialog and returns at once; it must never
// wait for the dialog. Empty: nothing receives notifications.
using NotificationPoster = std::function<void(NotifyCode, NotificationValue)>;

}  // namespace updater

#endif  // UPDATE_RUN_NOTIFICATION_H_
