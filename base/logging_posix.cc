#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "base/logging_platform.h"
#include "base/native_posix.h"
#include "base/process_facts_platform.h"

namespace updater::platform {
namespace {

constexpr char kLogFileName[] = "debug.log";

// One descriptor per process, opened by the first message that can open it
// and kept until the process ends.
std::atomic<int> g_log_file{-1};

// Only a regular file, never through a link: a link planted where the log
// falls back (the current directory) would have the updater append to a file
// of someone else's choosing, and a FIFO would hold it.
posix::ScopedFd OpenForAppending(const std::string& path) {
  posix::ScopedFd fd(open(
      path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
  struct stat status;
  if (fd.IsValid() && (fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))) fd.Reset();
  return fd;
}

posix::ScopedFd OpenLogFile() {
  std::string executable;
  posix::ScopedFd fd;
  if (posix::ToNativeText(ReadExecutablePath().value(), executable)) {
    const size_t separator = executable.rfind('/');
    if (separator != std::string::npos) {
      fd = OpenForAppending(executable.substr(0, separator + 1) + kLogFileName);
    }
  }
  if (!fd.IsValid()) fd = OpenForAppending(kLogFileName);
  return fd;
}

// Two threads may race to open; the loser closes its descriptor.
int LogFile() {
  int fd = g_log_file.load();
  if (fd >= 0) return fd;
  posix::ScopedFd opened = OpenLogFile();
  if (!opened.IsValid()) return -1;
  if (g_log_file.compare_exchange_strong(fd, opened.get())) return opened.Release();
  return fd;
}

// O_APPEND makes each write atomic against other writers of the file; a
// line goes in one unless the system cuts it short.
void WriteWhole(int fd, std::string_view text) {
  posix::WriteFully(fd, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace

LogTime CurrentLocalTime() {
  const time_t now = time(nullptr);
  struct tm local = {};
  localtime_r(&now, &local);
  return LogTime{local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

void AppendToLogFile(std::string_view line) {
  const int fd = LogFile();
  if (fd >= 0) WriteWhole(fd, line);
}

void WriteToStandardError(std::string_view line) {
  WriteWhole(STDERR_FILENO, line);
}

}  // namespace updater::platform
