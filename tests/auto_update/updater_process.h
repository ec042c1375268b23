#ifndef TESTS_AUTO_UPDATE_UPDATER_PROCESS_H_
#define TESTS_AUTO_UPDATE_UPDATER_PROCESS_H_

// Runs copies of the updater (and the kernel-object tool) in scratch
// installations, for tests that watch the program from outside.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace updater::test {

// A hung child fails its test after this long instead of stalling the run.
inline constexpr std::chrono::seconds kKillTimeout{120};

// Gives this process, and everything it starts later, a kernel-object
// directory, a loopback network and a hosts file of its own, so that
// machine-wide names and fixed ports meet no other test run. `hosts` lists
// the names to resolve to 127.0.0.1. Must run before the process starts a
// thread; later calls change nothing. False when the process may not (it is
// not root): it then shares the machine's.
bool IsolateFromMachine(const std::vector<std::string>& hosts);

// TCP connections accepted in this process's network namespace so far, by
// any listener: with IsolateFromMachine(), exactly those the updater made to
// the test's servers, connectivity checks included.
long AcceptedTcpConnections();

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

// A program in a child process with exactly `environment`; its standard
// input and output are pipes. Killed and reaped when destroyed.
class ChildProcess {
 public:
  ChildProcess(const std::string& program,
               const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment,
               const StartGate* gate = nullptr);
  ~ChildProcess();
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of output without its end; empty at the end of output.
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

// root/
//   install/              the browser's installation directory
//     <version>/          the updater's own directory
//       rivazeriduv_updater
//   tmp/                  TMPDIR of every run
class ScratchInstallation {
 public:
  // `install_dir_name` may be any file name, or several levels of them.
  explicit ScratchInstallation(const std::string& install_dir_name = "install");
  ~ScratchInstallation();
  ScratchInstallation(const ScratchInstallation&) = delete;
  ScratchInstallation& operator=(const ScratchInstallation&) = delete;

  // The shipped build of the updater.
  static std::string UpdaterBinary();

  const std::filesystem::path& root() const { return root_; }
  const std::filesystem::path& install_dir() const { return install_dir_; }
  const std::filesystem::path& updater_dir() const { return updater_dir_; }
  const std::filesystem::path& updater_path() const { return updater_path_; }
  const std::filesystem::path& temp_dir() const { return temp_dir_; }

  // The environment of a run: TMPDIR and the sanitizers' options only.
  std::vector<std::string> Environment() const;
  ChildProcess Start(const std::vector<std::string>& arguments,
                     const StartGate* gate = nullptr) const;
  ExitStatus Run(const std::vector<std::string>& arguments) const;

  // Every path below root (relative, sorted), with a size or link target,
  // to see that a run changed nothing.
  std::vector<std::string> Snapshot() const;

 private:
  std::filesystem::path root_;
  std::filesystem::path install_dir_;
  std::filesystem::path updater_dir_;
  std::filesystem::path updater_path_;
  std::filesystem::path temp_dir_;
};

// The tool that holds, sets and lists kernel objects from another process.
std::string KernelObjectToolBinary();

// Writes `contents` to `path`, creating the file.
void WriteFile(const std::filesystem::path& path, const std::string& contents);

}  // namespace updater::test

#endif  // TESTS_AUTO_UPDATE_UPDATER_PROCESS_H_
