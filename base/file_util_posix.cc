#include "base/file_util_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/path_operations.h"
#include "base/path_rules.h"
#include "base/string_util.h"

namespace updater::posix {

bool ToNativePath(const FsPath& path, std::string& native) {
  const FsPath trimmed = TrimTrailingSeparators(path, kPosixPathRules);
  std::string utf8 = UTF16ToUTF8(trimmed.value());
  if (UTF8ToUTF16(utf8) != trimmed.value()) return false;
  native = std::move(utf8);
  return true;
}

bool ToNativeName(std::u16string_view name, std::string& native) {
  const std::u16string text(name);
  std::string utf8 = UTF16ToUTF8(text);
  if (text.empty() || text == u"." || text == u".." || text.find(u'/') != std::u16string::npos ||
      text.find(u'\0') != std::u16string::npos || UTF8ToUTF16(utf8) != text) {
    errno = EINVAL;
    return false;
  }
  native = std::move(utf8);
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

bool ScopedFd::Close() {
  if (fd_ < 0) return true;
  const int fd = fd_;
  fd_ = -1;
  return close(fd) == 0;
}

}  // namespace updater::posix
