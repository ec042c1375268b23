#include "flows/installer_launch.h"

#include "base/last_error_platform.h"
#include "base/process_launch.h"
#include "base/string_util.h"
#include "flows/flow_steps.h"
#include "update_run/updater_log.h"

namespace updater {

UpdateResult RunInstaller(const UpdateContext& context, const VerifiedInstaller& installer) {
  if (EventExists(context.state.abort_installer_event_name)) return kBrowserAborted;
  ParsedCommandLine command_line(installer.path().value());
  command_line.AddSwitch("kr-auto-update", u"");
  switch (LaunchAndWait(context, installer, command_line)) {
    case LaunchOutcome::kEnded:
      return kResultInstalled;
    case LaunchOutcome::kStopped:
      return kExitWorkerStopped;
    case LaunchOutcome::kNotVerified:
      return kBrowserSignatureInvalid;
    case LaunchOutcome::kNotStarted:
      break;
  }
  LogStartFailure(kLogLineInstallerStartFailed, "installer", platform::LastError());
  return kBrowserInstallerStartFailed;
}

ParsedCommandLine SilentExtractionCommand(const FsPath& program, const FsPath& directory) {
  ParsedCommandLine command_line(program.value());
  command_line.AddArgument(std::string_view("-s"));
  command_line.AddArgument("-d\"" + UTF16ToUTF8(directory.value()) + "\"");
  return command_line;
}

LaunchOutcome LaunchAndWait(const UpdateContext& context,
                            const VerifiedInstaller& program,
                            const ParsedCommandLine& command_line) {
  ProcessHandle process;
  int start_error = 0;
  bool verified = true;
  // Only the start holds a stop off, never the wait. The path is held to the
  // verified file right before it is started (on Windows the file cannot
  // change at all while `program` holds it open).
  const bool started_or_failed = context.StartInstallation([&] {
    verified = program.IsAtItsPath();
    if (!verified) return false;
    process = LaunchProcess(command_line, LaunchOptions{});
    if (!process.IsValid()) start_error = platform::LastError();
    return process.IsValid();
  });
  if (!started_or_failed) return LaunchOutcome::kStopped;
  if (!verified) return LaunchOutcome::kNotVerified;
  if (!process.IsValid()) {
    platform::SetLastError(start_error);
    return LaunchOutcome::kNotStarted;
  }
  process.Wait();
  return LaunchOutcome::kEnded;
}

}  // namespace updater
