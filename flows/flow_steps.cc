#include "flows/flow_steps.h"

#include <array>
#include <optional>

#include "authenticode/installer_signature.h"
#include "base/file_operations.h"
#include "base/known_paths.h"
#include "base/path_arithmetic.h"
#include "base/string_util.h"
#include "http/http_client.h"
#include "update_run/kernel_object_names.h"
#include "update_service/update_service.h"
#include "url/download_file_name.h"

namespace updater {

bool OpenTempDirectory(TempDirectory& out) {
  if (!GetTempDirectory(out.path)) return false;
  // Nobody else can rename or replace any directory on its way from the
  // root, so the path still names the directory that was checked.
  out.handle = platform::OpenDirectory(out.path);
  return out.handle.IsValid();
}

UpdateResult DownloadVerifiedInstaller(const UpdateContext& context,
                                       const std::u16string& url,
                                       ProgressCallback on_progress,
                                       const TempDirectory& temp_dir,
                                       const DownloadResults& results,
                                       std::optional<VerifiedInstaller>& installer) {
  std::u16string name;
  FsPath path;
  {
    const ScopedProgressPoster progress(context);
    // Whatever status the server answers with, the body is saved: only the
    // signature decides whether it is used.
    HttpClient client(url, on_progress);
    client.SetAdditionalHeaders(kAcceptAnyHeader);
    if (!client.SendRequest(u"GET", /*disable_redirects=*/true)) return results.no_response;
    name = UTF8ToUTF16(DownloadFileName(url));
    if (name.empty()) return results.no_file_name;
    path = JoinPath(temp_dir.path, name);
    // The file operations refuse such a path: what was written could be
    // neither replaced nor deleted when rejected.
    if (path.size() >= kMaxPathChars) return results.write_failed;
    if (!DeleteEntryIn(temp_dir.handle, name)) return results.old_file_stays;
    if (!client.SaveResponseToFile({temp_dir.handle, name})) return results.write_failed;
  }
  installer = VerifiedInstaller::Open({temp_dir.handle, name}, path);
  if (!installer) {
    DeleteEntryIn(temp_dir.handle, name);
    return results.signature_invalid;
  }
  return kResultInstalled;
}

std::optional<UpdateResult> RefusedOffer(const QueryOutcome& query,
                                         const Version& current_version,
                                         const FlowResults& results) {
  switch (query.kind) {
    case QueryOutcome::Kind::kNoResponse:
      return results.query_no_response;
    case QueryOutcome::Kind::kBadStatus:
      return results.query_bad_status;
    case QueryOutcome::Kind::kOffer:
      break;
  }
  switch (EvaluateOffer(query.offer, current_version)) {
    case OfferVerdict::kNothingToInstall:
      return kResultNothingToInstall;
    case OfferVerdict::kNoLocation:
      return results.no_location;
    case OfferVerdict::kInstall:
      break;
  }
  return std::nullopt;
}

Confirmation WaitForConfirmation(const UpdateContext& context,
                                 NotifyCode ready_code,
                                 const FsPath& installer_path,
                                 NotifyCode installing_code,
                                 uint32_t timeout_ms) {
  const UpdaterState& state = context.state;
  // The events are machine-wide: no click made before the user saw this
  // installer, by anyone, counts.
  state.continue_event.Reset();
  state.cancel_event.Reset();
  context.PostNotification(ready_code, installer_path.value());
  const std::array<const NamedEvent*, 2> events = {&state.continue_event, &state.cancel_event};
  switch (WaitForFirstEvent(events, timeout_ms)) {
    case 0:
      state.continue_event.Reset();
      context.PostNotification(installing_code, int64_t{0});
      return Confirmation::kContinue;
    case 1:
      state.cancel_event.Reset();
      return Confirmation::kCancel;
    default:
      return Confirmation::kFailed;
  }
}

std::optional<UpdateResult> RefusedConfirmation(Confirmation confirmation,
                                                const FlowResults& results) {
  switch (confirmation) {
    case Confirmation::kContinue:
      return std::nullopt;
    case Confirmation::kCancel:
      return results.user_cancelled;
    case Confirmation::kFailed:
      break;
  }
  return results.confirmation_failed;
}

bool EventExists(std::u16string_view name) {
  return WaitableEventExists(name);
}

NamedMutex MarkUnderUpgrade(const FsPath& real_exe_path) {
  const std::u16string prefix = GetKernelObjectPrefix(real_exe_path);
  return NamedMutex::CreateOwned(KernelObjectName(prefix, kUnderUpgradeSuffix));
}

namespace {

thread_local const UpdateContext* progress_context = nullptr;
thread_local std::optional<int64_t> last_progress_posted;

// Truncates toward zero; a figure no integer can hold (never produced by a
// real download) is clamped rather than left undefined.
int64_t ProgressFigure(double progress) {
  constexpr double kLargest = 1e18;
  if (!(progress > -kLargest)) return progress < 0 ? static_cast<int64_t>(-kLargest) : 0;
  return static_cast<int64_t>(progress < kLargest ? progress : kLargest);
}

bool PostProgress(NotifyCode code, double progress) {
  if (!progress_context) return true;
  const int64_t figure = ProgressFigure(progress);
  if (figure != last_progress_posted) {
    last_progress_posted = figure;
    progress_context->PostNotification(code, figure);
  }
  return !progress_context->IsStopped();
}

}  // namespace

ScopedProgressPoster::ScopedProgressPoster(const UpdateContext& context) {
  progress_context = &context;
  last_progress_posted.reset();
}

ScopedProgressPoster::~ScopedProgressPoster() {
  progress_context = nullptr;
}

bool OnBrowserDownloadProgress(double progress) {
  return PostProgress(kNotifyBrowserProgress, progress);
}

bool OnFlashDownloadProgress(double progress) {
  return PostProgress(kNotifyFlashProgress, progress);
}

}  // namespace updater
