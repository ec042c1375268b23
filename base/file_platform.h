#ifndef BASE_FILE_PLATFORM_H_
#define BASE_FILE_PLATFORM_H_

#include <cstdint>
#include <string_view>

#include "base/file_attributes.h"
#include "base/fs_path.h"

// The thin layer under the file operations: one call of the platform each,
// or a short fixed sequence, with the platform's own meaning. The rules on
// top (limits, which bits are cleared, fallbacks, order of checks) belong to
// the callers.
//
// A path a caller gives is resolved as given, links and all; everything
// below it is reached as entries of open directories, so that a link or a
// directory another user swaps in meanwhile is never followed.
namespace updater::platform {

// One open directory; closed when destroyed.
class DirectoryHandle {
 public:
  DirectoryHandle() = default;
  explicit DirectoryHandle(intptr_t native) : native_(native) {}
  ~DirectoryHandle();
  DirectoryHandle(DirectoryHandle&& other) noexcept;
  DirectoryHandle& operator=(DirectoryHandle&& other) noexcept;

  bool IsValid() const { return native_ != kInvalid; }
  // The platform's descriptor or handle.
  intptr_t native() const { return native_; }

 private:
  // No descriptor, and no handle either.
  static constexpr intptr_t kInvalid = -1;

  intptr_t native_ = kInvalid;
};

// The entry `name`, a single component, of an open directory.
struct EntryAt {
  const DirectoryHandle& directory;
  std::u16string_view name;
};

// The attributes of `path` itself (a link is not followed), or
// kInvalidFileAttributes.
FileAttributes GetAttributes(const FsPath& path);
// The same for an entry, with its identity.
FileAttributes GetAttributes(EntryAt entry, FileId& id);

// The directory `path` names; an invalid handle on failure.
DirectoryHandle OpenDirectory(const FsPath& path);
// A subdirectory, never through a link; when `expected` is given, fails
// unless the directory opened is that file.
DirectoryHandle OpenDirectory(EntryAt entry, const FileId* expected);

// Whatever the platform needs before an entry with the read-only attribute
// can be deleted. A link is left as it is.
bool MakeDeletable(EntryAt entry);
// Clears the read-only attribute of an open directory, so that its entries
// can be deleted.
bool ClearReadOnly(const DirectoryHandle& directory);

// One file or link; fails on a directory.
bool DeleteFile(EntryAt entry);
// An empty directory, or a link to a directory (the link only).
bool RemoveDirectory(EntryAt entry);
// One directory.
bool CreateDirectory(EntryAt entry);

// Copies a file's contents, permissions and times, replacing a file or link
// at `to` at once: a fresh file beside it is renamed onto it. The source is
// never reached through a link and never waited on (a named pipe is
// refused). A `writable` copy is left writable by its owner.
bool CopyFile(EntryAt from, EntryAt to, bool writable);
// Creates at `to` a link with the text of the link `from`, replacing a file
// or link there the same way.
bool CopyLink(EntryAt from, EntryAt to);
// Renames `from` to `to`, replacing a file or link there but never a
// directory; a file or link that cannot be renamed across volumes is copied
// and then deleted.
bool MovePath(EntryAt from, EntryAt to);

// The full path of `path` against the current directory, "." and ".."
// resolved textually; empty when it cannot be made or is too long.
FsPath FullPath(const FsPath& path);

// The calling thread's last error code.
int LastError();
void SetLastError(int error);

}  // namespace updater::platform

#endif  // BASE_FILE_PLATFORM_H_
