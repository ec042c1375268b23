#ifndef DIALOG_SHOW_IN_FILE_MANAGER_GTK_H_
#define DIALOG_SHOW_IN_FILE_MANAGER_GTK_H_

#include <string>

namespace updater::platform {

// Asks the desktop's file manager (org.freedesktop.FileManager1 on the
// session bus) to show the file at native path `native` in its folder; when none answers, opens
// the folder with the desktop's default handler. An empty path opens the
// user's home folder, with nothing selected. Returns at once; the outcome is
// not reported.
void ShowInFileManager(const std::string& native);

}  // namespace updater::platform

#endif  // DIALOG_SHOW_IN_FILE_MANAGER_GTK_H_
