#include "base/native_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>
#include <utility>

#include "base/path_arithmetic.h"
#include "base/path_rules.h"
#include "base/string_util.h"

namespace updater::posix {
namespace {

// One read(2), or pread(2) at `offset`, repeated while a signal interrupts it.
ssize_t ReadOnce(int fd, std::span<uint8_t> out, std::optional<uint64_t> offset) {
  if (offset && *offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
    errno = EINVAL;
    return -1;
  }
  for (;;) {
    const ssize_t got = offset ? pread(fd, out.data(), out.size(), static_cast<off_t>(*offset))
                               : read(fd, out.data(), out.size());
    if (got >= 0 || errno != EINTR) return got;
  }
}

}  // namespace

bool ToNativeText(std::u16string_view text, std::string& native) {
  std::string utf8 = UTF16ToUTF8(text);
  if (UTF8ToUTF16(utf8) != text) return false;
  native = std::move(utf8);
  return true;
}

bool FromNativeText(std::string_view native, std::u16string& text) {
  std::u16string utf16 = UTF8ToUTF16(native);
  if (UTF16ToUTF8(utf16) != native) return false;
  text = std::move(utf16);
  return true;
}

bool ToNativePath(const FsPath& path, std::string& native) {
  return ToNativeText(TrimTrailingSeparators(path, kPosixPathRules).value(), native);
}

bool ToNativeName(std::u16string_view name, std::string& native) {
  if (name.empty() || name == u"." || name == u".." || name.find(u'/') != name.npos ||
      name.find(u'\0') != name.npos || !ToNativeText(name, native)) {
    errno = EINVAL;
    return false;
  }
  return true;
}

int DescriptorOf(const platform::DirectoryHandle& directory) {
  return static_cast<int>(directory.native());
}

FileAttributes AttributesAt(int dir_fd, const char* name, FileId* id) {
  struct stat status;
  if (fstatat(dir_fd, name, &status, AT_SYMLINK_NOFOLLOW) != 0) return kInvalidFileAttributes;
  if (id != nullptr) *id = FileId{status.st_dev, status.st_ino};
  if (S_ISLNK(status.st_mode)) {
    struct stat target;
    const bool to_directory = fstatat(dir_fd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
    return kFileAttributeReparsePoint | (to_directory ? kFileAttributeDirectory : 0);
  }
  FileAttributes attributes = 0;
  if (S_ISDIR(status.st_mode)) attributes |= kFileAttributeDirectory;
  if ((status.st_mode & S_IWUSR) == 0) attributes |= kFileAttributeReadOnly;
  return attributes;
}

ScopedFd::~ScopedFd() {
  Close();
}

ScopedFd::ScopedFd(ScopedFd&& other) noexcept : fd_(other.Release()) {}

ScopedFd& ScopedFd::operator=(ScopedFd&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

int ScopedFd::Release() {
  return std::exchange(fd_, -1);
}

void ScopedFd::Reset(int fd) {
  Close();
  fd_ = fd;
}

bool ScopedFd::Close() {
  if (fd_ < 0) return true;
  return close(Release()) == 0;
}

ssize_t ReadFully(int fd, std::span<uint8_t> out, std::optional<uint64_t> offset) {
  size_t done = 0;
  while (done < out.size()) {
    const ssize_t got =
        ReadOnce(fd, out.subspan(done), offset ? std::optional(*offset + done) : std::nullopt);
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<ssize_t>(done);
}

bool WriteFully(int fd, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace updater::posix
