#ifndef DIALOG_TOOLKIT_MODULE_GTK_H_
#define DIALOG_TOOLKIT_MODULE_GTK_H_

// What the GTK toolkit module offers the updater. A silent run never loads
// the toolkit; an interactive one loads the module and reaches it through
// these abstract classes only, so that the module holds nothing but the
// toolkit's code and these headers. Text is UTF-8, paths are native.

#include <memory>
#include <string>

#include "dialog/dialog_view.h"
#include "dialog/dialog_window_events.h"

namespace updater::platform {

inline constexpr char kToolkitModuleName[] = "rivazeriduv_updater_gtk.so";
inline constexpr char kToolkitFactoryName[] = "rivazeriduv_updater_gtk_toolkit";

// The update dialog's window as the toolkit draws it; see DialogView and
// DialogWindow for what each call does.
class ToolkitDialogWindow {
 public:
  virtual ~ToolkitDialogWindow() = default;

  virtual bool Show(DialogWindowEvents& events) = 0;
  // From any thread.
  virtual bool WakeUiThread() = 0;
  virtual void RunMessageLoop() = 0;
  virtual void EndMessageLoop() = 0;

  virtual void SetTitle(const std::string& title) = 0;
  virtual void AddLine(const std::string& line) = 0;
  virtual void DeleteLastLine() = 0;
  virtual void ShowButton(DialogButton button, bool shown) = 0;
  virtual void EnableButton(DialogButton button, bool enabled) = 0;
  virtual void LabelButton(DialogButton button, const std::string& label) = 0;
  virtual bool IsVisible() const = 0;
  virtual void Hide() = 0;
  // An empty path opens the user's home folder.
  virtual void OpenFolder(const std::string& native_path) = 0;
  virtual void Destroy() = 0;
};

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // Null when no display can be opened.
  virtual std::unique_ptr<ToolkitDialogWindow> OpenDialogWindow() = 0;
  // Returns once dismissed, or at once when no display can be opened.
  virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
};

// The module's one export, named kToolkitFactoryName: its toolkit, alive as
// long as the process.
using ToolkitFactory = Toolkit* (*)();

}  // namespace updater::platform

#endif  // DIALOG_TOOLKIT_MODULE_GTK_H_
