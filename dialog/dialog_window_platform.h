#ifndef DIALOG_DIALOG_WINDOW_PLATFORM_H_
#define DIALOG_DIALOG_WINDOW_PLATFORM_H_

#include <memory>
#include <string>

#include "dialog/dialog_view.h"
#include "dialog/dialog_window_events.h"
#include "dialog/notification_queue.h"

namespace updater::platform {

// The window system's part of an interactive run: the update dialog's
// window and the main thread's message loop. It only wakes the main thread
// for notifications; the NotificationQueue carries them.
class DialogWindow : public DialogView, public UiThreadWaker {
 public:
  // Null when no display can be opened, or the toolkit cannot be loaded.
  static std::unique_ptr<DialogWindow> Open();

  // Creates the window, which from then on reports to `events`, reports its
  // creation, and shows the window in the middle of the screen. False when
  // the window cannot be created.
  virtual bool Show(DialogWindowEvents& events) = 0;
  // Handles window events and wakes until EndMessageLoop().
  virtual void RunMessageLoop() = 0;
  virtual void EndMessageLoop() = 0;
};

// A modal message with one OK button and no owner; returns once the user has
// dismissed it, or at once when no display can be opened.
void ShowMessage(const std::u16string& text, const std::u16string& caption);

}  // namespace updater::platform

#endif  // DIALOG_DIALOG_WINDOW_PLATFORM_H_
