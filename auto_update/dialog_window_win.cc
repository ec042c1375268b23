// Until the dialog has its Win32 window, an interactive run ends with the
// exit code that installs nothing; the busy message is the system's own.
#include <windows.h>

#include <string>

#include "auto_update/dialog_window_platform.h"
#include "base/file_util_win.h"

namespace updater::platform {

std::unique_ptr<DialogWindow> DialogWindow::Open() {
  return nullptr;
}

void ShowMessage(const std::u16string& text, const std::u16string& caption) {
  MessageBoxW(nullptr, win::ToWide(text).c_str(), win::ToWide(caption).c_str(), MB_OK);
}

}  // namespace updater::platform
