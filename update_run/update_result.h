#ifndef UPDATE_RUN_UPDATE_RESULT_H_
#define UPDATE_RUN_UPDATE_RESULT_H_

#include <cstdint>

namespace updater {

// The result of an update flow and the process exit code. The dialog shows 4
// as up to date, other positive values as failures with their number, and 0
// as a completed installation. The two flows number their failures apart;
// the same number may mean different things in each.
using UpdateResult = int32_t;

constexpr UpdateResult kResultInstalled = 0;
constexpr UpdateResult kResultNothingToInstall = 4;

// Browser flow.
constexpr UpdateResult kBrowserNoTempDirectory = 2;
constexpr UpdateResult kBrowserQueryNoResponse = 3;
constexpr UpdateResult kBrowserInstallerStartFailed = 5;
constexpr UpdateResult kBrowserPackageStartFailed = 7;
constexpr UpdateResult kBrowserNotPortableExecutable = 8;
constexpr UpdateResult kBrowserOldDownloadStays = 15;
constexpr UpdateResult kBrowserPackageWithoutExecutable = 17;
constexpr UpdateResult kBrowserRunningMoveNewFailed = 18;
constexpr UpdateResult kBrowserRunningMoveFilesFailed = 19;
constexpr UpdateResult kBrowserIdleMoveOldFailed = 21;
constexpr UpdateResult kBrowserIdleMoveFilesFailed = 22;
constexpr UpdateResult kBrowserQueryBadStatus = 23;
constexpr UpdateResult kBrowserDownloadNoResponse = 24;
constexpr UpdateResult kBrowserDownloadWriteFailed = 25;
constexpr UpdateResult kBrowserSignatureInvalid = 26;
constexpr UpdateResult kBrowserUserCancelled = 27;
constexpr UpdateResult kBrowserConfirmationFailed = 28;
constexpr UpdateResult kBrowserAborted = 29;
constexpr UpdateResult kBrowserNoLocation = 34;
constexpr UpdateResult kBrowserNoFileName = 35;

// Plug-in flow.
constexpr UpdateResult kFlashNoTempDirectory = 2;
constexpr UpdateResult kFlashNoExeDirectory = 9;
constexpr UpdateResult kFlashUpdatePending = 10;
constexpr UpdateResult kFlashQueryNoResponse = 11;
constexpr UpdateResult kFlashQueryBadStatus = 12;
constexpr UpdateResult kFlashSignatureInvalid = 13;
constexpr UpdateResult kFlashInstallerStartFailed = 14;
constexpr UpdateResult kFlashOldDownloadStays = 16;
constexpr UpdateResult kFlashDownloadNoResponse = 29;
constexpr UpdateResult kFlashDownloadWriteFailed = 30;
constexpr UpdateResult kFlashAborted = 31;
constexpr UpdateResult kFlashUserCancelled = 32;
constexpr UpdateResult kFlashConfirmationFailed = 33;
constexpr UpdateResult kFlashNoLocation = 36;
constexpr UpdateResult kFlashNoFileName = 37;
constexpr UpdateResult kFlashBadCurrentVersion = 39;

// Exit codes made outside the flows.
constexpr UpdateResult kExitWorkerStopped = 1;
constexpr UpdateResult kExitNoWorkerResult = 4;
constexpr UpdateResult kExitAlreadyRunning = 99;
// An interactive run whose dialog cannot be shown (no display): it never
// installs without asking.
constexpr UpdateResult kExitNoDialog = 98;

}  // namespace updater

#endif  // UPDATE_RUN_UPDATE_RESULT_H_
