#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "base/directory_handle_platform.h"
#include "base/native_posix.h"

namespace updater::platform {
namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

bool IsFile(int fd, const FileId& id) {
  struct stat status;
  return fstat(fd, &status) == 0 && FileId{status.st_dev, status.st_ino} == id;
}

}  // namespace

DirectoryHandle::~DirectoryHandle() {
  if (IsValid()) close(posix::DescriptorOf(*this));
}

DirectoryHandle::DirectoryHandle(DirectoryHandle&& other) noexcept
    : native_(std::exchange(other.native_, kInvalid)) {}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept {
  if (this != &other) {
    if (IsValid()) close(posix::DescriptorOf(*this));
    native_ = std::exchange(other.native_, kInvalid);
  }
  return *this;
}

DirectoryHandle OpenDirectory(const FsPath& path) {
  std::string native;
  if (!posix::ToNativePath(path, native)) {
    errno = ENOENT;
    return DirectoryHandle();
  }
  const int fd = open(native.c_str(), kDirectoryFlags);
  return fd < 0 ? DirectoryHandle() : DirectoryHandle(fd);
}

DirectoryHandle OpenDirectory(EntryAt entry, const FileId* expected) {
  std::string name;
  if (!posix::ToNativeName(entry.name, name)) return DirectoryHandle();
  DirectoryHandle opened(
      openat(posix::DescriptorOf(entry.directory), name.c_str(), kDirectoryFlags | O_NOFOLLOW));
  if (opened.IsValid() && expected != nullptr && !IsFile(posix::DescriptorOf(opened), *expected)) {
    opened = DirectoryHandle();
    errno = ENOENT;  // what was inspected is gone; another directory took its name
  }
  return opened;
}

}  // namespace updater::platform
