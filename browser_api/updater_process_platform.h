#ifndef BROWSER_API_UPDATER_PROCESS_PLATFORM_H_
#define BROWSER_API_UPDATER_PROCESS_PLATFORM_H_

// The wait for a started updater's end and exit code, on top of the process
// launching of base/process_launch_platform.h.

#include <cstdint>

namespace updater::platform {

enum class ProcessEnd {
  kExited,   // with an exit code
  kRunning,  // the time-out passed first
  kUnknown,  // ended without an exit code, or gone beyond telling
};

inline constexpr uint32_t kWaitForever = 0xFFFFFFFF;

// Waits at most `timeout_ms` (kWaitForever: no limit) for the process that
// StartProcess started to end. After kExited or kUnknown the process is
// gone: ask no more and release it as ended.
ProcessEnd WaitForProcessEnd(int64_t process, uint32_t timeout_ms, int& exit_code);

}  // namespace updater::platform

#endif  // BROWSER_API_UPDATER_PROCESS_PLATFORM_H_
