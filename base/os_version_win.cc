#include <windows.h>

#include "base/os_version_platform.h"

namespace updater::platform {

// Without a manifest that names them, Windows 8.1 and later report 6.2 here;
// the one use, the directory search mode, only asks for Windows 7 or later.
OsVersionClass ReadOsVersionClass() {
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
    return ClassifyOsVersion(0, 0, 0);
  return ClassifyOsVersion(static_cast<int>(version.dwMajorVersion),
                           static_cast<int>(version.dwMinorVersion),
                           static_cast<int>(version.dwBuildNumber));
}

}  // namespace updater::platform
