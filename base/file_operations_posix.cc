#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "base/file_operations_platform.h"
#include "base/native_posix.h"
#include "base/string_util.h"

namespace updater::platform {
namespace {

using posix::DescriptorOf;
using posix::ToNativeName;
using posix::ToNativePath;

// Never replaces anything; falls back to a plain rename on file systems that
// cannot promise that.
int RenameWithoutReplacing(int from_fd, const char* from, int to_fd, const char* to) {
  if (renameat2(from_fd, from, to_fd, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  return renameat(from_fd, from, to_fd, to);
}

bool IsRealDirectory(int dir_fd, const char* name) {
  struct stat status;
  return fstatat(dir_fd, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode);
}

bool IsLink(int dir_fd, const char* name) {
  struct stat status;
  return fstatat(dir_fd, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
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

FileAttributes GetAttributes(EntryAt entry, FileId& id) {
  std::string name;
  if (!ToNativeName(entry.name, name)) return kInvalidFileAttributes;
  return posix::AttributesAt(DescriptorOf(entry.directory), name.c_str(), &id);
}

// An entry's own mode never keeps it from being removed: only its
// directory's does.
bool MakeDeletable(EntryAt /*entry*/) {
  return true;
}

bool ClearReadOnly(const DirectoryHandle& directory) {
  const int fd = DescriptorOf(directory);
  struct stat status;
  return fstat(fd, &status) == 0 && fchmod(fd, (status.st_mode & 07777) | S_IWUSR) == 0;
}

bool DeleteFileAt(EntryAt entry) {
  std::string name;
  return ToNativeName(entry.name, name) &&
         unlinkat(DescriptorOf(entry.directory), name.c_str(), 0) == 0;
}

bool RemoveDirectoryAt(EntryAt entry) {
  std::string name;
  if (!ToNativeName(entry.name, name)) return false;
  const int fd = DescriptorOf(entry.directory);
  // Whichever of the two it is by the time of the call, the other one fails.
  return unlinkat(fd, name.c_str(), IsLink(fd, name.c_str()) ? 0 : AT_REMOVEDIR) == 0;
}

bool CreateDirectoryAt(EntryAt entry) {
  std::string name;
  return ToNativeName(entry.name, name) &&
         mkdirat(DescriptorOf(entry.directory), name.c_str(), 0777) == 0;
}

bool MovePath(EntryAt from, EntryAt to) {
  std::string from_name;
  std::string to_name;
  if (!ToNativeName(from.name, from_name) || !ToNativeName(to.name, to_name)) {
    errno = ENOENT;
    return false;
  }
  const int from_fd = DescriptorOf(from.directory);
  const int to_fd = DescriptorOf(to.directory);
  const FileAttributes target = posix::AttributesAt(to_fd, to_name.c_str());
  if (target != kInvalidFileAttributes && (target & kFileAttributeDirectory) != 0) {
    errno = EEXIST;  // renameat would replace an empty directory
    return false;
  }
  const int renamed =
      target == kInvalidFileAttributes
          ? RenameWithoutReplacing(from_fd, from_name.c_str(), to_fd, to_name.c_str())
          : renameat(from_fd, from_name.c_str(), to_fd, to_name.c_str());
  if (renamed == 0) return true;
  if (errno != EXDEV || IsRealDirectory(from_fd, from_name.c_str())) return false;
  // Another volume: the file or link is copied whole before the original goes.
  const bool copied =
      IsLink(from_fd, from_name.c_str()) ? CopyLink(from, to) : CopyFileAt(from, to, false);
  return copied && unlinkat(from_fd, from_name.c_str(), 0) == 0;
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

}  // namespace updater::platform
