#ifndef UPDATE_RUN_UPDATER_STATE_H_
#define UPDATE_RUN_UPDATER_STATE_H_

#include <string>

#include "base/fs_path.h"
#include "base/version.h"
#include "kernel_objects/kernel_objects.h"

namespace updater {

// What the entry point finds out before the worker starts, for the worker,
// both flows and the dialog. It is filled completely before the worker
// starts; afterwards the worker only reads it, so it needs no lock.
struct UpdaterState {
  bool interactive = false;
  int language_index = 0;
  NamedEvent continue_event;
  NamedEvent cancel_event;
  NamedEvent restart_event;  // opened by the dialog, main thread only
  FsPath exe_directory;      // the updater's own; empty when it cannot be told
  FsPath real_exe_path;
  FsPath browser_exe_path;
  Version current_browser_version;
  std::u16string abort_installer_event_name;
  std::u16string abort_flash_event_name;
};

}  // namespace updater

#endif  // UPDATE_RUN_UPDATER_STATE_H_
