#ifndef BASE_FILE_UTIL_POSIX_H_
#define BASE_FILE_UTIL_POSIX_H_

#include <string>
#include <string_view>

#include "base/file_attributes.h"
#include "base/file_platform.h"
#include "base/fs_path.h"

namespace updater::posix {

// The UTF-8 text of `path` with trailing separators removed (a root keeps
// its one), so that a link named with a trailing "/" is still the link
// itself. False when the text has no UTF-8 form (a lone surrogate): no file
// can carry that name.
bool ToNativePath(const FsPath& path, std::string& native);

// The UTF-8 text of one entry's name; false (errno EINVAL) unless it names a
// single entry below its directory: empty, "/" or NUL inside, "." and ".."
// are not.
bool ToNativeName(std::u16string_view name, std::string& native);

// The descriptor of an open directory.
int DescriptorOf(const platform::DirectoryHandle& directory);

// The attributes of `name` relative to `dir_fd` (or AT_FDCWD), without
// following a final link: a link to a directory is a directory and a
// reparse point; a link is never read-only, so nothing ever changes its
// target's permissions. The entry's identity goes to `id` when given.
FileAttributes AttributesAt(int dir_fd, const char* name, FileId* id = nullptr);

// Owns one open file descriptor.
class ScopedFd {
 public:
  explicit ScopedFd(int fd) : fd_(fd) {}
  ~ScopedFd();
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;

  int get() const { return fd_; }
  bool IsValid() const { return fd_ >= 0; }
  // Closes now and reports whether the close succeeded.
  bool Close();

 private:
  int fd_;
};

}  // namespace updater::posix

#endif  // BASE_FILE_UTIL_POSIX_H_
