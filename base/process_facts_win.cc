#include <windows.h>
// After <windows.h>, which it needs.
#include <shellapi.h>

#include <string>
#include <vector>

#include "base/native_win.h"
#include "base/process_facts_platform.h"
#include "base/string_util.h"

namespace updater::platform {

// The command string is trimmed first: the system's splitter reads a
// leading blank as an empty program name, and an empty string as this
// program's own path.
std::vector<std::u16string> CurrentProcessArguments() {
  const std::u16string command(TrimWhitespace(win::FromWide(GetCommandLineW())));
  std::vector<std::u16string> arguments;
  if (command.empty()) return arguments;
  int count = 0;
  wchar_t** items = CommandLineToArgvW(win::ToWide(command).c_str(), &count);
  if (items == nullptr) return arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(win::FromWide(items[i]));
  LocalFree(items);
  return arguments;
}

// A path that fills the buffer was cut short: it names another file.
FsPath ReadExecutablePath() {
  wchar_t buffer[kMaxPathChars];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, kMaxPathChars);
  if (length == 0 || length >= kMaxPathChars) return FsPath();
  return FsPath(win::FromWide(std::wstring_view(buffer, length)));
}

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

void ExitProcessNow(int exit_code) {
  ExitProcess(static_cast<UINT>(exit_code));
}

}  // namespace updater::platform
