#include "auto_update/browser_update.h"

#include "auto_update/flow_steps.h"
#include "auto_update/installer_launch.h"
#include "auto_update/portable_swap.h"
#include "auto_update/updater_state.h"
#include "base/known_paths.h"
#include "base/path_operations.h"

namespace updater {
namespace {

constexpr std::u16string_view kBrowserExeName = u"brelix.exe";

constexpr FlowResults kBrowserResults = {
    .query_no_response = kBrowserQueryNoResponse,
    .query_bad_status = kBrowserQueryBadStatus,
    .no_location = kBrowserNoLocation,
    .download = {.no_response = kBrowserDownloadNoResponse,
                 .no_file_name = kBrowserNoFileName,
                 .old_file_stays = kBrowserOldDownloadStays,
                 .write_failed = kBrowserDownloadWriteFailed,
                 .signature_invalid = kBrowserSignatureInvalid},
    .user_cancelled = kBrowserUserCancelled,
    .confirmation_failed = kBrowserConfirmationFailed,
};

UpdateResult Install(bool portable,
                     const FsPath& download_path,
                     const FsPath& temp_dir,
                     const FsPath& install_dir) {
  NamedMutex under_upgrade = MarkUnderUpgrade();
  const UpdateResult result = portable ? SwapPortableFiles(download_path, temp_dir, install_dir)
                                       : RunInstaller(download_path);
  under_upgrade.Release();
  return result;
}

}  // namespace

UpdateResult RunBrowserUpdate(const ParsedCommandLine& command_line, int set_index) {
  const UpdaterState& state = GetUpdaterState();
  const bool portable = command_line.IsPresent("portable");
  FsPath temp_dir;
  if (!GetTempDirectory(temp_dir)) return kBrowserNoTempDirectory;
  const std::u16string query_url = BuildBrowserQueryUrl(command_line, set_index);
  FsPath exe_directory;
  const bool exe_directory_known = GetKnownPath(kExeDirectory, exe_directory);
  const FsPath install_dir = ParentDir(exe_directory);
  // A portable update moves files into the installation directory (the
  // parent of the updater's own) on behalf of the browser that started it,
  // so it is only done for that directory's "brelix.exe", named by its full
  // path, and never when the directory is unknown (it would become the
  // current one).
  if (portable &&
      (!exe_directory_known || !(state.real_exe_path == JoinPath(install_dir, kBrowserExeName)))) {
    return kBrowserNotPortableExecutable;
  }

  const QueryOutcome query = QueryUpdateService(query_url, u"Kora-Version", u"Kora-Location");
  if (const auto refused = RefusedOffer(query, state.current_browser_version, kBrowserResults)) {
    return *refused;
  }
  PostNotification(kNotifyBrowserFound, query.offer.offered_version);

  FsPath download_path;
  const UpdateResult downloaded =
      DownloadVerifiedInstaller(query.offer.download_url, OnBrowserDownloadProgress, temp_dir,
                                kBrowserResults.download, download_path);
  if (downloaded != kResultInstalled) return downloaded;
  if (state.interactive) {
    const Confirmation confirmation =
        WaitForConfirmation(kNotifyBrowserReady, download_path, kNotifyBrowserInstalling);
    if (const auto refused = RefusedConfirmation(confirmation, kBrowserResults)) return *refused;
  }
  return Install(portable, download_path, temp_dir, install_dir);
}

}  // namespace updater
