#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "base/file_platform.h"
#include "base/posix_file_util.h"
#include "base/string_util.h"

namespace updater::platform {
namespace {

using posix::ScopedFd;
using posix::ToNativePath;

constexpr size_t kCopyChunkBytes = 1 << 16;
constexpr mode_t kCopiedModeBits = 0777;  // never set-user-ID and the like
constexpr char kCopySuffixTemplate[] = ".copy-XXXXXX";

bool IsNativeDirectory(const std::string& native) {
  const FileAttributes attributes = posix::AttributesAt(AT_FDCWD, native.c_str());
  return attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) != 0;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool CopyContents(int from_fd, int to_fd) {
  std::vector<char> buffer(kCopyChunkBytes);
  for (;;) {
    const ssize_t got = read(from_fd, buffer.data(), buffer.size());
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(to_fd, buffer.data(), static_cast<size_t>(got))) return false;
  }
}

// The data, permission bits and times of the open file `source` into `to_fd`.
bool CopyOpenFile(int from_fd, const struct stat& source, int to_fd) {
  const struct timespec times[2] = {source.st_atim, source.st_mtim};
  return CopyContents(from_fd, to_fd) && fchmod(to_fd, source.st_mode & kCopiedModeBits) == 0 &&
         futimens(to_fd, times) == 0;
}

// A fresh file's name in the directory of `to`, so that renaming it onto
// `to` is atomic: `to` is either its old self or the whole copy.
std::string CopyTemplateBeside(const std::string& to) {
  const size_t slash = to.rfind('/');
  return (slash == std::string::npos ? std::string("./") : to.substr(0, slash + 1)) +
         kCopySuffixTemplate;
}

bool CopyNativeFile(const std::string& from, const std::string& to) {
  // Not blocking, so that a named pipe is refused instead of waited on.
  ScopedFd source(open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!source.IsValid()) return false;
  struct stat status;
  if (fstat(source.get(), &status) != 0) return false;
  if (!S_ISREG(status.st_mode)) {
    errno = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  std::string temporary = CopyTemplateBeside(to);
  ScopedFd target(mkostemp(temporary.data(), O_CLOEXEC));
  if (!target.IsValid()) return false;
  if (CopyOpenFile(source.get(), status, target.get()) && target.Close() &&
      rename(temporary.c_str(), to.c_str()) == 0) {
    return true;
  }
  const int error = errno;
  target.Close();
  unlink(temporary.c_str());
  errno = error;
  return false;
}

// Never replaces anything; falls back to a plain rename on file systems that
// cannot promise that.
int RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  return rename(from.c_str(), to.c_str());
}

}  // namespace

FileAttributes GetAttributes(const FsPath& path) {
  std::string native;
  if (!ToNativePath(path, native)) return kInvalidFileAttributes;
  const FileAttributes attributes = posix::AttributesAt(AT_FDCWD, native.c_str());
  // "name/" names a directory or nothing, as the system itself reads it.
  const bool names_directory = native.size() < path.size();
  if (names_directory && (attributes & kFileAttributeDirectory) == 0) return kInvalidFileAttributes;
  return attributes;
}

bool ClearReadOnly(const FsPath& path) {
  std::string native;
  struct stat status;
  if (!ToNativePath(path, native) || lstat(native.c_str(), &status) != 0) return false;
  if (S_ISLNK(status.st_mode)) return true;  // a link has no bits of its own
  return chmod(native.c_str(), (status.st_mode & 07777) | S_IWUSR) == 0;
}

bool DeleteFile(const FsPath& path) {
  std::string native;
  return ToNativePath(path, native) && unlink(native.c_str()) == 0;
}

bool RemoveDirectory(const FsPath& path) {
  std::string native;
  struct stat status;
  if (!ToNativePath(path, native) || lstat(native.c_str(), &status) != 0) return false;
  if (S_ISLNK(status.st_mode)) return unlink(native.c_str()) == 0;
  return rmdir(native.c_str()) == 0;
}

bool CreateDirectory(const FsPath& path) {
  std::string native;
  return ToNativePath(path, native) && mkdir(native.c_str(), 0777) == 0;
}

bool CopyFile(const FsPath& from, const FsPath& to) {
  std::string native_from;
  std::string native_to;
  return ToNativePath(from, native_from) && ToNativePath(to, native_to) &&
         CopyNativeFile(native_from, native_to);
}

bool MovePath(const FsPath& from, const FsPath& to) {
  std::string native_from;
  std::string native_to;
  if (!ToNativePath(from, native_from) || !ToNativePath(to, native_to)) {
    errno = ENOENT;
    return false;
  }
  const FileAttributes target = posix::AttributesAt(AT_FDCWD, native_to.c_str());
  if (target != kInvalidFileAttributes && (target & kFileAttributeDirectory) != 0) {
    errno = EEXIST;  // rename(2) would replace an empty directory
    return false;
  }
  const int renamed = target == kInvalidFileAttributes
                          ? RenameWithoutReplacing(native_from, native_to)
                          : rename(native_from.c_str(), native_to.c_str());
  if (renamed == 0) return true;
  if (errno != EXDEV || IsNativeDirectory(native_from)) return false;
  // Another volume: the file is copied whole before the original goes.
  return CopyNativeFile(native_from, native_to) && unlink(native_from.c_str()) == 0;
}

FsPath FullPath(const FsPath& path) {
  std::string native;
  if (!ToNativePath(path, native)) return FsPath();
  std::string text;
  if (native.empty() || native.front() != '/') {
    char directory[PATH_MAX];
    if (getcwd(directory, sizeof(directory)) == nullptr) return FsPath();
    text = directory;
    text += '/';
  }
  text += native;
  // Resolve ".", ".." and repeated separators by the text alone; ".." at the
  // root stays at the root.
  std::vector<std::string> components;
  size_t begin = 0;
  while (begin <= text.size()) {
    size_t end = text.find('/', begin);
    if (end == std::string::npos) end = text.size();
    const std::string component = text.substr(begin, end - begin);
    if (component == "..") {
      if (!components.empty()) components.pop_back();
    } else if (!component.empty() && component != ".") {
      components.push_back(component);
    }
    begin = end + 1;
  }
  std::string full;
  for (const std::string& component : components) full += "/" + component;
  const bool trailing_separator = !path.empty() && path.value().back() == u'/';
  if (full.empty() || trailing_separator) full += '/';
  const std::u16string wide = UTF8ToUTF16(full);
  if (wide.size() >= kMaxPathChars) return FsPath();
  return FsPath(wide);
}

int LastError() {
  return errno;
}

void SetLastError(int error) {
  errno = error;
}

}  // namespace updater::platform
