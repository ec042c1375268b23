#include "flows/portable_swap.h"

#include <string>

#include "base/command_line.h"
#include "base/directory_walker.h"
#include "base/file_operations.h"
#include "base/last_error_platform.h"
#include "base/logging.h"
#include "base/path_arithmetic.h"
#include "base/string_util.h"
#include "flows/flow_steps.h"
#include "flows/installer_launch.h"
#include "update_run/kernel_object_names.h"
#include "update_run/updater_log.h"

namespace updater {
namespace {

constexpr std::u16string_view kBrowserExeName = u"brelix.exe";
constexpr std::u16string_view kNewBrowserExeName = u"new_brelix.exe";
constexpr std::u16string_view kOldBrowserExeName = u"old_brelix.exe";
constexpr std::u16string_view kPortableExtractDirName = u"KR_63DA7_PORTABLE.tmp";
constexpr char kPackage[] = "portable installer";

bool BrowserIsRunning(const FsPath& real_exe_path) {
  const std::u16string prefix = GetKernelObjectPrefix(real_exe_path);
  return EventExists(KernelObjectName(prefix, kBrowserRunningSuffix));
}

// Version directories below the running version belong to browsers that
// can no longer run.
void RemoveOlderVersionDirectories(const FsPath& install_dir, const Version& current) {
  DirectoryWalker walker(install_dir, /*recursive=*/false, kWalkDirectories);
  for (FsPath entry = walker.Next(); !entry.empty(); entry = walker.Next()) {
    const std::u16string& name = walker.Entry().name;
    UPDATER_VLOG_AT(kLogLineDirectoryFound, 1) << "directory found: " << name;
    if (!walker.Entry().IsDirectory()) continue;
    // Non-ASCII names never parse: their UTF-8 bytes are no digits.
    const Version version = ParseVersion(UTF16ToUTF8(name));
    if (version.IsValid() && version.CompareTo(current) < 0) {
      DeletePath(JoinPath(install_dir, name), /*recursive=*/true);
    }
  }
}

UpdateResult CopyFailure(UpdaterLogLine line, UpdateResult result) {
  LogCopyFailure(line, -result);
  return result;
}

UpdateResult SwapWhileRunning(const FsPath& extract_dir, const FsPath& install_dir) {
  const FsPath extracted_exe = JoinPath(extract_dir, kBrowserExeName);
  if (!MovePath(extracted_exe, JoinPath(install_dir, kNewBrowserExeName))) {
    return CopyFailure(kLogLineRunningMoveNewFailed, kBrowserRunningMoveNewFailed);
  }
  if (!MoveDirectoryContents(extract_dir, install_dir)) {
    return CopyFailure(kLogLineRunningMoveFilesFailed, kBrowserRunningMoveFilesFailed);
  }
  return kResultInstalled;
}

// The installation holds a whole "brelix.exe" at every instant, the old one
// or the new: the old one stays where it is, with a second name, while the
// rest of the package moves in, and the new one replaces it last, in one
// rename.
UpdateResult SwapWhileIdle(const FsPath& extract_dir,
                           const FsPath& install_dir,
                           const FsPath& browser_exe,
                           const FsPath& old_exe) {
  if (!LinkOrCopyFile(browser_exe, old_exe)) {
    return CopyFailure(kLogLineIdleMoveOldFailed, kBrowserIdleMoveOldFailed);
  }
  const bool rest_moved = MoveDirectoryContents(extract_dir, install_dir, kBrowserExeName);
  const bool new_in_place = MovePath(JoinPath(extract_dir, kBrowserExeName), browser_exe);
  // Without the new browser the old one is still in place: its second name
  // goes.
  if (!new_in_place) DeletePath(old_exe, /*recursive=*/false);
  if (!new_in_place || !rest_moved) {
    return CopyFailure(kLogLineIdleMoveFilesFailed, kBrowserIdleMoveFilesFailed);
  }
  return kResultInstalled;
}

// A swap that an earlier updater left half-done may have left the previous
// browser only as "old_brelix.exe": it goes back before that name is freed.
void DeleteOldExecutable(const FsPath& browser_exe, const FsPath& old_exe) {
  if (!PathExists(browser_exe)) MovePath(old_exe, browser_exe);
  DeletePath(old_exe, /*recursive=*/false);
}

UpdateResult PackageStartFailure(int error) {
  LogStartFailure(kLogLinePackageStartFailed, kPackage, error);
  return kBrowserPackageStartFailed;
}

}  // namespace

UpdateResult SwapPortableFiles(const UpdateContext& context,
                               const VerifiedInstaller& package,
                               const FsPath& temp_dir,
                               const FsPath& install_dir) {
  const UpdaterState& state = context.state;
  const FsPath old_exe = JoinPath(install_dir, kOldBrowserExeName);
  DeleteOldExecutable(state.browser_exe_path, old_exe);
  RemoveOlderVersionDirectories(install_dir, state.current_browser_version);

  const FsPath extract_dir = JoinPath(temp_dir, kPortableExtractDirName);
  // Whatever an earlier run left would be moved into the installation as if
  // the package had extracted it: the package is not run beside it.
  if (!DeletePath(extract_dir, /*recursive=*/true)) {
    return PackageStartFailure(platform::LastError());
  }
  switch (LaunchAndWait(context, package, SilentExtractionCommand(package.path(), extract_dir))) {
    case LaunchOutcome::kEnded:
      break;
    case LaunchOutcome::kStopped:
      return kExitWorkerStopped;
    case LaunchOutcome::kNotVerified:
      return kBrowserSignatureInvalid;
    case LaunchOutcome::kNotStarted:
      return PackageStartFailure(platform::LastError());
  }

  if (!PathExists(JoinPath(extract_dir, kBrowserExeName))) {
    return kBrowserPackageWithoutExecutable;
  }
  // Once the package has run, its files go in whatever the dialog does: a
  // closed dialog waits for the swap.
  const bool running = BrowserIsRunning(state.real_exe_path);
  DeleteOldExecutable(state.browser_exe_path, old_exe);
  return running ? SwapWhileRunning(extract_dir, install_dir)
                 : SwapWhileIdle(extract_dir, install_dir, state.browser_exe_path, old_exe);
}

bool MoveDirectoryContents(const FsPath& from_dir,
                           const FsPath& to_dir,
                           std::u16string_view kept_back) {
  bool all_moved = true;
  DirectoryWalker walker(from_dir, /*recursive=*/false, kWalkFiles | kWalkDirectories);
  for (FsPath entry = walker.Next(); !entry.empty(); entry = walker.Next()) {
    if (walker.Entry().name == kept_back) continue;
    // A directory is moved onto to_dir itself: the rename is refused and the
    // copy-and-delete fallback merges it into the directory of its name.
    const FsPath destination =
        walker.Entry().IsDirectory() ? to_dir : JoinPath(to_dir, walker.Entry().name);
    if (!MovePath(entry, destination)) all_moved = false;
  }
  return all_moved;
}

}  // namespace updater
