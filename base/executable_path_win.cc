#include <windows.h>

#include "base/executable_path_platform.h"
#include "base/native_win.h"

namespace updater::platform {

// A path that fills the buffer was cut short: it names another file.
FsPath ReadExecutablePath() {
  wchar_t buffer[kMaxPathChars];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, kMaxPathChars);
  if (length == 0 || length >= kMaxPathChars) return FsPath();
  return FsPath(win::FromWide(std::wstring_view(buffer, length)));
}

}  // namespace updater::platform
