#ifndef BASE_PROCESS_LAUNCH_H_
#define BASE_PROCESS_LAUNCH_H_

#include <cstdint>

#include "base/command_line.h"

namespace updater {

struct LaunchOptions {
  bool wait = false;  // return only after the started process has ended
};

// Owns a started process, or holds none. Destroying it releases the
// platform's hold on the process without affecting the process itself.
class ProcessHandle {
 public:
  ProcessHandle() = default;
  ~ProcessHandle();
  ProcessHandle(ProcessHandle&& other) noexcept;
  ProcessHandle& operator=(ProcessHandle&& other) noexcept;
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;

  bool IsValid() const { return native_ != kNone; }
  // Blocks, without a time limit, until the process has ended.
  void Wait();

 private:
  friend ProcessHandle LaunchProcess(const ParsedCommandLine& command_line,
                                     const LaunchOptions& options);
  static constexpr int64_t kNone = -1;

  explicit ProcessHandle(int64_t native) : native_(native) {}
  void Release();

  int64_t native_ = kNone;  // the platform's identity of the process
  bool ended_ = false;      // Wait() has seen it end
};

// Starts the program that `command_line` names with its items, each reaching
// the child exactly as it was built (on Windows as the one command string
// `ToCommandString()`, which the child splits by the same rules; on POSIX as
// the argument vector itself, since a command string cannot carry every
// path), with the updater's own user, environment and current directory and
// none of its open files beyond the standard three; waits for the end when
// `options.wait`. A process that cannot be started gives an invalid handle,
// and the platform's last error (errno on POSIX) tells why.
ProcessHandle LaunchProcess(const ParsedCommandLine& command_line, const LaunchOptions& options);

}  // namespace updater

#endif  // BASE_PROCESS_LAUNCH_H_
