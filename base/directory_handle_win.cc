#include <windows.h>

#include <string>
#include <utility>

#include "base/directory_handle_platform.h"
#include "base/native_win.h"

// A directory is named by its full path, and the handle kept open with it
// shares reading and writing but not deletion, so that nobody can rename or
// remove the directory (Windows also refuses to rename a directory above an
// open one) while it is in use: the path keeps naming the directory that was
// opened and inspected, and every entry below it is reached by that path and
// one component. The last component needs no guard of its own: the calls on
// it (attributes, delete, remove, rename) act on a link there, never on what
// it points to.
namespace updater {

struct OpenDirectoryState {
  HANDLE handle;
  std::wstring path;
};

}  // namespace updater

namespace updater::platform {
namespace {

constexpr DWORD kDirectoryAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kDirectorySharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

OpenDirectoryState* StateOf(intptr_t native) {
  return reinterpret_cast<OpenDirectoryState*>(native);
}

void Close(intptr_t native) {
  OpenDirectoryState* state = StateOf(native);
  CloseHandle(state->handle);
  delete state;
}

// Takes `opened` when it is a directory that is no link (and, when
// `expected` is given, that very file), named by `path` from now on.
DirectoryHandle Keep(HANDLE opened, std::wstring path, const FileId* expected) {
  if (opened == INVALID_HANDLE_VALUE) return DirectoryHandle();
  BY_HANDLE_FILE_INFORMATION information;
  const bool is_directory = GetFileInformationByHandle(opened, &information) &&
                            (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                            (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
  const FileId id{
      information.dwVolumeSerialNumber,
      (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
  if (!is_directory || (expected != nullptr && id != *expected)) {
    CloseHandle(opened);
    // What was inspected is gone; another file took its name.
    ::SetLastError(is_directory ? ERROR_FILE_NOT_FOUND : ERROR_DIRECTORY);
    return DirectoryHandle();
  }
  return DirectoryHandle(
      reinterpret_cast<intptr_t>(new OpenDirectoryState{opened, std::move(path)}));
}

// The path the system resolved the open directory to, links and all, in its
// long form, so that the components added to it are taken literally.
std::wstring FinalPath(HANDLE opened) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(
        opened, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
    if (length == 0) return std::wstring();
    const bool fits = length < path.size();
    path.resize(length);
    if (fits) return path;
  }
}

}  // namespace

DirectoryHandle::~DirectoryHandle() {
  if (IsValid()) Close(native_);
}

DirectoryHandle::DirectoryHandle(DirectoryHandle&& other) noexcept
    : native_(std::exchange(other.native_, kInvalid)) {}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept {
  if (this != &other) {
    if (IsValid()) Close(native_);
    native_ = std::exchange(other.native_, kInvalid);
  }
  return *this;
}

DirectoryHandle OpenDirectory(const FsPath& path) {
  if (path.empty()) {
    ::SetLastError(ERROR_PATH_NOT_FOUND);
    return DirectoryHandle();
  }
  const HANDLE opened =
      CreateFileW(win::ToWide(path.value()).c_str(), kDirectoryAccess, kDirectorySharing, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return DirectoryHandle();
  std::wstring final_path = FinalPath(opened);
  if (final_path.empty()) {
    CloseHandle(opened);
    return DirectoryHandle();
  }
  return Keep(opened, std::move(final_path), nullptr);
}

DirectoryHandle OpenDirectory(EntryAt entry, const FileId* expected) {
  std::wstring path;
  if (!win::EntryPath(entry, path)) return DirectoryHandle();
  const HANDLE opened =
      CreateFileW(path.c_str(), kDirectoryAccess, kDirectorySharing, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  return Keep(opened, std::move(path), expected);
}

}  // namespace updater::platform

namespace updater::win {

const std::wstring& PathOf(const platform::DirectoryHandle& directory) {
  return reinterpret_cast<const OpenDirectoryState*>(directory.native())->path;
}

}  // namespace updater::win
