#ifndef DIALOG_DIALOG_WINDOW_EVENTS_H_
#define DIALOG_DIALOG_WINDOW_EVENTS_H_

namespace updater {

// What a dialog window reports to the run, always on the UI thread. Only
// virtual calls cross it, so that a window drawn by a separately loaded
// toolkit module needs none of the updater's own code.
class DialogWindowEvents {
 public:
  virtual ~DialogWindowEvents() = default;

  // The window exists and is about to be shown.
  virtual void OnWindowCreated() = 0;
  // A button, the close box or Escape; true when the command was handled.
  virtual bool OnCommand(int command) = 0;
  // The window went away, however it went.
  virtual void OnWindowDestroyed() = 0;
  // The UI thread was woken for notifications that may be waiting.
  virtual void OnWoken() = 0;
};

}  // namespace updater

#endif  // DIALOG_DIALOG_WINDOW_EVENTS_H_
