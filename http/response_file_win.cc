#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "base/native_win.h"
#include "http/response_file_platform.h"

namespace updater::platform {
namespace {

// Bytes per WriteFile call, which takes a 32-bit count.
constexpr size_t kMaxWriteSize = 1 << 30;

// An open directory is named in its long form ("\\?\C:\..."): the limit
// counts the path as the user names it.
constexpr std::wstring_view kLongPathPrefix = L"\\\\?\\";

size_t UserPathLength(std::wstring_view path) {
  return path.starts_with(kLongPathPrefix) ? path.size() - kLongPathPrefix.size() : path.size();
}

bool WriteFully(HANDLE file, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const auto size = static_cast<DWORD>(std::min(bytes.size(), kMaxWriteSize));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), size, &written, nullptr) || written == 0) return false;
    bytes = bytes.subspan(written);
  }
  return true;
}

}  // namespace

// The file takes the default security of its directory. Downloads go to the
// user's own temporary directory, whose inherited permissions admit only the
// user, the administrators and the system, so owner-only is what a file there
// gets without an explicit descriptor.
bool WriteResponseFile(EntryAt entry, std::span<const uint8_t> bytes) {
  std::wstring name;
  if (!win::EntryPath(entry, name) || UserPathLength(name) >= kMaxPathChars) return false;
  // A new file, so that nothing planted at the path (a file, a link, a
  // junction) is written through; no sharing while it is written.
  HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteFully(file, bytes);
  return CloseHandle(file) && written;
}

}  // namespace updater::platform
