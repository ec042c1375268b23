#ifndef BASE_FILE_PLATFORM_H_
#define BASE_FILE_PLATFORM_H_

#include "base/file_attributes.h"
#include "base/fs_path.h"

// The thin layer under the file operations: one call of the platform each,
// with the platform's own meaning. The rules on top (limits, which bits are
// cleared, fallbacks, order of checks) belong to the callers.
namespace updater::platform {

// The attributes of `path` itself (a link is not followed), or
// kInvalidFileAttributes.
FileAttributes GetAttributes(const FsPath& path);
bool ClearReadOnly(const FsPath& path);
// One file or file link; fails on a directory.
bool DeleteFile(const FsPath& path);
// An empty directory, or a link to a directory (the link only).
bool RemoveDirectory(const FsPath& path);
// One directory whose parent exists.
bool CreateDirectory(const FsPath& path);
// Copies a file's contents and attributes, replacing an existing file at `to`.
bool CopyFile(const FsPath& from, const FsPath& to);
// Renames `from` to `to`, replacing a file there but never a directory; a
// file that cannot be renamed across volumes is copied and then deleted.
bool MovePath(const FsPath& from, const FsPath& to);
// The full path of `path` against the current directory, "." and ".."
// resolved textually; empty when it cannot be made or is too long.
FsPath FullPath(const FsPath& path);

// The calling thread's last error code.
int LastError();
void SetLastError(int error);

}  // namespace updater::platform

#endif  // BASE_FILE_PLATFORM_H_
