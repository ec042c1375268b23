#include "base/process_launch.h"

#include <utility>

#include "base/process_launch_platform.h"

namespace updater {

ProcessHandle::~ProcessHandle() {
  Release();
}

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept
    : native_(std::exchange(other.native_, kNone)), ended_(other.ended_) {}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
  if (this != &other) {
    Release();
    native_ = std::exchange(other.native_, kNone);
    ended_ = other.ended_;
  }
  return *this;
}

void ProcessHandle::Wait() {
  if (!IsValid() || ended_) return;
  platform::WaitForProcess(native_);
  ended_ = true;
}

void ProcessHandle::Release() {
  if (IsValid()) platform::ReleaseProcess(std::exchange(native_, kNone), ended_);
}

ProcessHandle LaunchProcess(const ParsedCommandLine& command_line, const LaunchOptions& options) {
  int64_t started = 0;
  if (!platform::StartProcess(command_line, started)) return ProcessHandle();
  ProcessHandle process(started);
  if (options.wait) process.Wait();
  return process;
}

}  // namespace updater
