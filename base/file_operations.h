#ifndef BASE_FILE_OPERATIONS_H_
#define BASE_FILE_OPERATIONS_H_

#include <string_view>

#include "base/directory_handle_platform.h"
#include "base/fs_path.h"

namespace updater {

// Synchronous file-system operations on the updater's own files. Each
// answers true or false and writes no message; a path of kMaxPathChars
// characters or more is refused before anything is touched. The paths given
// are resolved as given; below them nothing goes through a link, not even
// one another user swaps in meanwhile: a link is deleted, copied or moved as
// itself, and a link to a directory is never entered.

// The full path of `p` against the current directory ("." and ".." resolved
// by the text alone; `p` need not exist), or an empty path.
FsPath MakeAbsolutePath(const FsPath& p);

// True when a file or directory (or a link) exists at `p`.
bool PathExists(const FsPath& p);
// True when `p` exists and is a directory (or a link to one).
bool IsDirectory(const FsPath& p);

// True when `p` is gone afterwards or never existed; the empty path is
// nothing to delete. A read-only entry is made deletable first (on POSIX its
// own mode never stands in the way, so only a read-only directory whose
// entries go gets its owner's write permission). A directory goes only when
// empty, unless `recursive`. A last component with "*" or "?" deletes the
// matching entries of its directory (see DeleteMatching).
bool DeletePath(const FsPath& p, bool recursive);

// Deletes the file or link (or empty directory) `name` of an open directory,
// made deletable first when it is read-only; true when nothing is there
// afterwards.
bool DeleteEntryIn(const platform::DirectoryHandle& directory, std::u16string_view name);

// Deletes the entries of `dir` that match `pattern`, stopping at the first
// failure (what was deleted stays deleted). Matching subdirectories are left
// alone unless `recursive`; then their matching contents go and then they.
bool DeleteMatching(const FsPath& dir, std::u16string_view pattern, bool recursive);

// Copies one file, replacing `to`; the copy is never left read-only. A link
// or a named pipe at `from` is refused.
bool CopyOneFile(const FsPath& from, const FsPath& to);

// Gives the file `from` a second name `to` (a hard link), or where that
// cannot be had, copies it there as CopyOneFile does but keeping its mode.
// A file or link at `to` is replaced at once, never left half-written; a
// link at `from` is linked as itself.
bool LinkOrCopyFile(const FsPath& from, const FsPath& to);

// Copies a file or a whole directory tree, links as links. When `to` is an
// existing directory, `from` itself goes inside it. Refuses a path with a
// ".." component, and to copy into `from` (a plain text prefix test of the
// full paths, which also refuses an existing "X_old" for "X"). A failure
// leaves what was copied so far.
bool CopyTree(const FsPath& from, const FsPath& to);

// Renames `from` to `to` (replacing a file, never a directory); a directory
// that cannot be renamed is copied and then deleted, which puts it inside
// `to` when `to` is an existing directory. The source is deleted only after
// a complete copy. On failure the platform's error of the rename is kept.
bool MovePath(const FsPath& from, const FsPath& to);

}  // namespace updater

#endif  // BASE_FILE_OPERATIONS_H_
