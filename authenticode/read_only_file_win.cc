#include <windows.h>

#include <string>
#include <utility>

#include "authenticode/read_only_file_platform.h"
#include "base/native_win.h"

namespace updater::platform {

struct ReadOnlyFile::Native {
  explicit Native(HANDLE file) : handle(file) {}
  win::ScopedHandle handle;
  BY_HANDLE_FILE_INFORMATION opened = {};  // as it was when opened
};

namespace {

// Others may read it meanwhile; nobody may write, delete or rename it while
// it is open, so its path keeps naming it.
HANDLE OpenShared(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

bool ReadInformation(HANDLE handle, BY_HANDLE_FILE_INFORMATION& information) {
  return handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &information);
}

bool IsSameUnchangedFile(const BY_HANDLE_FILE_INFORMATION& one,
                         const BY_HANDLE_FILE_INFORMATION& other) {
  return one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
         one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow &&
         one.nFileSizeHigh == other.nFileSizeHigh && one.nFileSizeLow == other.nFileSizeLow &&
         CompareFileTime(&one.ftLastWriteTime, &other.ftLastWriteTime) == 0;
}

}  // namespace

std::optional<ReadOnlyFile> ReadOnlyFile::Open(const FsPath& path) {
  if (path.empty()) return std::nullopt;
  return FromNative(std::make_unique<Native>(OpenShared(win::ToWide(path.value()))));
}

// The directory's open handle keeps its path naming it, so the entry is
// reached by that path; a link there is refused rather than followed.
std::optional<ReadOnlyFile> ReadOnlyFile::Open(EntryAt entry) {
  std::wstring path;
  if (!win::EntryPath(entry, path) ||
      (win::AttributesOf(path) & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return std::nullopt;
  }
  return FromNative(std::make_unique<Native>(OpenShared(path)));
}

std::optional<ReadOnlyFile> ReadOnlyFile::FromNative(std::unique_ptr<Native> native) {
  const HANDLE handle = native->handle.get();
  LARGE_INTEGER size{};
  if (!native->handle.IsValid() || GetFileType(handle) != FILE_TYPE_DISK ||
      !GetFileSizeEx(handle, &size) || size.QuadPart < 0 ||
      !ReadInformation(handle, native->opened)) {
    return std::nullopt;
  }
  return ReadOnlyFile(std::move(native), static_cast<uint64_t>(size.QuadPart));
}

ReadOnlyFile::ReadOnlyFile(std::unique_ptr<Native> native, uint64_t size)
    : native_(std::move(native)), size_(size) {}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept = default;
ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept = default;
ReadOnlyFile::~ReadOnlyFile() = default;

bool ReadOnlyFile::IsNamedBy(const FsPath& path) const {
  // Attributes only: the open handle shares no more than reading.
  const win::ScopedHandle named(CreateFileW(win::ToWide(path.value()).c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION by_path{};
  return ReadInformation(named.get(), by_path) && IsSameUnchangedFile(by_path, native_->opened);
}

bool ReadOnlyFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
  size_t done = 0;
  while (done < out.size()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(out.size() - done, 1u << 30));
    DWORD read = 0;
    if (!ReadFile(native_->handle.get(), out.data() + done, wanted, &read, &at) || read == 0) {
      return false;
    }
    done += read;
  }
  return true;
}

}  // namespace updater::platform
