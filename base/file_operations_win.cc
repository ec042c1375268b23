#include <windows.h>

#include <stdlib.h>

#include <string>

#include "base/file_operations_platform.h"
#include "base/native_win.h"

// Windows' own calls already act on a link itself and never on its target
// (attributes, delete, remove, rename) and refuse to rename onto a
// directory; the directories involved are
// kept in place by their open handles (see directory_handle_win.cc).
namespace updater::platform {
namespace {

using win::EntryPath;

// The attributes SetFileAttributesW takes back: the read-only bit cleared,
// the bits it cannot set left out.
DWORD WithoutReadOnly(DWORD attributes) {
  const DWORD kept = attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY |
                                    FILE_ATTRIBUTE_REPARSE_POINT);
  return kept == 0 ? FILE_ATTRIBUTE_NORMAL : kept;
}

bool ClearReadOnlyAt(const std::wstring& path, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
  return SetFileAttributesW(path.c_str(), WithoutReadOnly(attributes)) != FALSE;
}

}  // namespace

FileAttributes GetAttributes(const FsPath& path) {
  if (path.empty()) return kInvalidFileAttributes;
  return GetFileAttributesW(win::ToWide(path.value()).c_str());
}

FileAttributes GetAttributes(EntryAt entry, FileId& id) {
  std::wstring path;
  return EntryPath(entry, path) ? win::AttributesOf(path, &id) : kInvalidFileAttributes;
}

bool MakeDeletable(EntryAt entry) {
  std::wstring path;
  if (!EntryPath(entry, path)) return false;
  const FileAttributes attributes = win::AttributesOf(path);
  if (attributes == kInvalidFileAttributes) return false;
  // Clearing the bit through a link would change its target.
  if ((attributes & kFileAttributeReparsePoint) != 0) return true;
  return ClearReadOnlyAt(path, attributes);
}

bool ClearReadOnly(const DirectoryHandle& directory) {
  const std::wstring& path = win::PathOf(directory);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && ClearReadOnlyAt(path, attributes);
}

bool DeleteFileAt(EntryAt entry) {
  std::wstring path;
  return EntryPath(entry, path) && DeleteFileW(path.c_str());
}

bool RemoveDirectoryAt(EntryAt entry) {
  std::wstring path;
  return EntryPath(entry, path) && RemoveDirectoryW(path.c_str());
}

bool CreateDirectoryAt(EntryAt entry) {
  std::wstring path;
  return EntryPath(entry, path) && CreateDirectoryW(path.c_str(), nullptr);
}

bool MovePath(EntryAt from, EntryAt to) {
  std::wstring from_path;
  std::wstring to_path;
  if (!EntryPath(from, from_path) || !EntryPath(to, to_path)) return false;
  if (MoveFileExW(from_path.c_str(), to_path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  const DWORD error = GetLastError();
  const FileAttributes source = win::AttributesOf(from_path);
  const bool is_link = (source & kFileAttributeReparsePoint) != 0;
  const bool is_directory = (source & kFileAttributeDirectory) != 0;
  if (error != ERROR_NOT_SAME_DEVICE || source == kInvalidFileAttributes ||
      (is_directory && !is_link)) {
    ::SetLastError(error);
    return false;
  }
  // Another volume: the file or link is copied whole beside `to` and renamed
  // onto it (the system's own copying move writes into `to` itself), and
  // only then does the original go.
  const bool copied = is_link ? CopyLink(from, to) : CopyFileAt(from, to, /*writable=*/false);
  return copied && (is_directory ? RemoveDirectoryW(from_path.c_str())
                                 : DeleteFileW(from_path.c_str())) != FALSE;
}

FsPath FullPath(const FsPath& path) {
  wchar_t full[kMaxPathChars];
  if (path.empty() ||
      _wfullpath(full, win::ToWide(path.value()).c_str(), kMaxPathChars) == nullptr) {
    return FsPath();
  }
  return FsPath(win::FromWide(full));
}

}  // namespace updater::platform
