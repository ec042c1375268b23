#include "update_run/update_result_table.h"

#include <array>

namespace updater {
namespace {

constexpr UpdateResultRow Row(UpdateResult code,
                              ResultSource source,
                              const char* name,
                              const char* description) {
  return {code, source, name, description, code > 0 && code != kResultNothingToInstall};
}

constexpr ResultSource kRun = ResultSource::kRun;
constexpr ResultSource kBrowser = ResultSource::kBrowserFlow;
constexpr ResultSource kFlash = ResultSource::kFlashFlow;

// Ordered by code; where one code has several rows, the one a browser most
// likely sees comes first.
constexpr auto kRows = std::to_array<UpdateResultRow>({
    Row(kResultInstalled,
        kRun,
        "ResultInstalled",
        "installed: the installer ran to its end, or the portable swap completed"),
    Row(kExitWorkerStopped,
        kRun,
        "ExitWorkerStopped",
        "the dialog was closed while the update was still running"),
    Row(kBrowserNoTempDirectory,
        kBrowser,
        "BrowserNoTempDirectory",
        "the user's temporary directory is not available"),
    Row(kFlashNoTempDirectory,
        kFlash,
        "FlashNoTempDirectory",
        "the user's temporary directory is not available"),
    Row(kBrowserQueryNoResponse,
        kBrowser,
        "BrowserQueryNoResponse",
        "the update query got no response"),
    Row(kResultNothingToInstall,
        kRun,
        "ResultNothingToInstall",
        "nothing to install: no newer version is offered"),
    Row(kExitNoWorkerResult,
        kRun,
        "ExitNoWorkerResult",
        "the update's result could not be read (told apart from nothing to install by no one)"),
    Row(kBrowserInstallerStartFailed,
        kBrowser,
        "BrowserInstallerStartFailed",
        "starting the installer failed"),
    Row(kBrowserPackageStartFailed,
        kBrowser,
        "BrowserPackageStartFailed",
        "starting the portable package failed"),
    Row(kBrowserNotPortableExecutable,
        kBrowser,
        "BrowserNotPortableExecutable",
        "portable mode, but the real executable is not the installation's browser executable"),
    Row(kFlashNoExeDirectory,
        kFlash,
        "FlashNoExeDirectory",
        "the directory of the updater's own executable is not available"),
    Row(kFlashUpdatePending,
        kFlash,
        "FlashUpdatePending",
        "an earlier plug-in update is still pending"),
    Row(kFlashQueryNoResponse, kFlash, "FlashQueryNoResponse", "the update query got no response"),
    Row(kFlashQueryBadStatus,
        kFlash,
        "FlashQueryBadStatus",
        "the query's status code is neither 200 nor 302"),
    Row(kFlashSignatureInvalid,
        kFlash,
        "FlashSignatureInvalid",
        "the downloaded file failed the signature check and was deleted"),
    Row(kFlashInstallerStartFailed,
        kFlash,
        "FlashInstallerStartFailed",
        "starting the plug-in installer failed"),
    Row(kBrowserOldDownloadStays,
        kBrowser,
        "BrowserOldDownloadStays",
        "an old file at the download path stays after deletion"),
    Row(kFlashOldDownloadStays,
        kFlash,
        "FlashOldDownloadStays",
        "an old file at the download path stays after deletion"),
    Row(kBrowserPackageWithoutExecutable,
        kBrowser,
        "BrowserPackageWithoutExecutable",
        "the extracted portable package holds no browser executable"),
    Row(kBrowserRunningMoveNewFailed,
        kBrowser,
        "BrowserRunningMoveNewFailed",
        "portable swap, browser running: moving the new executable beside the old one failed"),
    Row(kBrowserRunningMoveFilesFailed,
        kBrowser,
        "BrowserRunningMoveFilesFailed",
        "portable swap, browser running: moving the extracted files into place failed"),
    Row(kBrowserIdleMoveOldFailed,
        kBrowser,
        "BrowserIdleMoveOldFailed",
        "portable swap, browser not running: moving the current executable aside failed"),
    Row(kBrowserIdleMoveFilesFailed,
        kBrowser,
        "BrowserIdleMoveFilesFailed",
        "portable swap, browser not running: moving the extracted files into place failed"),
    Row(kBrowserQueryBadStatus,
        kBrowser,
        "BrowserQueryBadStatus",
        "the query's status code is neither 200 nor 302"),
    Row(kBrowserDownloadNoResponse,
        kBrowser,
        "BrowserDownloadNoResponse",
        "the download request got no response"),
    Row(kBrowserDownloadWriteFailed,
        kBrowser,
        "BrowserDownloadWriteFailed",
        "writing the downloaded file failed"),
    Row(kBrowserSignatureInvalid,
        kBrowser,
        "BrowserSignatureInvalid",
        "the downloaded file failed the signature check and was deleted"),
    Row(kBrowserUserCancelled,
        kBrowser,
        "BrowserUserCancelled",
        "the user cancelled before installation"),
    Row(kBrowserConfirmationFailed,
        kBrowser,
        "BrowserConfirmationFailed",
        "the wait for the user's decision failed"),
    Row(kBrowserAborted,
        kBrowser,
        "BrowserAborted",
        "the browser asked not to install (its abort-installer event exists)"),
    Row(kFlashDownloadNoResponse,
        kFlash,
        "FlashDownloadNoResponse",
        "the download request got no response"),
    Row(kFlashDownloadWriteFailed,
        kFlash,
        "FlashDownloadWriteFailed",
        "writing the downloaded file failed"),
    Row(kFlashAborted,
        kFlash,
        "FlashAborted",
        "the browser asked not to install the plug-in (its abort-plug-in event exists)"),
    Row(kFlashUserCancelled,
        kFlash,
        "FlashUserCancelled",
        "the user cancelled before installation"),
    Row(kFlashConfirmationFailed,
        kFlash,
        "FlashConfirmationFailed",
        "the wait for the user's decision failed"),
    Row(kBrowserNoLocation, kBrowser, "BrowserNoLocation", "the query named no download location"),
    Row(kBrowserNoFileName,
        kBrowser,
        "BrowserNoFileName",
        "the download location has no file name"),
    Row(kFlashNoLocation, kFlash, "FlashNoLocation", "the query named no download location"),
    Row(kFlashNoFileName, kFlash, "FlashNoFileName", "the download location has no file name"),
    Row(kFlashBadCurrentVersion,
        kFlash,
        "FlashBadCurrentVersion",
        "the current plug-in version given is not a valid version"),
    Row(kExitNoDialog,
        kRun,
        "ExitNoDialog",
        "an interactive run could not show its dialog, so it installed nothing"),
    Row(kExitAlreadyRunning, kRun, "ExitAlreadyRunning", "another updater is running"),
});

bool Matches(const UpdateResultRow& row, UpdateResult code, ResultSource source) {
  return row.code == code &&
         (source == ResultSource::kRun || row.source == ResultSource::kRun || row.source == source);
}

}  // namespace

std::span<const UpdateResultRow> UpdateResultTable() {
  return kRows;
}

const UpdateResultRow* FindUpdateResult(UpdateResult code, ResultSource source) {
  for (const UpdateResultRow& row : kRows) {
    if (Matches(row, code, source)) return &row;
  }
  return nullptr;
}

}  // namespace updater
