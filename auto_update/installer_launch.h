#ifndef AUTO_UPDATE_INSTALLER_LAUNCH_H_
#define AUTO_UPDATE_INSTALLER_LAUNCH_H_

#include <string_view>

#include "auto_update/update_result.h"
#include "base/command_line.h"
#include "base/fs_path.h"

namespace updater {

// Starts the verified browser installer with "--kr-auto-update" and waits
// for it to end, unless the browser holds the event `abort_event_name`: 0, 5
// or 29.
UpdateResult RunInstaller(const FsPath& download_path, std::u16string_view abort_event_name);

// Runs a verified installer or package to its end; its exit code is not
// read. False when it could not be started, with the last error set.
bool LaunchAndWait(const ParsedCommandLine& command_line);

}  // namespace updater

#endif  // AUTO_UPDATE_INSTALLER_LAUNCH_H_
