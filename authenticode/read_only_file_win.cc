#include <windows.h>

#include <string>
#include <utility>

#include "authenticode/read_only_file_platform.h"
#include "base/file_util_win.h"

namespace updater::platform {

struct ReadOnlyFile::Native {
  explicit Native(HANDLE opened) : handle(opened) {}
  win::ScopedHandle handle;
};

std::optional<ReadOnlyFile> ReadOnlyFile::Open(const FsPath& path) {
  if (path.empty()) return std::nullopt;
  // Others may read it meanwhile, nobody may change it while it is checked.
  auto native = std::make_unique<Native>(
      CreateFileW(win::ToWide(path.value()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  const HANDLE handle = native->handle.get();
  LARGE_INTEGER size{};
  if (!native->handle.IsValid() || GetFileType(handle) != FILE_TYPE_DISK ||
      !GetFileSizeEx(handle, &size) || size.QuadPart < 0) {
    return std::nullopt;
  }
  return ReadOnlyFile(std::move(native), static_cast<uint64_t>(size.QuadPart));
}

ReadOnlyFile::ReadOnlyFile(std::unique_ptr<Native> native, uint64_t size)
    : native_(std::move(native)), size_(size) {}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept = default;
ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept = default;
ReadOnlyFile::~ReadOnlyFile() = default;

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
