#include "auto_update/flow_steps.h"

#include <array>

#include "auto_update/installer_signature.h"
#include "auto_update/kernel_objects.h"
#include "auto_update/update_service.h"
#include "auto_update/updater_state.h"
#include "base/file_operations.h"
#include "base/path_operations.h"
#include "base/string_util.h"
#include "url/download_file_name.h"

namespace updater {

UpdateResult DownloadVerifiedInstaller(const std::u16string& url,
                                       ProgressCallback progress,
                                       const FsPath& temp_dir,
                                       const DownloadResults& results,
                                       FsPath& path) {
  {
    // Whatever status the server answers with, the body is saved: only the
    // signature decides whether it is used.
    HttpClient client(url, progress);
    client.SetAdditionalHeaders(kAcceptAnyHeader);
    if (!client.SendRequest(u"GET", /*disable_redirects=*/true)) return results.no_response;
    const std::string name = DownloadFileName(url);
    if (name.empty()) return results.no_file_name;
    path = JoinPath(temp_dir, UTF8ToUTF16(name));
    DeletePath(path, /*recursive=*/false);
    if (PathExists(path)) return results.old_file_stays;
    if (!client.SaveResponseToFile(path)) return results.write_failed;
  }
  if (!VerifyInstallerSignature(path)) {
    DeletePath(path, /*recursive=*/false);
    return results.signature_invalid;
  }
  return kResultInstalled;
}

Confirmation WaitForConfirmation(NotifyCode ready_code,
                                 const FsPath& installer_path,
                                 NotifyCode installing_code,
                                 uint32_t timeout_ms) {
  UpdaterState& state = GetUpdaterState();
  PostNotification(ready_code, installer_path.value());
  const std::array<const NamedEvent*, 2> events = {&state.continue_event, &state.cancel_event};
  switch (WaitForFirstEvent(events, timeout_ms)) {
    case 0:
      state.continue_event.Reset();
      PostNotification(installing_code, int64_t{0});
      return Confirmation::kContinue;
    case 1:
      state.cancel_event.Reset();
      return Confirmation::kCancel;
    default:
      return Confirmation::kFailed;
  }
}

namespace {

// Truncates toward zero; a figure no integer can hold (never produced by a
// real download) is clamped rather than left undefined.
int64_t ProgressFigure(double progress) {
  constexpr double kLargest = 1e18;
  if (!(progress > -kLargest)) return progress < 0 ? static_cast<int64_t>(-kLargest) : 0;
  return static_cast<int64_t>(progress < kLargest ? progress : kLargest);
}

}  // namespace

bool OnBrowserDownloadProgress(double progress) {
  PostNotification(kNotifyBrowserProgress, ProgressFigure(progress));
  return true;
}

bool OnFlashDownloadProgress(double progress) {
  PostNotification(kNotifyFlashProgress, ProgressFigure(progress));
  return true;
}

}  // namespace updater
