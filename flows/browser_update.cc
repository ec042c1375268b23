#include "flows/browser_update.h"

#include "base/path_arithmetic.h"
#include "flows/flow_steps.h"
#include "flows/installer_launch.h"
#include "flows/portable_swap.h"

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

UpdateResult Install(const UpdateContext& context,
                     bool portable,
                     const VerifiedInstaller& download,
                     const FsPath& temp_dir,
                     const FsPath& install_dir) {
  NamedMutex under_upgrade = MarkUnderUpgrade(context.state.real_exe_path);
  const UpdateResult result = portable ? SwapPortableFiles(context, download, temp_dir, install_dir)
                                       : RunInstaller(context, download);
  under_upgrade.Release();
  return result;
}

}  // namespace

UpdateResult RunBrowserUpdate(const UpdateContext& context, int set_index) {
  const UpdaterState& state = context.state;
  const bool portable = context.command_line.IsPresent("portable");
  TempDirectory temp_dir;
  if (!OpenTempDirectory(temp_dir)) return kBrowserNoTempDirectory;
  const std::u16string query_url = BuildBrowserQueryUrl(context.command_line, set_index);
  const FsPath install_dir = ParentDir(state.exe_directory);
  // A portable update moves files into the installation directory (the
  // parent of the updater's own) on behalf of the browser that started it,
  // so it is only done for that directory's "brelix.exe", named by its full
  // path, and never when the directory is unknown (it would become the
  // current one).
  if (portable && (state.exe_directory.empty() ||
                   !(state.real_exe_path == JoinPath(install_dir, kBrowserExeName)))) {
    return kBrowserNotPortableExecutable;
  }

  const QueryOutcome query = QueryUpdateService(query_url, u"Kora-Version", u"Kora-Location");
  if (const auto refused = RefusedOffer(query, state.current_browser_version, kBrowserResults)) {
    return *refused;
  }
  context.PostNotification(kNotifyBrowserFound, query.offer.offered_version);

  std::optional<VerifiedInstaller> download;
  const UpdateResult downloaded =
      DownloadVerifiedInstaller(context, query.offer.download_url, OnBrowserDownloadProgress,
                                temp_dir, kBrowserResults.download, download);
  if (downloaded != kResultInstalled) return downloaded;
  if (state.interactive) {
    const Confirmation confirmation = WaitForConfirmation(
        context, kNotifyBrowserReady, download->path(), kNotifyBrowserInstalling);
    if (const auto refused = RefusedConfirmation(confirmation, kBrowserResults)) return *refused;
  }
  return Install(context, portable, *download, temp_dir.path, install_dir);
}

}  // namespace updater
