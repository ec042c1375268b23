#ifndef UPDATE_RUN_UPDATER_LOG_H_
#define UPDATE_RUN_UPDATER_LOG_H_

#include <string_view>

namespace updater {

// The line numbers the updater's own log lines carry. Support tools parse
// them, so they are part of the interface and never change.
enum UpdaterLogLine : int {
  kLogLineDirectoryFound = 271,
  kLogLinePackageStartFailed = 292,
  kLogLineRunningMoveNewFailed = 336,
  kLogLineRunningMoveFilesFailed = 340,
  kLogLineIdleMoveOldFailed = 345,
  kLogLineIdleMoveFilesFailed = 349,
  kLogLineInstallerStartFailed = 365,
  kLogLineFlashInstallerStartFailed = 504,
};

// Every message of the updater's own begins with this.
inline constexpr char kUpdaterLogPrefix[] = "RivaZeriduv Updater: ";

// "<what> failed  to start last error=<error in lower-case hex>" (two blanks,
// as the tools expect).
void LogStartFailure(UpdaterLogLine line, std::string_view what, int error);

// "copy extracted files failed error=<code>", the code in decimal.
void LogCopyFailure(UpdaterLogLine line, int code);

}  // namespace updater

#endif  // UPDATE_RUN_UPDATER_LOG_H_
