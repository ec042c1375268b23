#include "base/file_operations.h"

#include "base/directory_walker.h"
#include "base/file_attributes.h"
#include "base/file_platform.h"
#include "base/path_operations.h"

namespace updater {
namespace {

constexpr std::u16string_view kMatchAll = u"*";
constexpr std::u16string_view kWildcards = u"*?";

bool IsTooLong(const FsPath& p) {
  return p.size() >= kMaxPathChars;
}

bool Has(FileAttributes attributes, FileAttributes bits) {
  return (attributes & bits) != 0;
}

// Clears a read-only bit and deletes one entry of a walk. A directory is
// emptied first when `recursive`, unless it is a link.
bool DeleteWalkEntry(const FsPath& path,
                     const WalkEntry& entry,
                     std::u16string_view pattern,
                     bool recursive) {
  if (IsTooLong(path)) return false;
  if (entry.IsReadOnly() && (recursive || !entry.IsDirectory())) {
    platform::ClearReadOnly(path);  // a failure shows as the delete failing
  }
  if (!entry.IsDirectory()) return platform::DeleteFile(path);
  if (!recursive) return true;
  if (!entry.IsReparsePoint() && !DeleteMatching(path, pattern, true)) return false;
  return platform::RemoveDirectory(path);
}

// True when `from` and `to` may be copied: the full path of the destination
// (or of its parent, when it does not exist yet) does not start with the
// full path of the source.
bool IsCopyOutside(const FsPath& from, const FsPath& to) {
  const FsPath real_to = MakeAbsolutePath(PathExists(to) ? to : ParentDir(to));
  const FsPath real_from = MakeAbsolutePath(from);
  return !real_to.empty() && !real_from.empty() && !real_to.value().starts_with(real_from.value());
}

// Creates the directory or copies the file `current` to `target`.
bool CopyTreeEntry(const FsPath& current, bool current_is_dir, const FsPath& target) {
  if (IsTooLong(target)) return false;
  if (!current_is_dir) return CopyOneFile(current, target);
  return IsDirectory(target) || platform::CreateDirectory(target);
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

bool DeletePath(const FsPath& p, bool recursive) {
  if (p.empty()) return true;
  if (IsTooLong(p)) return false;
  const std::u16string last = LastComponent(p);
  if (last.find_first_of(kWildcards) != std::u16string::npos) {
    return DeleteMatching(ParentDir(p), last, recursive);
  }
  const FileAttributes attributes = platform::GetAttributes(p);
  if (attributes == kInvalidFileAttributes) return true;
  if (Has(attributes, kFileAttributeReadOnly) && !platform::ClearReadOnly(p)) return false;
  if (!Has(attributes, kFileAttributeDirectory)) return platform::DeleteFile(p);
  if (recursive && !Has(attributes, kFileAttributeReparsePoint) &&
      !DeleteMatching(p, kMatchAll, true)) {
    return false;
  }
  return platform::RemoveDirectory(p);
}

bool DeleteMatching(const FsPath& dir, std::u16string_view pattern, bool recursive) {
  if (IsTooLong(dir)) return false;
  DirectoryWalker walker(dir, false, kWalkFiles | kWalkDirectories, pattern);
  for (FsPath path = walker.Next(); !path.empty(); path = walker.Next()) {
    if (!DeleteWalkEntry(path, walker.Entry(), pattern, recursive)) return false;
  }
  return true;
}

bool CopyOneFile(const FsPath& from, const FsPath& to) {
  if (HasParentReference(from) || HasParentReference(to) || IsTooLong(from) || IsTooLong(to)) {
    return false;
  }
  if (!platform::CopyFile(from, to)) return false;
  const FileAttributes attributes = platform::GetAttributes(to);
  if (attributes == kInvalidFileAttributes) return false;
  if (Has(attributes, kFileAttributeReadOnly)) platform::ClearReadOnly(to);
  return true;
}

bool CopyTree(const FsPath& from, const FsPath& to) {
  if (IsTooLong(from) || IsTooLong(to)) return false;
  if (!IsCopyOutside(from, to) || !PathExists(from)) return false;
  DirectoryWalker walker(from, true, kWalkFiles | kWalkDirectories);
  const FsPath base = IsDirectory(to) ? ParentDir(from) : from;
  FsPath current = from;
  bool current_is_dir = IsDirectory(from);
  while (!current.empty()) {
    FsPath target = to;
    if (!(current == base) && !RelativeTail(base, current, target)) return false;
    if (!CopyTreeEntry(current, current_is_dir, target)) return false;
    current = walker.Next();
    current_is_dir = walker.Entry().IsDirectory();
  }
  return true;
}

bool MovePath(const FsPath& from, const FsPath& to) {
  if (HasParentReference(from) || HasParentReference(to) || IsTooLong(from) || IsTooLong(to)) {
    return false;
  }
  if (platform::MovePath(from, to)) return true;
  const int move_error = platform::LastError();
  if (IsDirectory(from) && CopyTree(from, to) && DeletePath(from, true)) return true;
  platform::SetLastError(move_error);
  return false;
}

}  // namespace updater
