#include "flows/flash_update.h"

#include "base/file_operations.h"
#include "base/last_error_platform.h"
#include "base/path_arithmetic.h"
#include "base/string_util.h"
#include "flows/flow_steps.h"
#include "flows/installer_launch.h"
#include "update_run/updater_log.h"

namespace updater {
namespace {

constexpr std::u16string_view kFlashDirName = u"PepperFlash";

constexpr FlowResults kFlashResults = {
    .query_no_response = kFlashQueryNoResponse,
    .query_bad_status = kFlashQueryBadStatus,
    .no_location = kFlashNoLocation,
    .download = {.no_response = kFlashDownloadNoResponse,
                 .no_file_name = kFlashNoFileName,
                 .old_file_stays = kFlashOldDownloadStays,
                 .write_failed = kFlashDownloadWriteFailed,
                 .signature_invalid = kFlashSignatureInvalid},
    .user_cancelled = kFlashUserCancelled,
    .confirmation_failed = kFlashConfirmationFailed,
};

struct PluginDirectories {
  FsPath plugin;    // the plug-in in use
  FsPath staging;   // where the installer puts the new one
  FsPath previous;  // the one replaced by the last swap
};

PluginDirectories MakePluginDirectories(const FsPath& exe_directory) {
  const FsPath plugin = JoinPath(exe_directory, kFlashDirName);
  return {plugin, FsPath(plugin.value() + u"_new"), FsPath(plugin.value() + u"_old")};
}

// The old plug-in is moved aside only when the installer staged a new one,
// so an installer that unpacked nothing costs no plug-in; without an old one
// the new one goes straight into place, or it would wait in staging forever.
// The result of a started installer is 0 whatever the moves do.
void SwapStagedPlugin(const PluginDirectories& directories) {
  if (!IsDirectory(directories.staging)) return;
  if (!PathExists(directories.plugin) || MovePath(directories.plugin, directories.previous)) {
    MovePath(directories.staging, directories.plugin);
  }
}

UpdateResult RunInstallerAndSwap(const UpdateContext& context,
                                 const VerifiedInstaller& installer,
                                 const PluginDirectories& directories) {
  if (EventExists(context.state.abort_flash_event_name)) return kFlashAborted;
  switch (LaunchAndWait(context, installer,
                        SilentExtractionCommand(installer.path(), directories.staging))) {
    case LaunchOutcome::kEnded:
      break;
    case LaunchOutcome::kStopped:
      return kExitWorkerStopped;
    case LaunchOutcome::kNotVerified:
      return kFlashSignatureInvalid;
    case LaunchOutcome::kNotStarted:
      LogStartFailure(kLogLineFlashInstallerStartFailed, "pepper flash installer",
                      platform::LastError());
      return kFlashInstallerStartFailed;
  }
  SwapStagedPlugin(directories);
  return kResultInstalled;
}

UpdateResult Install(const UpdateContext& context,
                     const VerifiedInstaller& installer,
                     const PluginDirectories& directories) {
  NamedMutex under_upgrade = MarkUnderUpgrade(context.state.real_exe_path);
  const UpdateResult result = RunInstallerAndSwap(context, installer, directories);
  under_upgrade.Release();
  return result;
}

}  // namespace

UpdateResult RunFlashUpdate(const UpdateContext& context, int set_index) {
  const UpdaterState& state = context.state;
  const std::u16string version_text = context.command_line.GetValue("pepper-version");
  context.PostNotification(kNotifyFlashCurrentVersion, version_text);
  context.PostNotification(kNotifyFlashChecking, int64_t{0});

  if (state.exe_directory.empty()) return kFlashNoExeDirectory;
  const Version current_version = ParseVersion(UTF16ToUTF8(version_text));
  if (!current_version.IsValid()) return kFlashBadCurrentVersion;
  const PluginDirectories directories = MakePluginDirectories(state.exe_directory);
  if (PathExists(directories.staging)) return kFlashUpdatePending;
  DeletePath(directories.previous, /*recursive=*/true);

  const std::u16string query_url =
      BuildFlashQueryUrl(context.command_line, set_index, state.interactive);
  TempDirectory temp_dir;
  if (!OpenTempDirectory(temp_dir)) return kFlashNoTempDirectory;
  const QueryOutcome query =
      QueryUpdateService(query_url, u"Kora-Flash-Version", u"Kora-Flash-Location");
  if (const auto refused = RefusedOffer(query, current_version, kFlashResults)) return *refused;
  context.PostNotification(kNotifyFlashFound, query.offer.offered_version);

  std::optional<VerifiedInstaller> installer;
  const UpdateResult downloaded =
      DownloadVerifiedInstaller(context, query.offer.download_url, OnFlashDownloadProgress,
                                temp_dir, kFlashResults.download, installer);
  if (downloaded != kResultInstalled) return downloaded;
  if (state.interactive) {
    const Confirmation confirmation =
        WaitForConfirmation(context, kNotifyFlashReady, installer->path(), kNotifyFlashInstalling);
    if (const auto refused = RefusedConfirmation(confirmation, kFlashResults)) return *refused;
  }
  return Install(context, *installer, directories);
}

}  // namespace updater
