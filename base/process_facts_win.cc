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

}  // namespace updater::platform
