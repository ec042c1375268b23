#ifndef TESTS_SUPPORT_CHILD_PROCESS_H_
#define TESTS_SUPPORT_CHILD_PROCESS_H_

// A program run in a child process, for tests that watch it from outside.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace updater::test_support {

// A hung child fails its test after this long instead of stalling the run.
inline constexpr std::chrono::seconds kKillTimeout{120};

// How a child ended.
struct ExitStatus {
  bool exited = false;  // false: killed by a signal, or still running at the limit
  int code = -1;        // exit code when exited
  int signal = 0;       // the signal that ended it, if any
  bool timed_out = false;
};
std::string Describe(const ExitStatus& status);

// Every child started with the same gate waits at exec until Open(), so that
// they race as closely as processes can.
class StartGate {
 public:
  StartGate();
  ~StartGate();
  StartGate(const StartGate&) = delete;
  StartGate& operator=(const StartGate&) = delete;

  void Open();
  // In a started child, before it execs: waits until the gate opens.
  void WaitInChild() const;

 private:
  int read_fd_ = -1;
  int write_fd_ = -1;
};

struct ChildOptions {
  // The child's whole environment; this process's own when absent.
  std::optional<std::vector<std::string>> environment;
  // Standard input and output on pipes to this process; otherwise all three
  // standard streams on /dev/null.
  bool pipes = true;
  const StartGate* gate = nullptr;
  // The user and group id the program runs as.
  std::optional<uid_t> user;
};

// Killed and reaped when destroyed. Nothing but the standard streams is
// inherited. A program that cannot be started exits with 127.
class ChildProcess {
 public:
  ChildProcess(const std::string& program,
               const std::vector<std::string>& arguments,
               const ChildOptions& options = {});
  ~ChildProcess();
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of output without its end ("\n", or "\r\n" as Windows
  // programs end lines); empty at the end of output.
  std::string ReadLine();
  void CloseInput();
  void Kill();
  // Waits at most `limit`, then kills it and reports a time-out.
  ExitStatus Wait(std::chrono::milliseconds limit = kKillTimeout);
  // The status when it has ended, without waiting; exited and timed_out both
  // false while it runs.
  ExitStatus Poll();
  bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  int stdout_ = -1;
};

}  // namespace updater::test_support

#endif  // TESTS_SUPPORT_CHILD_PROCESS_H_
