#include "http/response_file_platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/string_util.h"

namespace updater {
namespace {

constexpr mode_t kOwnerOnly = S_IRWXU;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace

bool WriteResponseFile(const FsPath& path, std::span<const uint8_t> bytes) {
  if (path.empty()) return false;
  const std::string name = UTF16ToUTF8(path.value());
  // A new file, so that nothing planted at the path (a link, a FIFO, a file
  // that someone else can still write through an open descriptor) is used.
  FileDescriptor file(
      open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kOwnerOnly));
  if (file.get() < 0) return false;
  if (fchmod(file.get(), kOwnerOnly) != 0) return false;
  return WriteAll(file.get(), bytes) && file.Close();
}

}  // namespace updater
