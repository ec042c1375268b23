#ifndef BASE_NATIVE_WIN_H_
#define BASE_NATIVE_WIN_H_

#include <windows.h>

#include <string>
#include <string_view>

#include "base/directory_handle_platform.h"
#include "base/file_attributes.h"

// What every Windows file of the updater uses to name and open files.
namespace updater::win {

// UTF-16 both ways: wchar_t is 16 bits wide here.
std::wstring ToWide(std::u16string_view text);
std::u16string FromWide(std::wstring_view text);

// Owns one handle, or none.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~ScopedHandle();
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  HANDLE get() const { return handle_; }
  bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }

 private:
  HANDLE handle_;
};

// The full path of an open directory, which its handle keeps from being
// renamed or removed while it is open.
const std::wstring& PathOf(const platform::DirectoryHandle& directory);

// The full path of an entry; false (ERROR_INVALID_NAME) unless its name is a
// single component below its directory: empty, ".", "..", a separator, a
// drive or stream colon and NUL are not.
bool EntryPath(platform::EntryAt entry, std::wstring& path);

// Opens `path` itself, never what a link there points to, for `access`,
// sharing everything, so that no other opener is disturbed.
HANDLE OpenEntry(const std::wstring& path, DWORD access);

// The attributes of what `path` names, a link not followed, with its
// identity when `id` is given; kInvalidFileAttributes when it cannot be read.
FileAttributes AttributesOf(const std::wstring& path, FileId* id = nullptr);

}  // namespace updater::win

#endif  // BASE_NATIVE_WIN_H_
