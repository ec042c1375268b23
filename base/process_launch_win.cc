#include <windows.h>

#include <string>

#include "base/native_win.h"
#include "base/process_launch_platform.h"

namespace updater::platform {
namespace {

HANDLE HandleOf(int64_t process) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(process));
}

}  // namespace

// The child gets the one command string and splits it by the rules that
// ToCommandString quotes for; it inherits no handle. The program item is
// also the application name, taken as it is: Windows neither searches for
// it nor appends ".exe" to a name without an extension, which could start a
// file other than the one named.
bool StartProcess(const ParsedCommandLine& command_line, int64_t& process) {
  if (command_line.items().empty()) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  const std::wstring application = win::ToWide(command_line.items().front());
  std::wstring command = win::ToWide(command_line.ToCommandString());  // the call may write to it
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(application.c_str(), command.data(), nullptr, nullptr,
                      /*bInheritHandles=*/FALSE, 0, nullptr, nullptr, &startup, &started)) {
    return false;
  }
  CloseHandle(started.hThread);
  process = reinterpret_cast<intptr_t>(started.hProcess);
  return true;
}

void WaitForProcess(int64_t process) {
  WaitForSingleObject(HandleOf(process), INFINITE);
}

void ReleaseProcess(int64_t process, bool /*ended*/) {
  CloseHandle(HandleOf(process));
}

}  // namespace updater::platform
