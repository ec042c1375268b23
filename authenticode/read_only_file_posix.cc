#include <fcntl.h>
#include <sys/stat.h>

#include <string>
#include <utility>

#include "authenticode/read_only_file_platform.h"
#include "base/native_posix.h"

namespace updater::platform {

struct ReadOnlyFile::Native {
  posix::ScopedFd fd;
  struct stat opened = {};  // as it was when opened
};

namespace {

constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

bool IsSameUnchangedFile(const struct stat& one, const struct stat& other) {
  return one.st_dev == other.st_dev && one.st_ino == other.st_ino && one.st_size == other.st_size &&
         one.st_mtim.tv_sec == other.st_mtim.tv_sec && one.st_mtim.tv_nsec == other.st_mtim.tv_nsec;
}

}  // namespace

std::optional<ReadOnlyFile> ReadOnlyFile::Open(const FsPath& path) {
  std::string native;
  if (path.empty() || !posix::ToNativeText(path.value(), native)) return std::nullopt;
  return FromNative(
      std::make_unique<Native>(Native{posix::ScopedFd(open(native.c_str(), kOpenFlags))}));
}

std::optional<ReadOnlyFile> ReadOnlyFile::Open(EntryAt entry) {
  std::string name;
  if (!posix::ToNativeName(entry.name, name)) return std::nullopt;
  return FromNative(std::make_unique<Native>(Native{posix::ScopedFd(
      openat(posix::DescriptorOf(entry.directory), name.c_str(), kOpenFlags | O_NOFOLLOW))}));
}

std::optional<ReadOnlyFile> ReadOnlyFile::FromNative(std::unique_ptr<Native> native) {
  const posix::ScopedFd& fd = native->fd;
  struct stat& status = native->opened;
  if (!fd.IsValid() || fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
      status.st_size < 0) {
    return std::nullopt;
  }
  posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return ReadOnlyFile(std::move(native), static_cast<uint64_t>(status.st_size));
}

ReadOnlyFile::ReadOnlyFile(std::unique_ptr<Native> native, uint64_t size)
    : native_(std::move(native)), size_(size) {}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept = default;
ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept = default;
ReadOnlyFile::~ReadOnlyFile() = default;

bool ReadOnlyFile::IsNamedBy(const FsPath& path) const {
  std::string native;
  struct stat by_path {};
  return posix::ToNativeText(path.value(), native) && stat(native.c_str(), &by_path) == 0 &&
         IsSameUnchangedFile(by_path, native_->opened);
}

bool ReadOnlyFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
  return posix::ReadFully(native_->fd.get(), out, offset) == static_cast<ssize_t>(out.size());
}

}  // namespace updater::platform
