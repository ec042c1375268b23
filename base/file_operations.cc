#include "base/file_operations.h"

#include "base/directory_entry.h"
#include "base/directory_search_platform.h"
#include "base/file_attributes.h"
#include "base/file_operations_platform.h"
#include "base/last_error_platform.h"
#include "base/path_arithmetic.h"

namespace updater {
namespace {

using platform::DirectoryHandle;
using platform::EntryAt;

constexpr std::u16string_view kMatchAll = u"*";
constexpr std::u16string_view kWildcards = u"*?";

bool IsTooLong(const FsPath& p) {
  return p.size() >= kMaxPathChars;
}

// Copies and moves take neither a parent reference nor an overlong path.
bool IsCopyablePair(const FsPath& from, const FsPath& to) {
  return !HasParentReference(from) && !HasParentReference(to) && !IsTooLong(from) && !IsTooLong(to);
}

bool Has(FileAttributes attributes, FileAttributes bits) {
  return (attributes & bits) != 0;
}

// The directory that holds what `p` names, opened by the path as given.
DirectoryHandle OpenParent(const FsPath& p) {
  return platform::OpenDirectory(ParentDir(p));
}

// Reads the record of the entry `name` of `directory`; false when it has none.
bool Inspect(const DirectoryHandle& directory, std::u16string_view name, WalkEntry& entry) {
  entry.name = name;
  entry.attributes = platform::GetAttributes(EntryAt{directory, entry.name}, entry.id);
  return entry.attributes != kInvalidFileAttributes;
}

// Calls `visit` with each entry of `directory` matching `pattern`, "." and
// ".." aside, until it fails.
template <typename Visit>
bool ForEachEntry(const DirectoryHandle& directory, std::u16string_view pattern, Visit visit) {
  platform::DirectorySearch search;
  WalkEntry entry;
  for (bool found = search.Open(directory, pattern, PreferredSearchMode(), entry); found;
       found = search.Next(entry)) {
    if (!entry.IsSelfOrParent() && !visit(entry)) return false;
  }
  return true;
}

bool DeleteMatchingIn(const DirectoryHandle& directory,
                      const FsPath& path,
                      std::u16string_view pattern,
                      bool recursive);

// Deletes the entries of the directory `entry` (of `parent`) that match
// `pattern`, with their contents. The directory is opened only as the one
// inspected, and made writable first when it is read-only.
bool DeleteContents(const DirectoryHandle& parent,
                    const WalkEntry& entry,
                    const FsPath& path,
                    std::u16string_view pattern) {
  const DirectoryHandle directory = platform::OpenDirectory(EntryAt{parent, entry.name}, &entry.id);
  if (!directory.IsValid()) return false;
  // A failure shows as the deletes failing.
  if (entry.IsReadOnly()) platform::ClearReadOnly(directory);
  return DeleteMatchingIn(directory, path, pattern, true);
}

// Deletes one entry found in `directory`; `path` names it. A read-only file
// is made deletable first. A directory goes only when `recursive`, emptied
// first unless it is a link.
bool DeleteEntry(const DirectoryHandle& directory,
                 const WalkEntry& entry,
                 const FsPath& path,
                 std::u16string_view pattern,
                 bool recursive) {
  if (IsTooLong(path)) return false;
  const EntryAt at{directory, entry.name};
  if (!entry.IsDirectory()) {
    if (entry.IsReadOnly()) platform::MakeDeletable(at);  // a failure shows as the delete failing
    return platform::DeleteFileAt(at);
  }
  if (!recursive) return true;
  if (!entry.IsReparsePoint() && !DeleteContents(directory, entry, path, pattern)) return false;
  return platform::RemoveDirectoryAt(at);
}

bool DeleteMatchingIn(const DirectoryHandle& directory,
                      const FsPath& path,
                      std::u16string_view pattern,
                      bool recursive) {
  return ForEachEntry(directory, pattern, [&](const WalkEntry& entry) {
    return DeleteEntry(directory, entry, JoinPath(path, entry.name), pattern, recursive);
  });
}

// True when `from` and `to` may be copied: the full path of the destination
// (or of its parent, when it does not exist yet) does not start with the
// full path of the source.
bool IsCopyOutside(const FsPath& from, const FsPath& to) {
  const FsPath real_to = MakeAbsolutePath(PathExists(to) ? to : ParentDir(to));
  const FsPath real_from = MakeAbsolutePath(from);
  return !real_to.empty() && !real_from.empty() && !real_to.value().starts_with(real_from.value());
}

// One entry to copy: found in `directory`, named by `path`.
struct CopySource {
  const DirectoryHandle& directory;
  const WalkEntry& entry;
  const FsPath& path;
};

bool IsRealDirectory(EntryAt at) {
  FileId id;
  const FileAttributes attributes = platform::GetAttributes(at, id);
  return attributes != kInvalidFileAttributes && Has(attributes, kFileAttributeDirectory) &&
         !Has(attributes, kFileAttributeReparsePoint);
}

// Copies a link as a link, a file made writable, and a directory with all
// it holds, into a directory already at `to` (never into a link there).
// `target` names `to`.
bool CopyEntry(const CopySource& from, EntryAt to, const FsPath& target) {
  if (IsTooLong(from.path) || IsTooLong(target)) return false;
  const EntryAt source{from.directory, from.entry.name};
  if (from.entry.IsReparsePoint()) return platform::CopyLink(source, to);
  if (!from.entry.IsDirectory()) return platform::CopyFileAt(source, to, /*writable=*/true);
  if (!IsRealDirectory(to) && !platform::CreateDirectoryAt(to)) return false;
  const DirectoryHandle source_directory = platform::OpenDirectory(source, &from.entry.id);
  const DirectoryHandle target_directory = platform::OpenDirectory(to, nullptr);
  if (!source_directory.IsValid() || !target_directory.IsValid()) return false;
  return ForEachEntry(source_directory, kMatchAll, [&](const WalkEntry& entry) {
    const FsPath path = JoinPath(from.path, entry.name);
    return CopyEntry(CopySource{source_directory, entry, path},
                     EntryAt{target_directory, entry.name}, JoinPath(target, entry.name));
  });
}

}  // namespace

FsPath MakeAbsolutePath(const FsPath& p) {
  return platform::FullPath(p);
}

bool PathExists(const FsPath& p) {
  return !IsTooLong(p) && platform::GetAttributes(p) != kInvalidFileAttributes;
}

bool IsDirectory(const FsPath& p) {
  if (IsTooLong(p)) return false;
  const FileAttributes attributes = platform::GetAttributes(p);
  return attributes != kInvalidFileAttributes && Has(attributes, kFileAttributeDirectory);
}

bool DeleteEntryIn(const DirectoryHandle& directory, std::u16string_view name) {
  WalkEntry entry;
  if (!Inspect(directory, name, entry)) return true;
  const EntryAt at{directory, entry.name};
  // A failure of either shows as the entry still being there.
  if (entry.IsReadOnly()) platform::MakeDeletable(at);
  if (entry.IsDirectory()) {
    platform::RemoveDirectoryAt(at);
  } else {
    platform::DeleteFileAt(at);
  }
  return !Inspect(directory, name, entry);
}

bool DeletePath(const FsPath& p, bool recursive) {
  if (p.empty()) return true;
  if (IsTooLong(p)) return false;
  const std::u16string last = LastComponent(p);
  if (last.find_first_of(kWildcards) != std::u16string::npos) {
    return DeleteMatching(ParentDir(p), last, recursive);
  }
  if (platform::GetAttributes(p) == kInvalidFileAttributes) return true;
  const DirectoryHandle parent = OpenParent(p);
  WalkEntry entry;
  if (!parent.IsValid() || !Inspect(parent, last, entry)) return !PathExists(p);
  const EntryAt at{parent, entry.name};
  if (entry.IsReadOnly() && !platform::MakeDeletable(at)) return false;
  if (!entry.IsDirectory()) return platform::DeleteFileAt(at);
  if (recursive && !entry.IsReparsePoint() && !DeleteContents(parent, entry, p, kMatchAll)) {
    return false;
  }
  return platform::RemoveDirectoryAt(at);
}

bool DeleteMatching(const FsPath& dir, std::u16string_view pattern, bool recursive) {
  if (IsTooLong(dir)) return false;
  const DirectoryHandle directory = platform::OpenDirectory(dir);
  return !directory.IsValid() || DeleteMatchingIn(directory, dir, pattern, recursive);
}

namespace {

// Runs `operation` on the entries `from` and `to`, each reached through its
// open parent directory; false when either parent cannot be opened.
template <typename Operation>
bool OnEntriesOf(const FsPath& from, const FsPath& to, Operation operation) {
  if (!IsCopyablePair(from, to)) return false;
  const DirectoryHandle from_parent = OpenParent(from);
  const DirectoryHandle to_parent = OpenParent(to);
  if (!from_parent.IsValid() || !to_parent.IsValid()) return false;
  const std::u16string from_name = LastComponent(from);
  const std::u16string to_name = LastComponent(to);
  return operation(EntryAt{from_parent, from_name}, EntryAt{to_parent, to_name});
}

}  // namespace

bool CopyOneFile(const FsPath& from, const FsPath& to) {
  return OnEntriesOf(from, to, [](EntryAt source, EntryAt target) {
    return platform::CopyFileAt(source, target, /*writable=*/true);
  });
}

bool LinkOrCopyFile(const FsPath& from, const FsPath& to) {
  return OnEntriesOf(from, to, [](EntryAt source, EntryAt target) {
    return platform::LinkFileAt(source, target) ||
           platform::CopyFileAt(source, target, /*writable=*/false);
  });
}

bool CopyTree(const FsPath& from, const FsPath& to) {
  if (!IsCopyablePair(from, to)) return false;
  if (!IsCopyOutside(from, to) || !PathExists(from)) return false;
  const FsPath target = IsDirectory(to) ? JoinPath(to, LastComponent(from)) : to;
  const DirectoryHandle from_parent = OpenParent(from);
  const DirectoryHandle to_parent = OpenParent(target);
  WalkEntry entry;
  return from_parent.IsValid() && to_parent.IsValid() &&
         Inspect(from_parent, LastComponent(from), entry) &&
         CopyEntry(CopySource{from_parent, entry, from}, EntryAt{to_parent, LastComponent(target)},
                   target);
}

bool MovePath(const FsPath& from, const FsPath& to) {
  if (!IsCopyablePair(from, to)) return false;
  const DirectoryHandle from_parent = OpenParent(from);
  const DirectoryHandle to_parent = OpenParent(to);
  if (from_parent.IsValid() && to_parent.IsValid() &&
      platform::MovePath(EntryAt{from_parent, LastComponent(from)},
                         EntryAt{to_parent, LastComponent(to)})) {
    return true;
  }
  const int move_error = platform::LastError();
  if (IsDirectory(from) && CopyTree(from, to) && DeletePath(from, true)) return true;
  platform::SetLastError(move_error);
  return false;
}

}  // namespace updater
