#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <utility>

extern char** environ;

namespace updater::test_support {
namespace {

constexpr int kReadTimeoutMs = 30000;  // only guards against a hung test
constexpr auto kPollInterval = std::chrono::milliseconds(2);

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

ExitStatus StatusFrom(int status) {
  ExitStatus result;
  result.exited = WIFEXITED(status);
  result.code = result.exited ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return result;
}

// Both ends of a pipe, closed on exec.
struct Pipe {
  Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    read_end = fds[0];
    write_end = fds[1];
  }
  ~Pipe() {
    for (int fd : {read_end, write_end}) {
      if (fd >= 0) close(fd);
    }
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  bool IsValid() const { return read_end >= 0; }

  int read_end = -1;
  int write_end = -1;
};

// In the forked child: only async-signal-safe calls from here to exec.
[[noreturn]] void ExecInChild(const char* program,
                              char* const* argv,
                              char* const* envp,
                              const ChildOptions& options,
                              const Pipe& input,
                              const Pipe& output) {
  if (options.pipes) {
    dup2(input.read_end, STDIN_FILENO);
    dup2(output.write_end, STDOUT_FILENO);
  } else {
    const int null = open("/dev/null", O_RDWR);
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) dup2(null, fd);
  }
  if (options.gate != nullptr) options.gate->WaitInChild();
  if (options.user && (setgid(*options.user) != 0 || setuid(*options.user) != 0)) _exit(127);
  // Descriptors this process opened without close-on-exec (servers' sockets)
  // stay out of the child.
  close_range(STDERR_FILENO + 1, ~0U, 0);
  execve(program, argv, envp);
  _exit(127);
}

}  // namespace

std::string Describe(const ExitStatus& status) {
  if (status.timed_out) return "still running at the kill time-out";
  if (status.exited) return "exit code " + std::to_string(status.code);
  return "signal " + std::to_string(status.signal);
}

StartGate::StartGate() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) == 0) {
    read_fd_ = fds[0];
    write_fd_ = fds[1];
  }
}

StartGate::~StartGate() {
  Open();
  if (read_fd_ >= 0) close(read_fd_);
}

void StartGate::WaitInChild() const {
  // The child's own copy of the write end would keep the gate shut.
  close(write_fd_);
  char byte;
  while (read(read_fd_, &byte, 1) > 0) {
  }
}

void StartGate::Open() {
  if (write_fd_ >= 0) close(std::exchange(write_fd_, -1));
}

ChildProcess::ChildProcess(const std::string& program,
                           const std::vector<std::string>& arguments,
                           const ChildOptions& options) {
  Pipe input;
  Pipe output;
  if (options.pipes && (!input.IsValid() || !output.IsValid())) return;
  std::vector<std::string> argv_texts = {program};
  argv_texts.insert(argv_texts.end(), arguments.begin(), arguments.end());
  std::vector<std::string> env_texts = options.environment.value_or(std::vector<std::string>());
  const std::vector<char*> argv = PointersTo(argv_texts);
  const std::vector<char*> envp = PointersTo(env_texts);
  pid_ = fork();
  if (pid_ == 0) {
    ExecInChild(program.c_str(), argv.data(), options.environment ? envp.data() : environ, options,
                input, output);
  }
  if (pid_ < 0 || !options.pipes) return;
  stdin_ = std::exchange(input.write_end, -1);
  stdout_ = std::exchange(output.read_end, -1);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    Kill();
    Wait();
  }
  CloseInput();
  if (stdout_ >= 0) close(stdout_);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      stdin_(std::exchange(other.stdin_, -1)),
      stdout_(std::exchange(other.stdout_, -1)) {}

std::string ChildProcess::ReadLine() {
  std::string line;
  char c;
  pollfd readable = {stdout_, POLLIN, 0};
  while (poll(&readable, 1, kReadTimeoutMs) == 1 && read(stdout_, &c, 1) == 1 && c != '\n') {
    line += c;
  }
  if (line.ends_with('\r')) line.pop_back();
  return line;
}

void ChildProcess::CloseInput() {
  if (stdin_ >= 0) close(std::exchange(stdin_, -1));
}

void ChildProcess::Kill() {
  if (pid_ > 0) kill(pid_, SIGKILL);
}

ExitStatus ChildProcess::Poll() {
  if (pid_ <= 0) return ExitStatus{};
  int status = 0;
  const pid_t ended = waitpid(pid_, &status, WNOHANG);
  if (ended == 0 || (ended < 0 && errno == EINTR)) return ExitStatus{};
  pid_ = -1;
  // Not ours to wait for (any more): ended, but how is unknown.
  return ended < 0 ? ExitStatus{} : StatusFrom(status);
}

ExitStatus ChildProcess::Wait(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
    const ExitStatus status = Poll();
    if (pid_ <= 0) return status;
    std::this_thread::sleep_for(kPollInterval);
  }
  if (pid_ <= 0) return ExitStatus{};
  Kill();
  int status = 0;
  waitpid(std::exchange(pid_, -1), &status, 0);
  ExitStatus result = StatusFrom(status);
  result.timed_out = true;
  return result;
}

}  // namespace updater::test_support
