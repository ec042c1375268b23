#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "base/executable_path_platform.h"
#include "base/logging_platform.h"
#include "base/string_util.h"

namespace updater {
namespace {

constexpr char kLogFileName[] = "debug.log";

// One descriptor per process, opened by the first message that can open it
// and kept until the process ends.
std::atomic<int> g_log_file{-1};

// Only a regular file, never through a link: a link planted where the log
// falls back (the current directory) would have the updater append to a file
// of someone else's choosing, and a FIFO would hold it.
int OpenForAppending(const std::string& path) {
  const int fd =
      open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  struct stat status;
  if (fd >= 0 && (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
    close(fd);
    return -1;
  }
  return fd;
}

int OpenLogFile() {
  const std::string executable = UTF16ToUTF8(ReadExecutablePath().value());
  const size_t separator = executable.rfind('/');
  int fd = -1;
  if (separator != std::string::npos) {
    fd = OpenForAppending(executable.substr(0, separator + 1) + kLogFileName);
  }
  if (fd < 0) fd = OpenForAppending(kLogFileName);
  return fd;
}

// Two threads may race to open; the loser closes its descriptor.
int LogFile() {
  int fd = g_log_file.load();
  if (fd >= 0) return fd;
  const int opened = OpenLogFile();
  if (opened < 0) return -1;
  if (g_log_file.compare_exchange_strong(fd, opened)) return opened;
  close(opened);
  return fd;
}

void WriteWhole(int fd, std::string_view text) {
  // O_APPEND makes the one write atomic against other writers of the file.
  (void)!write(fd, text.data(), text.size());
}

}  // namespace

int GetLastErrorCode() {
  return errno;
}

void SetLastErrorCode(int code) {
  errno = code;
}

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

}  // namespace updater
