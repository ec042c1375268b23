#ifndef AUTO_UPDATE_UPDATER_STATE_H_
#define AUTO_UPDATE_UPDATER_STATE_H_

#include <string>

#include "auto_update/notification.h"
#include "base/fs_path.h"
#include "base/version.h"
#include "kernel_objects/kernel_objects.h"

namespace updater {

// What the entry point, the worker, both flows and the dialog share. The
// entry point fills it completely before the worker starts; afterwards the
// worker only reads it (except current_flash_version, which the plug-in flow
// owns), so it needs no lock.
struct UpdaterState {
  bool interactive = false;
  int language_index = 0;
  // Stands in for the dialog window: empty in silent mode.
  NotificationPoster poster;
  NamedEvent continue_event;
  NamedEvent cancel_event;
  NamedEvent restart_event;  // opened by the dialog, main thread only
  FsPath real_exe_path;
  FsPath browser_exe_path;
  Version current_browser_version;
  Version current_flash_version;
  std::u16string abort_installer_event_name;
  std::u16string abort_flash_event_name;
};

// The one process-wide instance.
UpdaterState& GetUpdaterState();

}  // namespace updater

#endif  // AUTO_UPDATE_UPDATER_STATE_H_
