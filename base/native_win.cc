#include "base/native_win.h"

namespace updater::win {
namespace {

constexpr std::u16string_view kRefusedInNames = u"\\/:";

}  // namespace

std::wstring ToWide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

std::u16string FromWide(std::wstring_view text) {
  return std::u16string(text.begin(), text.end());
}

ScopedHandle::~ScopedHandle() {
  if (IsValid()) CloseHandle(handle_);
}

bool EntryPath(platform::EntryAt entry, std::wstring& path) {
  const std::u16string_view name = entry.name;
  if (name.empty() || name == u"." || name == u".." ||
      name.find_first_of(kRefusedInNames) != std::u16string_view::npos ||
      name.find(u'\0') != std::u16string_view::npos || !entry.directory.IsValid()) {
    ::SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  path = PathOf(entry.directory) + L'\\' + ToWide(name);
  return true;
}

HANDLE OpenEntry(const std::wstring& path, DWORD access) {
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

FileAttributes AttributesOf(const std::wstring& path, FileId* id) {
  const ScopedHandle entry(OpenEntry(path, FILE_READ_ATTRIBUTES));
  BY_HANDLE_FILE_INFORMATION information;
  if (!entry.IsValid() || !GetFileInformationByHandle(entry.get(), &information)) {
    return kInvalidFileAttributes;
  }
  if (id != nullptr) {
    *id = FileId{
        information.dwVolumeSerialNumber,
        (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
  }
  return information.dwFileAttributes;
}

}  // namespace updater::win
