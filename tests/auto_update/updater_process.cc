#include "tests/auto_update/updater_process.h"

#include <fcntl.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

namespace updater::test {
namespace {

namespace fs = std::filesystem;

constexpr char kUpdaterName[] = "rivazeriduv_updater";
constexpr char kUpdaterVersionDir[] = "1.0.0.0";
constexpr int kReadTimeoutMs = 30000;  // only guards against a hung test
// Files of the isolated machine live on the private tmpfs.
constexpr char kHostsFile[] = "/dev/shm/test_hosts";

bool BringUpLoopback() {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
  up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  close(fd);
  return up;
}

bool ReplaceHostsFile(const std::vector<std::string>& hosts) {
  std::string contents = "127.0.0.1 localhost\n";
  for (const std::string& host : hosts) contents += "127.0.0.1 " + host + "\n";
  WriteFile(kHostsFile, contents);
  return mount(kHostsFile, "/etc/hosts", nullptr, MS_BIND, nullptr) == 0;
}

bool Isolate(const std::vector<std::string>& hosts) {
  if (unshare(CLONE_NEWNS | CLONE_NEWNET) != 0) return false;
  // Nothing mounted here may reach the machine's namespace.
  return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         mount("tmpfs", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") == 0 &&
         BringUpLoopback() && ReplaceHostsFile(hosts);
}

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

}  // namespace

bool IsolateFromMachine(const std::vector<std::string>& hosts) {
  static const bool isolated = Isolate(hosts);
  return isolated;
}

long AcceptedTcpConnections() {
  // Two "Tcp:" lines: the counters' names, then their values.
  std::ifstream snmp("/proc/self/net/snmp");
  std::string names;
  std::string values;
  while (std::getline(snmp, names) && names.rfind("Tcp:", 0) != 0) {
  }
  std::getline(snmp, values);
  std::istringstream name_words(names);
  std::istringstream value_words(values);
  std::string name;
  std::string value;
  while (name_words >> name && value_words >> value) {
    if (name == "PassiveOpens") return std::stol(value);
  }
  return -1;
}

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
                           const std::vector<std::string>& environment,
                           const StartGate* gate) {
  int input[2];
  int output[2];
  if (pipe2(input, O_CLOEXEC) != 0) return;
  if (pipe2(output, O_CLOEXEC) != 0) {
    close(input[0]);
    close(input[1]);
    return;
  }
  std::vector<std::string> argv_texts = {program};
  argv_texts.insert(argv_texts.end(), arguments.begin(), arguments.end());
  std::vector<std::string> env_texts = environment;
  const std::vector<char*> argv = PointersTo(argv_texts);
  const std::vector<char*> envp = PointersTo(env_texts);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(input[0], STDIN_FILENO);
    dup2(output[1], STDOUT_FILENO);
    if (gate != nullptr) gate->WaitInChild();
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(input[0]);
  close(output[1]);
  stdin_ = input[1];
  stdout_ = output[0];
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
  if (waitpid(pid_, &status, WNOHANG) != pid_) return ExitStatus{};
  pid_ = -1;
  return StatusFrom(status);
}

ExitStatus ChildProcess::Wait(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
    const ExitStatus status = Poll();
    if (pid_ <= 0) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (pid_ <= 0) return ExitStatus{};
  Kill();
  int status = 0;
  waitpid(std::exchange(pid_, -1), &status, 0);
  ExitStatus result = StatusFrom(status);
  result.timed_out = true;
  return result;
}

ScratchInstallation::ScratchInstallation(const std::string& install_dir_name) {
  std::string pattern = (fs::temp_directory_path() / "updater_scratch_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return;
  root_ = pattern;
  install_dir_ = root_ / install_dir_name;
  updater_dir_ = install_dir_ / kUpdaterVersionDir;
  updater_path_ = updater_dir_ / kUpdaterName;
  temp_dir_ = root_ / "tmp";
  fs::create_directories(updater_dir_);
  fs::create_directories(temp_dir_);
  fs::copy_file(UpdaterBinary(), updater_path_);
}

ScratchInstallation::~ScratchInstallation() {
  if (root_.empty()) return;
  std::error_code ignored;
  // Tests make some entries unwritable; the clean-up may not fail on them.
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root_, ignored)) {
    if (!entry.is_symlink())
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(root_, ignored);
}

std::string ScratchInstallation::UpdaterBinary() {
  return UPDATER_EXECUTABLE;
}

std::vector<std::string> ScratchInstallation::Environment() const {
  std::vector<std::string> environment = {"TMPDIR=" + temp_dir_.string(), "PATH=/usr/bin:/bin"};
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name))
      environment.push_back(std::string(name) + "=" + value);
  }
  return environment;
}

ChildProcess ScratchInstallation::Start(const std::vector<std::string>& arguments,
                                        const StartGate* gate) const {
  return ChildProcess(updater_path_.string(), arguments, Environment(), gate);
}

ExitStatus ScratchInstallation::Run(const std::vector<std::string>& arguments) const {
  return Start(arguments).Wait();
}

std::vector<std::string> ScratchInstallation::Snapshot() const {
  std::vector<std::string> entries;
  std::error_code ignored;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root_, ignored)) {
    std::string line = fs::relative(entry.path(), root_).string();
    if (entry.is_symlink()) {
      line += " -> " + fs::read_symlink(entry.path(), ignored).string();
    } else if (entry.is_regular_file()) {
      line += " " + std::to_string(entry.file_size(ignored));
    } else {
      line += "/";
    }
    entries.push_back(line);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::string KernelObjectToolBinary() {
  return KERNEL_OBJECT_TOOL;
}

void WriteFile(const std::filesystem::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

}  // namespace updater::test
