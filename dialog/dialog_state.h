#ifndef DIALOG_DIALOG_STATE_H_
#define DIALOG_DIALOG_STATE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/fs_path.h"
#include "dialog/dialog_view.h"
#include "update_run/notification.h"
#include "update_run/updater_state.h"

namespace updater {

// Where the dialog stands; each is entered on one notification code, and
// decides what the buttons do.
enum DialogStateValue : int {
  kStateStarted = 0,
  kStateBrowserChecking = 1,
  kStateBrowserDownloading = 2,
  kStateBrowserReady = 3,  // waiting for the user's confirmation
  kStateBrowserInstalling = 4,
  kStateBrowserDone = 5,
  kStateFlashChecking = 6,
  kStateFlashDownloading = 7,
  kStateFlashReady = 8,  // waiting for the user's confirmation
  kStateFlashInstalling = 9,
  kStateFlashDone = 10,
  kStateFinished = 11,
};

// The dialog's own record, alive from initialisation to destruction.
struct DialogState {
  int state = kStateStarted;
  int64_t last_browser_progress = 0;
  int64_t last_flash_progress = 0;
  FsPath browser_installer_path;
  FsPath flash_installer_path;
};

struct DialogNotificationRow;
struct DialogProductRow;
struct LocalizedText;

// What ends the run once the dialog is gone.
struct DialogTeardown {
  // First, as the user closes the dialog and again as destruction begins:
  // stops the worker; a worker that has not finished by now gets the result
  // 1, even when the cancellation lets it finish at once, unless an
  // installer or package it started goes on to its end, which answers true.
  std::function<bool()> closing;
  std::function<void()> stop_worker;
  std::function<void()> end_message_loop;  // with exit code 0
};

// The update dialog's logic, on the main thread only: turns notifications
// into lines and button changes, and the user's commands into the events
// the waiting flow reads. Closing it ends the run.
class UpdateDialog {
 public:
  UpdateDialog(DialogView& view, UpdaterState& updater_state, DialogTeardown teardown);

  void Initialize();
  // Codes outside 0..14, and any after destruction, are ignored. The code
  // is taken whole so that no narrowing turns a stray value into a valid one.
  void OnNotification(int64_t code, const NotificationValue& value);
  // True for the four command ids, false for anything else.
  bool OnCommand(int command);
  // Called by the platform when the window goes away; only the first call
  // acts.
  void OnDestroy();

  // Null before initialisation and after destruction.
  const DialogState* state() const { return state_.get(); }

 private:
  void AddLine(const DialogNotificationRow& row, const NotificationValue& value);
  void ApplyEffects(const DialogNotificationRow& row, const NotificationValue& value);
  void ShowProgress(int64_t& last, int64_t progress);
  void ShowResult(const DialogProductRow& product, int64_t result);
  void OpenRestartEvent();
  void SetConfirmAvailable(const DialogProductRow& product, bool available);
  void Confirm();
  void OpenFolder();
  void Close();
  void CloseByUser();
  const char16_t* Localized(const LocalizedText& entry) const;
  std::u16string Text(const LocalizedText& entry) const;

  DialogView& view_;
  UpdaterState& updater_state_;
  DialogTeardown teardown_;
  std::unique_ptr<DialogState> state_;
};

}  // namespace updater

#endif  // DIALOG_DIALOG_STATE_H_
