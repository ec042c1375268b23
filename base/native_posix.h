#ifndef BASE_NATIVE_POSIX_H_
#define BASE_NATIVE_POSIX_H_

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/directory_handle_platform.h"
#include "base/file_attributes.h"
#include "base/fs_path.h"

// What every POSIX file of the updater uses to name, open, read and write
// files.
namespace updater::posix {

// The UTF-8 form of `text`; false when it has none (a lone surrogate), since
// the replacement character a lossy conversion puts there would name another
// file.
bool ToNativeText(std::u16string_view text, std::string& native);

// The UTF-16 form of the native text `native`; false when it is not UTF-8,
// since the replacement characters of a lossy conversion would name another
// file.
bool FromNativeText(std::string_view native, std::u16string& text);

// The native text of `path` with trailing separators removed (a root keeps
// its one), so that a link named with a trailing "/" is still the link
// itself; false as ToNativeText.
bool ToNativePath(const FsPath& path, std::string& native);

// The native text of one entry's name; false (errno EINVAL) unless it names
// a single entry below its directory: empty, "/" or NUL inside, "." and ".."
// are not.
bool ToNativeName(std::u16string_view name, std::string& native);

// The descriptor of an open directory.
int DescriptorOf(const platform::DirectoryHandle& directory);

// The attributes of `name` relative to `dir_fd` (or AT_FDCWD), without
// following a final link: a link to a directory is a directory and a
// reparse point; a link is never read-only, so nothing ever changes its
// target's permissions. The entry's identity goes to `id` when given.
FileAttributes AttributesAt(int dir_fd, const char* name, FileId* id = nullptr);

// Owns one open file descriptor, or none.
class ScopedFd {
 public:
  explicit ScopedFd(int fd = -1) : fd_(fd) {}
  ~ScopedFd();
  ScopedFd(ScopedFd&& other) noexcept;
  ScopedFd& operator=(ScopedFd&& other) noexcept;

  int get() const { return fd_; }
  bool IsValid() const { return fd_ >= 0; }
  // Gives the descriptor up without closing it.
  int Release();
  // Closes the descriptor held and holds `fd` instead.
  void Reset(int fd = -1);
  // Closes now and reports whether the close succeeded.
  bool Close();

 private:
  int fd_;
};

// Fills `out` from the descriptor's position, or from `offset` when one is
// given, reading on after a partial read or a signal; it stops short only at
// the end of the file. The number of bytes read, or -1 with errno set.
ssize_t ReadFully(int fd, std::span<uint8_t> out, std::optional<uint64_t> offset = std::nullopt);

// Writes all of `bytes`, writing on after a partial write or a signal.
bool WriteFully(int fd, std::span<const uint8_t> bytes);

}  // namespace updater::posix

#endif  // BASE_NATIVE_POSIX_H_
