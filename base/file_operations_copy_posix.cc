#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "base/file_operations_platform.h"
#include "base/native_posix.h"

namespace updater::platform {
namespace {

using posix::DescriptorOf;
using posix::ScopedFd;

constexpr size_t kCopyChunkBytes = 1 << 16;
constexpr mode_t kCopiedModeBits = 0777;  // never set-user-ID and the like
constexpr char kTemporaryPrefix[] = ".copy-";
constexpr char kTemporaryLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kTemporaryRandomChars = 8;
constexpr int kTemporaryAttempts = 100;

bool CopyContents(int from_fd, int to_fd) {
  std::vector<uint8_t> buffer(kCopyChunkBytes);
  for (;;) {
    const ssize_t got = posix::ReadFully(from_fd, buffer);
    if (got <= 0) return got == 0;
    if (!posix::WriteFully(to_fd, std::span(buffer).first(static_cast<size_t>(got)))) return false;
  }
}

std::string TemporaryName() {
  static thread_local std::mt19937_64 generator{std::random_device()()};
  std::uniform_int_distribution<size_t> letter(0, sizeof(kTemporaryLetters) - 2);
  std::string name = kTemporaryPrefix;
  for (size_t i = 0; i < kTemporaryRandomChars; ++i) name += kTemporaryLetters[letter(generator)];
  return name;
}

// Creates a fresh entry under a name of its own in `dir_fd` with `create`,
// which fails with EEXIST when the name is taken; the name goes to
// `temporary`.
bool CreateFresh(int dir_fd,
                 const std::function<bool(int, const char*)>& create,
                 std::string& temporary) {
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    temporary = TemporaryName();
    if (create(dir_fd, temporary.c_str())) return true;
    if (errno != EEXIST) return false;
  }
  return false;
}

// Renames the fresh entry onto `to`, which is then either its old self or
// the whole new entry; the fresh entry goes when that fails.
bool ReplaceWith(int dir_fd, const std::string& temporary, const std::string& to) {
  if (renameat(dir_fd, temporary.c_str(), dir_fd, to.c_str()) == 0) return true;
  const int error = errno;
  unlinkat(dir_fd, temporary.c_str(), 0);
  errno = error;
  return false;
}

// The data, permission bits and times of the open file `source` into `to_fd`.
bool CopyOpenFile(int from_fd, const struct stat& source, mode_t mode, int to_fd) {
  const struct timespec times[2] = {source.st_atim, source.st_mtim};
  return CopyContents(from_fd, to_fd) && fchmod(to_fd, mode) == 0 && futimens(to_fd, times) == 0;
}

bool ToNativeNames(EntryAt from, EntryAt to, std::string& from_name, std::string& to_name) {
  return posix::ToNativeName(from.name, from_name) && posix::ToNativeName(to.name, to_name);
}

}  // namespace

bool CopyFileAt(EntryAt from, EntryAt to, bool writable) {
  std::string from_name;
  std::string to_name;
  if (!ToNativeNames(from, to, from_name, to_name)) return false;
  // Not blocking, so that a named pipe is refused instead of waited on.
  ScopedFd source(openat(DescriptorOf(from.directory), from_name.c_str(),
                         O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (!source.IsValid()) return false;
  struct stat status;
  if (fstat(source.get(), &status) != 0) return false;
  if (!S_ISREG(status.st_mode)) {
    errno = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  const mode_t mode = (status.st_mode & kCopiedModeBits) | (writable ? S_IWUSR : 0);
  const int to_fd = DescriptorOf(to.directory);
  int target_fd = -1;
  std::string temporary;
  const auto create = [&target_fd](int dir_fd, const char* name) {
    target_fd = openat(dir_fd, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    return target_fd >= 0;
  };
  if (!CreateFresh(to_fd, create, temporary)) return false;
  ScopedFd target(target_fd);
  if (CopyOpenFile(source.get(), status, mode, target.get()) && target.Close()) {
    return ReplaceWith(to_fd, temporary, to_name);
  }
  const int error = errno;
  target.Close();
  unlinkat(to_fd, temporary.c_str(), 0);
  errno = error;
  return false;
}

bool LinkFileAt(EntryAt from, EntryAt to) {
  std::string from_name;
  std::string to_name;
  if (!ToNativeNames(from, to, from_name, to_name)) return false;
  const int from_fd = DescriptorOf(from.directory);
  const int to_fd = DescriptorOf(to.directory);
  std::string temporary;
  // Without AT_SYMLINK_FOLLOW a link is linked as itself.
  const auto create = [from_fd, &from_name](int dir_fd, const char* name) {
    return linkat(from_fd, from_name.c_str(), dir_fd, name, 0) == 0;
  };
  return CreateFresh(to_fd, create, temporary) && ReplaceWith(to_fd, temporary, to_name);
}

bool CopyLink(EntryAt from, EntryAt to) {
  std::string from_name;
  std::string to_name;
  if (!ToNativeNames(from, to, from_name, to_name)) return false;
  char text[PATH_MAX];
  const ssize_t length =
      readlinkat(DescriptorOf(from.directory), from_name.c_str(), text, sizeof(text));
  if (length < 0) return false;
  if (static_cast<size_t>(length) == sizeof(text)) {
    errno = ENAMETOOLONG;
    return false;
  }
  const std::string target(text, static_cast<size_t>(length));
  const int to_fd = DescriptorOf(to.directory);
  std::string temporary;
  const auto create = [&target](int dir_fd, const char* name) {
    return symlinkat(target.c_str(), dir_fd, name) == 0;
  };
  return CreateFresh(to_fd, create, temporary) && ReplaceWith(to_fd, temporary, to_name);
}

}  // namespace updater::platform
