#ifndef DIALOG_SHOW_IN_FILE_MANAGER_WIN_H_
#define DIALOG_SHOW_IN_FILE_MANAGER_WIN_H_

#include "base/fs_path.h"

namespace updater::platform {

// Opens an Explorer window on the folder of `selected` with it selected; an
// empty path leaves Explorer to choose what to show. Returns at once; the
// outcome is not reported.
void ShowInFileManager(const FsPath& selected);

}  // namespace updater::platform

#endif  // DIALOG_SHOW_IN_FILE_MANAGER_WIN_H_
