#ifndef DIALOG_DIALOG_WINDOW_PLATFORM_H_
#define DIALOG_DIALOG_WINDOW_PLATFORM_H_

#include <memory>
#include <string>

#include "dialog/dialog_state.h"
#include "dialog/dialog_view.h"
#include "update_run/notification.h"

namespace updater::platform {

// The window system's part of an interactive run: the update dialog's
// window and the main thread's message loop.
class DialogWindow : public DialogView {
 public:
  // Null when no display can be opened.
  static std::unique_ptr<DialogWindow> Open();

  // Creates the window for `dialog`, which from then on gets its commands
  // and its destruction, initialises the dialog, and shows the window in the
  // middle of the screen. False when the window cannot be created.
  virtual bool Show(UpdateDialog& dialog) = 0;
  // From any thread: queues the notification for the dialog and returns at
  // once. Notifications are handled in the order posted, on the main thread.
  virtual void PostNotification(NotifyCode code, NotificationValue value) = 0;
  // Handles window events and posted notifications until EndMessageLoop().
  virtual void RunMessageLoop() = 0;
  virtual void EndMessageLoop() = 0;
};

// A modal message with one OK button and no owner; returns once the user has
// dismissed it, or at once when no display can be opened.
void ShowMessage(const std::u16string& text, const std::u16string& caption);

}  // namespace updater::platform

#endif  // DIALOG_DIALOG_WINDOW_PLATFORM_H_
