#include "auto_update/installer_launch.h"

#include "auto_update/flow_steps.h"
#include "auto_update/updater_log.h"
#include "base/last_error_platform.h"
#include "base/process_launch.h"

namespace updater {

UpdateResult RunInstaller(const FsPath& download_path, std::u16string_view abort_event_name) {
  if (EventExists(abort_event_name)) return kBrowserAborted;
  ParsedCommandLine command_line(download_path.value());
  command_line.AddSwitch("kr-auto-update", u"");
  if (!LaunchAndWait(command_line)) {
    LogStartFailure(kLogLineInstallerStartFailed, "installer", platform::LastError());
    return kBrowserInstallerStartFailed;
  }
  return kResultInstalled;
}

bool LaunchAndWait(const ParsedCommandLine& command_line) {
  return LaunchProcess(command_line, LaunchOptions{.wait = true}).IsValid();
}

}  // namespace updater
