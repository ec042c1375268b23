#include <fcntl.h>
#include <sys/stat.h>

#include <string>
#include <utility>

#include "authenticode/read_only_file_platform.h"
#include "base/file_util_posix.h"

namespace updater::platform {

struct ReadOnlyFile::Native {
  posix::ScopedFd fd;
};

std::optional<ReadOnlyFile> ReadOnlyFile::Open(const FsPath& path) {
  std::string native;
  if (path.empty() || !posix::ToNativeText(path.value(), native)) return std::nullopt;
  posix::ScopedFd fd(open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat status {};
  if (!fd.IsValid() || fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
      status.st_size < 0) {
    return std::nullopt;
  }
  posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return ReadOnlyFile(std::make_unique<Native>(Native{std::move(fd)}),
                      static_cast<uint64_t>(status.st_size));
}

ReadOnlyFile::ReadOnlyFile(std::unique_ptr<Native> native, uint64_t size)
    : native_(std::move(native)), size_(size) {}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept = default;
ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept = default;
ReadOnlyFile::~ReadOnlyFile() = default;

bool ReadOnlyFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
  return posix::ReadFully(native_->fd.get(), out, offset) == static_cast<ssize_t>(out.size());
}

}  // namespace updater::platform
