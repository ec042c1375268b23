#ifndef BASE_FILE_OPERATIONS_PLATFORM_H_
#define BASE_FILE_OPERATIONS_PLATFORM_H_

#include "base/directory_handle_platform.h"
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

// The attributes of `path` itself (a link is not followed), or
// kInvalidFileAttributes.
FileAttributes GetAttributes(const FsPath& path);
// The same for an entry, with its identity.
FileAttributes GetAttributes(EntryAt entry, FileId& id);

// Whatever the platform needs before an entry with the read-only attribute
// can be deleted. A link is left as it is.
bool MakeDeletable(EntryAt entry);
// Clears the read-only attribute of an open directory, so that its entries
// can be deleted.
bool ClearReadOnly(const DirectoryHandle& directory);

// One file or link; fails on a directory.
bool DeleteFileAt(EntryAt entry);
// An empty directory, or a link to a directory (the link only).
bool RemoveDirectoryAt(EntryAt entry);
// One directory.
bool CreateDirectoryAt(EntryAt entry);

// Copies a file's contents, permissions and times, replacing a file or link
// at `to` at once: a fresh file beside it is renamed onto it. The source is
// never reached through a link and never waited on (a named pipe is
// refused). A `writable` copy is left writable by its owner.
bool CopyFileAt(EntryAt from, EntryAt to, bool writable);
// Creates at `to` a link with the text of the link `from`, replacing a file
// or link there the same way.
bool CopyLink(EntryAt from, EntryAt to);
// Gives the file or link `from` a second name at `to` (a hard link),
// replacing a file or link there the same way as a copy does. Fails where
// the file system has no such links, or across volumes.
bool LinkFileAt(EntryAt from, EntryAt to);
// Renames `from` to `to`, replacing a file or link there but never a
// directory; a file or link that cannot be renamed across volumes is copied
// and then deleted.
bool MovePath(EntryAt from, EntryAt to);

// The full path of `path` against the current directory, "." and ".."
// resolved textually; empty when it cannot be made or is too long.
FsPath FullPath(const FsPath& path);

}  // namespace updater::platform

#endif  // BASE_FILE_OPERATIONS_PLATFORM_H_
