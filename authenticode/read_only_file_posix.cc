#include "authenticode/read_only_file_platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <string>
#include <utility>

#include "base/string_util.h"

namespace updater {

std::optional<ReadOnlyFile> ReadOnlyFile::Open(const FsPath& path) {
  if (path.empty()) return std::nullopt;
  const std::string native = UTF16ToUTF8(path.value());
  const int descriptor = open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (descriptor < 0) return std::nullopt;
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0) {
    close(descriptor);
    return std::nullopt;
  }
  posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
  return ReadOnlyFile(descriptor, static_cast<uint64_t>(status.st_size));
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), size_(other.size_) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  std::swap(descriptor_, other.descriptor_);
  std::swap(size_, other.size_);
  return *this;
}

ReadOnlyFile::~ReadOnlyFile() {
  if (descriptor_ >= 0) close(descriptor_);
}

bool ReadOnlyFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
  while (!out.empty()) {
    if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return false;
    const ssize_t got = pread(descriptor_, out.data(), out.size(), static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out = out.subspan(static_cast<size_t>(got));
    offset += static_cast<uint64_t>(got);
  }
  return true;
}

}  // namespace updater
