#include <windows.h>

#include "base/fs_path.h"
#include "base/native_win.h"
#include "base/temp_path_platform.h"

namespace updater::platform {

// Windows gives each user a temporary directory in the user's own profile,
// which other users cannot write. Empty when the reported directory is not
// there or does not fit the path limit.
std::u16string ReadTempPath() {
  wchar_t buffer[kMaxPathChars + 1];
  const DWORD length = GetTempPathW(kMaxPathChars + 1, buffer);
  if (length == 0 || length > kMaxPathChars) return u"";
  const DWORD attributes = GetFileAttributesW(buffer);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return u"";
  }
  return win::FromWide(std::wstring_view(buffer, length));
}

}  // namespace updater::platform
