#ifndef FLOWS_FLOW_STEPS_H_
#define FLOWS_FLOW_STEPS_H_

#include <optional>
#include <string>

#include "authenticode/installer_signature.h"
#include "base/directory_handle_platform.h"
#include "base/fs_path.h"
#include "base/version.h"
#include "http/http_client.h"
#include "kernel_objects/kernel_objects.h"
#include "update_run/notification.h"
#include "update_run/update_context.h"
#include "update_run/update_result.h"
#include "update_service/update_service.h"

namespace updater {

// The steps both update flows take in the same order, each with its own
// result codes.

// Longest wait for the user's decision: a day.
inline constexpr uint32_t kConfirmTimeoutMs = 86400000;

struct DownloadResults {
  UpdateResult no_response;
  UpdateResult no_file_name;
  UpdateResult old_file_stays;
  UpdateResult write_failed;
  UpdateResult signature_invalid;
};

struct FlowResults {
  UpdateResult query_no_response;
  UpdateResult query_bad_status;
  UpdateResult no_location;
  DownloadResults download;
  UpdateResult user_cancelled;
  UpdateResult confirmation_failed;
};

// The result that ends a flow after its query, or none when the offer is to
// be downloaded: no answer, a bad status, nothing newer, or no location.
std::optional<UpdateResult> RefusedOffer(const QueryOutcome& query,
                                         const Version& current_version,
                                         const FlowResults& results);

// The user's temporary directory (see GetTempDirectory), held open for the
// whole flow: the download is made, checked and deleted through `handle`.
struct TempDirectory {
  FsPath path;
  platform::DirectoryHandle handle;
};

// False when the platform gives no temporary directory fit for downloads.
bool OpenTempDirectory(TempDirectory& out);

// Downloads `url` into temp_dir under the URL's file name, replacing an
// older file of that name, and keeps it only with a valid signature; tells
// `on_progress` how it advances. On success sets `installer`, held open, and
// returns kResultInstalled.
UpdateResult DownloadVerifiedInstaller(const UpdateContext& context,
                                       const std::u16string& url,
                                       ProgressCallback on_progress,
                                       const TempDirectory& temp_dir,
                                       const DownloadResults& results,
                                       std::optional<VerifiedInstaller>& installer);

enum class Confirmation { kContinue, kCancel, kFailed };

// Shows the downloaded installer to the user and waits, at most
// `timeout_ms`, for Confirm (the continue event) or the dialog going away
// (the cancel event); the continue event wins when both are set. Resets
// both events before it shows the installer, so that no earlier click
// counts, and the one that ended the wait after it; announces the
// installation on Confirm.
Confirmation WaitForConfirmation(const UpdateContext& context,
                                 NotifyCode ready_code,
                                 const FsPath& installer_path,
                                 NotifyCode installing_code,
                                 uint32_t timeout_ms = kConfirmTimeoutMs);

// The result that ends a flow when the user did not confirm, or none.
std::optional<UpdateResult> RefusedConfirmation(Confirmation confirmation,
                                                const FlowResults& results);

// Whether the browser holds the event `name`: only its existence counts.
bool EventExists(std::u16string_view name);

// Creates the "_under_upgrade" mutex of the browser at `real_exe_path`, owned
// when it did not exist yet, which tells the browser that an installation is
// under way. Whether it existed or ownership was had does not matter: nobody
// waits on it.
NamedMutex MarkUnderUpgrade(const FsPath& real_exe_path);

// HttpClient reports a download's progress through a plain function, which
// can carry no context: while one of these lives, the progress callbacks
// below post through `context`. The client calls back on the thread that
// sends, so the binding is the thread's own.
class ScopedProgressPoster {
 public:
  explicit ScopedProgressPoster(const UpdateContext& context);
  ~ScopedProgressPoster();
  ScopedProgressPoster(const ScopedProgressPoster&) = delete;
  ScopedProgressPoster& operator=(const ScopedProgressPoster&) = delete;
};

// The progress callbacks of the browser's and the plug-in's downloads: each
// posts the figure truncated toward zero as code 3 or 10 (a figure equal to
// the last one posted is not posted again: the dialog would ignore it) and
// tells the download to stop once the run was stopped. Unbound, they post
// nothing.
bool OnBrowserDownloadProgress(double progress);
bool OnFlashDownloadProgress(double progress);

}  // namespace updater

#endif  // FLOWS_FLOW_STEPS_H_
