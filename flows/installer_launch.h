#ifndef FLOWS_INSTALLER_LAUNCH_H_
#define FLOWS_INSTALLER_LAUNCH_H_

#include "authenticode/installer_signature.h"
#include "base/command_line.h"
#include "base/fs_path.h"
#include "update_run/update_context.h"
#include "update_run/update_result.h"

namespace updater {

// Starts the verified browser installer with "--kr-auto-update" and waits
// for it to end, unless the browser holds the abort-installer event: 0, 5
// or 29 (1 when the run was stopped before the start, 26 when its path no
// longer names the file that was verified).
UpdateResult RunInstaller(const UpdateContext& context, const VerifiedInstaller& installer);

// `program` told to extract itself silently into `directory`: "-s" and
// "-d" followed by the directory in quotation marks, as one argument.
ParsedCommandLine SilentExtractionCommand(const FsPath& program, const FsPath& directory);

enum class LaunchOutcome {
  kEnded,        // it ran to its end; its exit code is not read
  kNotStarted,   // with the last error set
  kStopped,      // the run was stopped first: nothing was started
  kNotVerified,  // its path names another file than the one verified: nothing was started
};

// Runs a verified installer or package, whose path is the program item of
// `command_line`, to its end unless the run is stopped before it starts. A
// stop that comes later leaves it running, never killed, and waits for it.
LaunchOutcome LaunchAndWait(const UpdateContext& context,
                            const VerifiedInstaller& program,
                            const ParsedCommandLine& command_line);

}  // namespace updater

#endif  // FLOWS_INSTALLER_LAUNCH_H_
