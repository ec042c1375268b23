#include <windows.h>
#include <winioctl.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "base/file_operations_platform.h"
#include "base/native_win.h"

namespace updater::platform {
namespace {

using win::EntryPath;
using win::ScopedHandle;

constexpr wchar_t kTemporaryPrefix[] = L".copy-";
constexpr wchar_t kTemporaryLetters[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kTemporaryRandomChars = 8;
constexpr int kTemporaryAttempts = 100;
// The header of a reparse point's data before its own bytes.
constexpr DWORD kReparseHeaderBytes = 8;

std::wstring TemporaryName() {
  static thread_local std::mt19937_64 generator{std::random_device()()};
  std::uniform_int_distribution<size_t> letter(0, std::size(kTemporaryLetters) - 2);
  std::wstring name = kTemporaryPrefix;
  for (size_t i = 0; i < kTemporaryRandomChars; ++i) name += kTemporaryLetters[letter(generator)];
  return name;
}

// Creates a fresh entry under a name of its own in `directory` with
// `create`, which fails with ERROR_FILE_EXISTS or ERROR_ALREADY_EXISTS when
// the name is taken; its path goes to `temporary`.
bool CreateFresh(const DirectoryHandle& directory,
                 const std::function<bool(const std::wstring&)>& create,
                 std::wstring& temporary) {
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    temporary = win::PathOf(directory) + L'\\' + TemporaryName();
    if (create(temporary)) return true;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

// Deletes the fresh entry, keeping the error that made it go.
void Discard(const std::wstring& temporary) {
  const DWORD error = GetLastError();
  SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileW(temporary.c_str())) RemoveDirectoryW(temporary.c_str());
  ::SetLastError(error);
}

// Renames the fresh entry onto `to`, which is then either its old self or
// the whole new entry; the fresh entry goes when that fails.
bool ReplaceWith(const std::wstring& temporary, const std::wstring& to) {
  if (MoveFileExW(temporary.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  Discard(temporary);
  return false;
}

bool ClearReadOnly(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) != FALSE;
}

// The reparse data of the link `path`, header included.
bool ReadLink(const std::wstring& path, std::vector<BYTE>& data) {
  const ScopedHandle link(win::OpenEntry(path, FILE_READ_ATTRIBUTES | FILE_READ_EA));
  data.resize(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD got = 0;
  if (!link.IsValid() ||
      !DeviceIoControl(link.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                       static_cast<DWORD>(data.size()), &got, nullptr)) {
    return false;
  }
  data.resize(got);
  return got >= kReparseHeaderBytes;
}

bool WriteLink(const std::wstring& path, std::vector<BYTE>& data) {
  const ScopedHandle link(win::OpenEntry(path, GENERIC_WRITE));
  DWORD unused = 0;
  return link.IsValid() &&
         DeviceIoControl(link.get(), FSCTL_SET_REPARSE_POINT, data.data(),
                         static_cast<DWORD>(data.size()), nullptr, 0, &unused, nullptr);
}

}  // namespace

// Copied beside the target first, so that the target is replaced in one
// rename: by a complete copy or not at all, and a link there is replaced
// rather than written through.
bool CopyFileAt(EntryAt from, EntryAt to, bool writable) {
  std::wstring from_path;
  std::wstring to_path;
  if (!EntryPath(from, from_path) || !EntryPath(to, to_path)) return false;
  const FileAttributes source = win::AttributesOf(from_path);
  if (source == kInvalidFileAttributes) return false;
  if ((source & (kFileAttributeDirectory | kFileAttributeReparsePoint)) != 0) {
    ::SetLastError((source & kFileAttributeReparsePoint) != 0 ? ERROR_CANT_ACCESS_FILE
                                                              : ERROR_DIRECTORY);
    return false;
  }
  std::wstring temporary;
  const auto create = [&from_path](const std::wstring& path) {
    return CopyFileW(from_path.c_str(), path.c_str(), /*bFailIfExists=*/TRUE) != FALSE;
  };
  if (!CreateFresh(to.directory, create, temporary)) return false;
  if (writable && !ClearReadOnly(temporary)) {
    Discard(temporary);
    return false;
  }
  return ReplaceWith(temporary, to_path);
}

bool LinkFileAt(EntryAt from, EntryAt to) {
  std::wstring from_path;
  std::wstring to_path;
  if (!EntryPath(from, from_path) || !EntryPath(to, to_path)) return false;
  std::wstring temporary;
  const auto create = [&from_path](const std::wstring& path) {
    return CreateHardLinkW(path.c_str(), from_path.c_str(), nullptr) != FALSE;
  };
  return CreateFresh(to.directory, create, temporary) && ReplaceWith(temporary, to_path);
}

// A directory link is a directory entry, which no rename may replace: an
// old link or file at `to` is removed first.
bool CopyLink(EntryAt from, EntryAt to) {
  std::wstring from_path;
  std::wstring to_path;
  std::vector<BYTE> data;
  if (!EntryPath(from, from_path) || !EntryPath(to, to_path) || !ReadLink(from_path, data)) {
    return false;
  }
  const bool is_directory = (win::AttributesOf(from_path) & kFileAttributeDirectory) != 0;
  std::wstring temporary;
  const auto create = [is_directory](const std::wstring& path) {
    if (is_directory) return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
    const ScopedHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    return file.IsValid();
  };
  if (!CreateFresh(to.directory, create, temporary)) return false;
  if (!WriteLink(temporary, data)) {
    Discard(temporary);
    return false;
  }
  if (!is_directory) return ReplaceWith(temporary, to_path);
  const FileAttributes old = win::AttributesOf(to_path);
  const bool old_gone =
      old == kInvalidFileAttributes ||
      ((old & kFileAttributeReparsePoint) != 0 && (old & kFileAttributeDirectory) != 0
           ? RemoveDirectoryW(to_path.c_str())
           : (old & kFileAttributeDirectory) == 0 && DeleteFileW(to_path.c_str()));
  if (!old_gone || !MoveFileExW(temporary.c_str(), to_path.c_str(), 0)) {
    Discard(temporary);
    return false;
  }
  return true;
}

}  // namespace updater::platform
