#include "browser_api/updater_browser.h"

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/command_line.h"
#include "base/fs_path.h"
#include "base/process_launch_platform.h"
#include "base/string_util.h"
#include "browser_api/updater_process_platform.h"
#include "kernel_objects/kernel_objects.h"
#include "update_run/kernel_object_names.h"
#include "update_run/update_result_table.h"

namespace {

using updater::NamedEvent;

// Indexed by RzUpdaterEvent.
constexpr std::array<std::u16string_view, 4> kEventSuffixes = {
    updater::kBrowserRunningSuffix, updater::kAbortInstallerSuffix, updater::kAbortFlashSuffix,
    updater::kNeedRestartSuffix};

// Nothing thrown (only std::bad_alloc can be) crosses into the caller's C:
// the call gives its failure value instead.
template <typename Result, typename Body>
Result Guarded(Result failure, Body body) {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

// False for NULL and for text that is not UTF-8, which would reach the
// updater or name an object as another text than the browser meant.
bool FromUtf8(const char* text, std::u16string& converted) {
  if (text == nullptr) return false;
  converted = updater::UTF8ToUTF16(text);
  return updater::UTF16ToUTF8(converted) == text;
}

static_assert(static_cast<int>(updater::ResultSource::kRun) == kRzUpdaterRun &&
              static_cast<int>(updater::ResultSource::kBrowserFlow) == kRzUpdaterBrowserFlow &&
              static_cast<int>(updater::ResultSource::kFlashFlow) == kRzUpdaterPluginFlow);

static_assert(RZ_UPDATER_WAIT_FOREVER == updater::platform::kWaitForever);

bool IsKnownEvent(RzUpdaterEvent event) {
  return static_cast<unsigned>(event) < kEventSuffixes.size();
}

}  // namespace

struct RzUpdaterInstallation {
  updater::FsPath real_exe_path;
  std::u16string prefix;
  std::array<NamedEvent, kEventSuffixes.size()> events;

  std::u16string NameOf(std::u16string_view suffix) const {
    return updater::KernelObjectName(prefix, suffix);
  }
  const NamedEvent* HeldEvent(RzUpdaterEvent event) const {
    return IsKnownEvent(event) && events[event].IsValid() ? &events[event] : nullptr;
  }
};

struct RzUpdaterProcess {
  int64_t native = 0;
  bool ended = false;
  RzUpdaterWaitResult end = kRzUpdaterWaitFailed;
  int exit_code = 0;
};

RzUpdaterInstallation* RzUpdaterOpenInstallation(const char* real_exe_path) {
  return Guarded<RzUpdaterInstallation*>(nullptr, [&]() -> RzUpdaterInstallation* {
    std::u16string path;
    // An empty path would name the updater's own objects, not the browser's.
    if (!FromUtf8(real_exe_path, path) || path.empty()) return nullptr;
    auto* installation = new RzUpdaterInstallation;
    installation->real_exe_path = updater::FsPath(path);
    installation->prefix = updater::GetKernelObjectPrefix(installation->real_exe_path);
    return installation;
  });
}

void RzUpdaterCloseInstallation(RzUpdaterInstallation* installation) {
  delete installation;
}

int RzUpdaterHoldEvent(RzUpdaterInstallation* installation, RzUpdaterEvent event) {
  if (installation == nullptr || !IsKnownEvent(event)) return 0;
  NamedEvent& held = installation->events[event];
  if (held.IsValid()) return 1;
  return Guarded(0, [&] {
    held = NamedEvent::Create(installation->NameOf(kEventSuffixes[event]));
    return held.IsValid() ? 1 : 0;
  });
}

void RzUpdaterReleaseEvent(RzUpdaterInstallation* installation, RzUpdaterEvent event) {
  if (installation != nullptr && IsKnownEvent(event)) installation->events[event].Close();
}

int RzUpdaterIsEventSet(const RzUpdaterInstallation* installation, RzUpdaterEvent event) {
  const NamedEvent* held = installation ? installation->HeldEvent(event) : nullptr;
  return held != nullptr && held->IsSignaled() ? 1 : 0;
}

int RzUpdaterResetEvent(RzUpdaterInstallation* installation, RzUpdaterEvent event) {
  const NamedEvent* held = installation ? installation->HeldEvent(event) : nullptr;
  return held != nullptr && held->Reset() ? 1 : 0;
}

int RzUpdaterIsUnderUpgrade(const RzUpdaterInstallation* installation) {
  if (installation == nullptr) return 0;
  return Guarded(0, [&] {
    return updater::KernelObjectExists(installation->NameOf(updater::kUnderUpgradeSuffix)) ? 1 : 0;
  });
}

namespace {

// Adds `name`=`value` unless the value is NULL or empty; false when it is
// not UTF-8.
bool AddTextSwitch(updater::ParsedCommandLine& command_line, const char* name, const char* value) {
  if (value == nullptr || *value == '\0') return true;
  std::u16string converted;
  if (!FromUtf8(value, converted)) return false;
  command_line.AddSwitch(name, converted);
  return true;
}

void AddFlagSwitch(updater::ParsedCommandLine& command_line, const char* name, int present) {
  if (present) command_line.AddSwitch(name, u"");
}

// The updater's command line as the browser passes it; false when a text is
// not UTF-8.
bool BuildCommandLine(const RzUpdaterInstallation& installation,
                      const RzUpdaterSwitches& switches,
                      updater::ParsedCommandLine& command_line) {
  command_line.AddSwitch("real-exe-path", installation.real_exe_path.value());
  AddFlagSwitch(command_line, "kr-check-update", switches.interactive);
  AddFlagSwitch(command_line, "portable", switches.portable);
  AddFlagSwitch(command_line, "64bit", switches.plugin_64bit);
  return AddTextSwitch(command_line, "current", switches.current_version) &&
         AddTextSwitch(command_line, "pepper-version", switches.plugin_version) &&
         AddTextSwitch(command_line, "langid", switches.language);
}

}  // namespace

RzUpdaterProcess* RzUpdaterStart(const RzUpdaterInstallation* installation,
                                 const char* updater_path,
                                 const RzUpdaterSwitches* switches) {
  if (installation == nullptr || switches == nullptr) return nullptr;
  return Guarded<RzUpdaterProcess*>(nullptr, [&]() -> RzUpdaterProcess* {
    std::u16string program;
    if (!FromUtf8(updater_path, program) || program.empty()) return nullptr;
    updater::ParsedCommandLine command_line(program);
    if (!BuildCommandLine(*installation, *switches, command_line)) return nullptr;
    auto* process = new RzUpdaterProcess;
    if (!updater::platform::StartProcess(command_line, process->native)) {
      delete process;
      return nullptr;
    }
    return process;
  });
}

RzUpdaterWaitResult RzUpdaterWait(RzUpdaterProcess* process, uint32_t timeout_ms, int* exit_code) {
  if (process == nullptr) return kRzUpdaterWaitFailed;
  if (!process->ended) {
    using updater::platform::ProcessEnd;
    const ProcessEnd end =
        updater::platform::WaitForProcessEnd(process->native, timeout_ms, process->exit_code);
    if (end == ProcessEnd::kRunning) return kRzUpdaterStillRunning;
    process->ended = true;
    process->end = end == ProcessEnd::kExited ? kRzUpdaterEnded : kRzUpdaterWaitFailed;
  }
  if (exit_code != nullptr && process->end == kRzUpdaterEnded) *exit_code = process->exit_code;
  return process->end;
}

void RzUpdaterReleaseProcess(RzUpdaterProcess* process) {
  if (process == nullptr) return;
  updater::platform::ReleaseProcess(process->native, process->ended);
  delete process;
}

namespace {

// The rows of update_result_table.h in the C form, made once.
const std::vector<RzUpdaterExitCodeInfo>& ExitCodeRows() {
  static const std::vector<RzUpdaterExitCodeInfo> rows = [] {
    std::vector<RzUpdaterExitCodeInfo> converted;
    for (const updater::UpdateResultRow& row : updater::UpdateResultTable()) {
      converted.push_back({row.code, static_cast<RzUpdaterSource>(row.source), row.name,
                           row.description, row.is_failure ? 1 : 0});
    }
    return converted;
  }();
  return rows;
}

}  // namespace

const RzUpdaterExitCodeInfo* RzUpdaterDescribeExitCode(int exit_code, RzUpdaterSource source) {
  return Guarded<const RzUpdaterExitCodeInfo*>(nullptr, [&]() -> const RzUpdaterExitCodeInfo* {
    const std::span<const updater::UpdateResultRow> table = updater::UpdateResultTable();
    const updater::UpdateResultRow* row =
        updater::FindUpdateResult(exit_code, static_cast<updater::ResultSource>(source));
    return row == nullptr ? nullptr : &ExitCodeRows()[static_cast<size_t>(row - table.data())];
  });
}

size_t RzUpdaterExitCodeCount(void) {
  return updater::UpdateResultTable().size();
}

const RzUpdaterExitCodeInfo* RzUpdaterExitCodeAt(size_t index) {
  if (index >= RzUpdaterExitCodeCount()) return nullptr;
  return Guarded<const RzUpdaterExitCodeInfo*>(nullptr, [&] { return &ExitCodeRows()[index]; });
}
