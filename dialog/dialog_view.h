#ifndef DIALOG_DIALOG_VIEW_H_
#define DIALOG_DIALOG_VIEW_H_

#include <string>

#include "base/fs_path.h"
#include "resources/dialog_ids.h"

namespace updater {

// The dialog's buttons, numbered as their control ids.
enum DialogButton : int {
  kConfirmButton = UPDATER_DIALOG_CONFIRM,
  kAbortButton = UPDATER_DIALOG_ABORT,
  kOpenFolderButton = UPDATER_DIALOG_OPEN_FOLDER,
};

// The commands the dialog answers, by control id; 2 is the close box.
enum DialogCommand : int {
  kCommandConfirm = kConfirmButton,
  kCommandCancel = 2,
  kCommandAbort = kAbortButton,
  kCommandOpenFolder = kOpenFolderButton,
};

// What the update dialog's logic does to its window. Each platform draws the
// dialog its own way behind this; the logic never touches a toolkit.
class DialogView {
 public:
  virtual ~DialogView() = default;

  virtual void SetTitle(const std::u16string& title) = 0;
  // Appends a line below the others; lines stay in the order added.
  virtual void AddLine(const std::u16string& line) = 0;
  // Removes the bottom line; nothing when there is none.
  virtual void DeleteLastLine() = 0;
  virtual void ShowButton(DialogButton button, bool shown) = 0;
  virtual void EnableButton(DialogButton button, bool enabled) = 0;
  virtual void LabelButton(DialogButton button, const std::u16string& label) = 0;
  virtual bool IsVisible() const = 0;
  // Takes the window off the screen; it stays until destroyed.
  virtual void Hide() = 0;
  // A file-manager window on the file's folder with the file selected; an
  // empty path opens it without a selection. Failures are not reported.
  virtual void OpenFolder(const FsPath& selected) = 0;
  // Removes the window. The platform then calls UpdateDialog::OnDestroy,
  // as it does when the window goes away any other way.
  virtual void Destroy() = 0;
};

}  // namespace updater

#endif  // DIALOG_DIALOG_VIEW_H_
