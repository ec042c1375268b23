// The updater's entry point: one start is one update run. Its exit code is
// the run's result.
#include "auto_update/kr_auto_update.h"

#include <array>
#include <chrono>
#include <memory>
#include <string_view>

#include "auto_update/worker_thread.h"
#include "base/at_exit.h"
#include "base/command_line.h"
#include "base/file_operations.h"
#include "base/known_paths.h"
#include "base/path_arithmetic.h"
#include "base/process_facts_platform.h"
#include "base/string_util.h"
#include "dialog/dialog_state.h"
#include "dialog/dialog_window_platform.h"
#include "dialog/notification_queue.h"
#include "kernel_objects/kernel_objects.h"
#include "text/language.h"
#include "text/localized_text.h"
#include "update_run/kernel_object_names.h"
#include "update_run/update_result.h"
#include "update_run/updater_state.h"

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
  WorkerThread worker(state, command_line, /*poster=*/nullptr);
  if (!worker.Start()) return kExitNoWorkerResult;  // as when its result cannot be read
  // Silent mode: the flows never touch the events, so they go at once.
  state.continue_event.Close();
  state.cancel_event.Close();
  const UpdateResult result = worker.Join();
  state.restart_event.Close();
  return result;
}

// How long a stopped worker may take to end before the process ends without
// it: it may be blocked in a connection attempt. A worker that had started
// an installer or package is waited for instead, so that the swap completes
// and both mutexes stay held until it has.
constexpr std::chrono::milliseconds kStoppedWorkerGrace{800};

// The dialog exists before the worker starts, so the first notification
// finds it, and the run lasts as long as the dialog does. The queue outlives
// the worker that pushes into it; the window outlives both.
UpdateResult RunWithDialog(UpdaterState& state,
                           const ParsedCommandLine& command_line,
                           NamedMutex& singleton) {
  const std::unique_ptr<platform::DialogWindow> window = platform::DialogWindow::Open();
  // Without its dialog an interactive run could not ask before installing.
  if (!window) return kExitNoDialog;
  NotificationQueue notifications(*window);
  WorkerThread worker(state, command_line, PosterInto(notifications));
  UpdateDialog dialog(*window, state,
                      {.closing = [&worker] { return worker.NoteDialogClosing(); },
                       .stop_worker = [&worker] { worker.Stop(); },
                       .end_message_loop = [&window] { window->EndMessageLoop(); }});
  DialogWindowEventRouter window_events(dialog, notifications);
  if (!window->Show(window_events)) return kExitNoDialog;
  if (!worker.Start()) {
    dialog.OnCommand(kCommandAbort);
    return kExitNoWorkerResult;
  }
  window->RunMessageLoop();
  if (!worker.OutlivesDialog() && !worker.WaitForEnd(kStoppedWorkerGrace)) {
    singleton.Release();
    platform::ExitProcessNow(kExitWorkerStopped);
  }
  state.continue_event.Close();
  state.cancel_event.Close();
  const UpdateResult result = worker.Join();
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
    if (state.interactive) {
      platform::ShowMessage(GetLocalizedText(kTextAlreadyRunning, state.language_index),
                            GetLocalizedText(kTextWindowTitle, state.language_index));
    }
    singleton.Release();
    return kExitAlreadyRunning;
  }
  state.continue_event = NamedEvent::Create(kContinueEventName);
  state.cancel_event = NamedEvent::Create(kCancelEventName);
  FillPaths(command_line, state);
  GetKnownPath(kExeDirectory, state.exe_directory);
  state.current_browser_version = ParseVersion(command_line.GetAsciiValue("current"));
  RemoveLegacyExecutables(state.exe_directory, state.current_browser_version);

  const UpdateResult result = state.interactive ? RunWithDialog(state, command_line, singleton)
                                                : RunWorkerToTheEnd(state, command_line);
  singleton.Release();
  return result;
}

}  // namespace

int UpdaterMain() {
  AtExitManager at_exit;
  return Run();
}

}  // namespace updater
