#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "base/file_util_posix.h"
#include "base/string_util.h"
#include "base/temp_path_platform.h"

namespace updater::platform {
namespace {

constexpr char kTempDirectoryVariable[] = "TMPDIR";
constexpr char kDefaultTempDirectory[] = "/tmp";
// Followed by the user id: one private directory per user in a shared one.
constexpr char kPrivateDirectoryPrefix[] = "/rivazeriduv_updater-";
constexpr mode_t kOwnerOnly = 0700;
constexpr mode_t kWritableByOthers = S_IWGRP | S_IWOTH;

// TMPDIR when it holds an absolute path that has a UTF-16 form, else the
// system default.
std::string ReportedTempDirectory() {
  const char* variable = getenv(kTempDirectoryVariable);
  std::u16string unused;
  if (variable == nullptr || variable[0] != '/' || !posix::FromNativeText(variable, unused)) {
    return kDefaultTempDirectory;
  }
  std::string path = variable;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool IsOwnDirectory(const struct stat& status) {
  return S_ISDIR(status.st_mode) && status.st_uid == geteuid();
}

// The user's own directory inside `shared`, created when missing and made
// private when it is not: never a link, never another user's.
std::string OwnDirectoryIn(const std::string& shared) {
  const std::string own = (shared == "/" ? "" : shared) + kPrivateDirectoryPrefix +
                          std::to_string(static_cast<unsigned long>(geteuid()));
  if (mkdir(own.c_str(), kOwnerOnly) != 0 && errno != EEXIST) return "";
  const posix::ScopedFd directory(
      open(own.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status;
  if (!directory.IsValid() || fstat(directory.get(), &status) != 0 || !IsOwnDirectory(status)) {
    return "";
  }
  if ((status.st_mode & 07777) != kOwnerOnly && fchmod(directory.get(), kOwnerOnly) != 0) return "";
  return own;
}

}  // namespace

// Downloads are run after their signature was checked, and the portable
// package's files are moved into the installation: a directory that another
// user can write would let them swap either in between. Such a directory
// (the shared /tmp) is used only through a private directory of this user
// inside it. Empty when no such directory can be had, or the reported one is
// not there to be checked.
std::u16string ReadTempPath() {
  const std::string reported = ReportedTempDirectory();
  struct stat status;
  if (stat(reported.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return u"";
  if (IsOwnDirectory(status) && (status.st_mode & kWritableByOthers) == 0) {
    return UTF8ToUTF16(reported);
  }
  return UTF8ToUTF16(OwnDirectoryIn(reported));
}

}  // namespace updater::platform
