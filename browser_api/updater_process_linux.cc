#include <errno.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>

#include "base/native_posix.h"
#include "browser_api/updater_process_platform.h"

namespace updater::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Where the kernel has no process descriptors (before 5.3) the wait looks
// again this often.
constexpr int kPollIntervalMs = 10;

// Sleeps until the child may have ended: its descriptor turns readable, or
// the interval passes without one; at most `limit_ms` (-1: no limit).
void SleepUntilEnded(const posix::ScopedFd& pidfd, int limit_ms) {
  if (!pidfd.IsValid()) {
    limit_ms = limit_ms < 0 ? kPollIntervalMs : std::min(limit_ms, kPollIntervalMs);
  }
  pollfd watched = {pidfd.get(), POLLIN, 0};
  poll(&watched, pidfd.IsValid() ? 1 : 0, limit_ms);
}

// The milliseconds left until `deadline`, for poll.
int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

}  // namespace

ProcessEnd WaitForProcessEnd(int64_t process, uint32_t timeout_ms, int& exit_code) {
  const pid_t child = static_cast<pid_t>(process);
  const bool forever = timeout_ms == kWaitForever;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  const posix::ScopedFd pidfd(static_cast<int>(syscall(SYS_pidfd_open, child, 0)));
  while (true) {
    int status = 0;
    const pid_t reaped = waitpid(child, &status, WNOHANG);
    if (reaped == child) {
      if (!WIFEXITED(status)) return ProcessEnd::kUnknown;
      exit_code = WEXITSTATUS(status);
      return ProcessEnd::kExited;
    }
    if (reaped < 0 && errno != EINTR) return ProcessEnd::kUnknown;
    const int remaining_ms = forever ? -1 : RemainingMs(deadline);
    if (remaining_ms == 0) return ProcessEnd::kRunning;
    SleepUntilEnded(pidfd, remaining_ms);
  }
}

}  // namespace updater::platform
