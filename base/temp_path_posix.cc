#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "base/native_posix.h"
#include "base/string_util.h"
#include "base/temp_path_platform.h"

namespace updater::platform {
namespace {

constexpr char kTempDirectoryVariable[] = "TMPDIR";
constexpr char kDefaultTempDirectory[] = "/tmp";
// Followed by the user id: one private directory per user in a shared one.
constexpr char kPrivateDirectoryPrefix[] = "rivazeriduv_updater-";
// Between the user id and random digits: the private directory used when
// the fixed name is taken by someone else.
constexpr char kRandomSuffixSeparator = '.';
constexpr int kRandomNameAttempts = 16;
constexpr mode_t kOwnerOnly = 0700;
constexpr mode_t kWritableByOthers = S_IWGRP | S_IWOTH;
constexpr uid_t kRoot = 0;

// TMPDIR when it holds an absolute path that has a UTF-16 form, else the
// system default; links resolved, so that every directory on the way is one
// that the walk below inspects.
std::string ReportedTempDirectory() {
  const char* variable = getenv(kTempDirectoryVariable);
  std::u16string unused;
  if (variable == nullptr || variable[0] != '/' || !posix::FromNativeText(variable, unused)) {
    variable = kDefaultTempDirectory;
  }
  char resolved[PATH_MAX];
  return realpath(variable, resolved) != nullptr ? resolved : "";
}

bool IsTrustedOwner(uid_t owner) {
  return owner == geteuid() || owner == kRoot;
}

// Whether nobody but this user and root can rename, replace or write the
// entry `child` of `parent`: the parent belongs to one of them and others
// cannot write it, or its sticky bit protects an entry of one of them.
bool GuardsEntry(const struct stat& parent, const struct stat& child) {
  if (!IsTrustedOwner(parent.st_uid)) return false;
  if ((parent.st_mode & kWritableByOthers) == 0) return true;
  return (parent.st_mode & S_ISVTX) != 0 && IsTrustedOwner(child.st_uid);
}

// Opens `name` below `parent_fd` as a directory, never through a link, when
// `parent` guards it; `status` gets its own.
posix::ScopedFd OpenGuardedDirectory(int parent_fd,
                                     const struct stat& parent,
                                     const std::string& name,
                                     struct stat& status) {
  posix::ScopedFd fd(
      openat(parent_fd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.IsValid() || fstat(fd.get(), &status) != 0 || !GuardsEntry(parent, status)) {
    return posix::ScopedFd();
  }
  return fd;
}

// The directory `path` (absolute, without links) when every directory from
// the root down guards the next; `status` gets its own.
posix::ScopedFd OpenGuardedPath(const std::string& path, struct stat& status) {
  posix::ScopedFd fd(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!fd.IsValid() || fstat(fd.get(), &status) != 0 || !IsTrustedOwner(status.st_uid) ||
      (status.st_mode & kWritableByOthers) != 0) {
    return posix::ScopedFd();
  }
  size_t start = 1;
  while (fd.IsValid() && start < path.size()) {
    const size_t end = std::min(path.find('/', start), path.size());
    const struct stat parent = status;
    fd = OpenGuardedDirectory(fd.get(), parent, path.substr(start, end - start), status);
    start = end + 1;
  }
  return fd;
}

bool IsPrivateDirectory(const struct stat& status) {
  return S_ISDIR(status.st_mode) && status.st_uid == geteuid();
}

// The directory `name` in `shared_fd` when it is this user's (never a link),
// made owner-only when it is not; empty otherwise.
std::string PrivateDirectoryAt(int shared_fd, const std::string& name) {
  const posix::ScopedFd directory(
      openat(shared_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status;
  if (!directory.IsValid() || fstat(directory.get(), &status) != 0 || !IsPrivateDirectory(status)) {
    return "";
  }
  if ((status.st_mode & 07777) != kOwnerOnly && fchmod(directory.get(), kOwnerOnly) != 0) return "";
  return name;
}

std::string RandomDirectoryName(const std::string& fixed_name) {
  unsigned long long digits = 0;
  if (getrandom(&digits, sizeof(digits), 0) != sizeof(digits)) return "";
  char hex[17];
  std::snprintf(hex, sizeof(hex), "%016llx", digits);
  return fixed_name + kRandomSuffixSeparator + hex;
}

// A fresh private directory with a random name, for when someone else took
// the fixed one; never one that existed before.
std::string FreshPrivateDirectoryIn(int shared_fd, const std::string& fixed_name) {
  for (int attempt = 0; attempt < kRandomNameAttempts; ++attempt) {
    const std::string name = RandomDirectoryName(fixed_name);
    if (name.empty()) return "";
    if (mkdirat(shared_fd, name.c_str(), kOwnerOnly) == 0)
      return PrivateDirectoryAt(shared_fd, name);
    if (errno != EEXIST) return "";
  }
  return "";
}

// A private directory with a random name that an earlier run made, so that
// runs do not pile them up while the fixed name stays taken.
std::string EarlierPrivateDirectoryIn(int shared_fd, const std::string& fixed_name) {
  posix::ScopedFd listing_fd(openat(shared_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  DIR* listing = listing_fd.IsValid() ? fdopendir(listing_fd.get()) : nullptr;
  if (listing == nullptr) return "";
  listing_fd.Release();  // closedir closes it
  const std::string start = fixed_name + kRandomSuffixSeparator;
  std::string found;
  while (const dirent* entry = found.empty() ? readdir(listing) : nullptr) {
    if (std::string_view(entry->d_name).starts_with(start)) {
      found = PrivateDirectoryAt(shared_fd, entry->d_name);
    }
  }
  closedir(listing);
  return found;
}

// The name of the user's own directory inside `shared_fd`: the fixed one,
// created when missing, or one with a random name when the fixed name is
// someone else's or a link.
std::string PrivateDirectoryIn(int shared_fd) {
  const std::string fixed_name =
      kPrivateDirectoryPrefix + std::to_string(static_cast<unsigned long>(geteuid()));
  if (mkdirat(shared_fd, fixed_name.c_str(), kOwnerOnly) != 0 && errno != EEXIST) return "";
  std::string own = PrivateDirectoryAt(shared_fd, fixed_name);
  if (own.empty()) own = EarlierPrivateDirectoryIn(shared_fd, fixed_name);
  return own.empty() ? FreshPrivateDirectoryIn(shared_fd, fixed_name) : own;
}

std::string Joined(const std::string& directory, const std::string& name) {
  return (directory == "/" ? "" : directory) + "/" + name;
}

}  // namespace

// Downloads are run after their signature was checked, and the portable
// package's files are moved into the installation: a directory that another
// user can reach into, or one below a directory they can rename, would let
// them swap either in between. The reported directory is used when every
// directory from the root down is guarded (see GuardsEntry) and it is the
// user's alone; a shared one (the sticky /tmp) through a private directory
// of this user inside it. Empty when no such directory can be had.
std::u16string ReadTempPath() {
  const std::string reported = ReportedTempDirectory();
  struct stat status;
  const posix::ScopedFd directory =
      reported.empty() ? posix::ScopedFd() : OpenGuardedPath(reported, status);
  if (!directory.IsValid()) return u"";
  if (IsPrivateDirectory(status) && (status.st_mode & kWritableByOthers) == 0) {
    return UTF8ToUTF16(reported);
  }
  if ((status.st_mode & S_ISVTX) == 0) return u"";
  const std::string own = PrivateDirectoryIn(directory.get());
  return own.empty() ? u"" : UTF8ToUTF16(Joined(reported, own));
}

}  // namespace updater::platform
