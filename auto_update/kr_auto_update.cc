// The updater's entry point: one start is one update run. Its exit code is
// the run's result.
#include <array>
#include <string_view>
#include <system_error>
#include <thread>

#include "auto_update/kernel_object_names.h"
#include "auto_update/language.h"
#include "auto_update/update_context.h"
#include "auto_update/update_result.h"
#include "auto_update/update_worker.h"
#include "auto_update/updater_state.h"
#include "base/at_exit.h"
#include "base/command_line.h"
#include "base/file_operations.h"
#include "base/known_paths.h"
#include "base/path_operations.h"
#include "base/string_util.h"
#include "kernel_objects/kernel_objects.h"

namespace updater {
namespace {

constexpr std::u16string_view kBrowserExeName = u"brelix.exe";
constexpr std::string_view kLegacyCleanupVersion = "1.3.7.17";
constexpr std::array<std::u16string_view, 3> kLegacyExecutables = {
    u"rivazeriduv.exe", u"old_rivazeriduv.exe", u"new_rivazeriduv.exe"};

void FillPaths(const ParsedCommandLine& command_line, UpdaterState& state) {
  state.real_exe_path = command_line.GetPathValue("real-exe-path");
  state.browser_exe_path = JoinPath(ParentDir(state.real_exe_path), kBrowserExeName);
  const std::u16string prefix = GetKernelObjectPrefix(state.real_exe_path);
  state.abort_installer_event_name = KernelObjectName(prefix, kAbortInstallerSuffix);
  state.abort_flash_event_name = KernelObjectName(prefix, kAbortFlashSuffix);
}

// Executables of very old browsers lie one level above the updater's own
// directory. When that directory is unknown nothing is deleted, rather than
// guessing relative to the current directory.
void RemoveLegacyExecutables(const FsPath& exe_directory, const Version& current) {
  if (exe_directory.empty() || !current.IsValid() ||
      current.CompareTo(ParseVersion(kLegacyCleanupVersion)) != 1) {
    return;
  }
  const FsPath install_dir = ParentDir(exe_directory);
  for (std::u16string_view name : kLegacyExecutables) {
    DeletePath(JoinPath(install_dir, name), /*recursive=*/false);
  }
}

// A silent run: no dialog receives notifications.
UpdateResult RunWorkerToTheEnd(UpdaterState& state, const ParsedCommandLine& command_line) {
  const UpdateContext context{state, command_line, /*poster=*/nullptr};
  UpdateResult result = kExitNoWorkerResult;
  std::thread worker;
  try {
    worker = std::thread([&result, &context] { result = UpdateWorker(context); });
  } catch (const std::system_error&) {
    return kExitNoWorkerResult;  // as when the worker's result cannot be read
  }
  // Silent mode: the flows never touch the events, so they go at once.
  state.continue_event.Close();
  state.cancel_event.Close();
  worker.join();
  state.restart_event.Close();
  return result;
}

UpdateResult Run() {
  const ParsedCommandLine& command_line = CurrentProcessCommandLine();
  UpdaterState state;
  state.interactive = command_line.IsPresent("kr-check-update");
  state.language_index = LanguageIndexFromTag(command_line.GetAsciiValue("langid"));

  NamedMutex singleton = NamedMutex::Create(kSingletonMutexName);
  if (singleton.TryAcquire() != MutexAcquireResult::kAcquired) {
    singleton.Release();
    return kExitAlreadyRunning;
  }
  state.continue_event = NamedEvent::Create(kContinueEventName);
  state.cancel_event = NamedEvent::Create(kCancelEventName);
  FillPaths(command_line, state);
  GetKnownPath(kExeDirectory, state.exe_directory);
  state.current_browser_version = ParseVersion(command_line.GetAsciiValue("current"));
  RemoveLegacyExecutables(state.exe_directory, state.current_browser_version);

  // Without its dialog an interactive run could not ask before installing.
  const UpdateResult result =
      state.interactive ? kExitNoDialog : RunWorkerToTheEnd(state, command_line);
  singleton.Release();
  return result;
}

}  // namespace
}  // namespace updater

int main() {
  updater::AtExitManager at_exit;
  return updater::Run();
}
