#include "dialog/show_in_file_manager_win.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "base/native_win.h"

namespace updater::platform {
namespace {

using ShellExecuteFunction = decltype(&ShellExecuteW);

// The shell library is large and rarely needed here: it is loaded when the
// folder is first asked for, from the system directory only.
ShellExecuteFunction LoadShellExecute() {
  const HMODULE shell = LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!shell) return nullptr;
  return reinterpret_cast<ShellExecuteFunction>(
      reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteW")));
}

// Explorer by its full path: a bare name would be looked for in the current
// directory first, where anyone may have left a program of that name.
std::wstring ExplorerPath() {
  wchar_t windows_directory[MAX_PATH];
  const UINT length = GetWindowsDirectoryW(windows_directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(windows_directory, length) + L"\\explorer.exe";
}

}  // namespace

void ShowInFileManager(const FsPath& selected) {
  static const ShellExecuteFunction shell_execute = LoadShellExecute();
  const std::wstring explorer = ExplorerPath();
  if (!shell_execute || explorer.empty()) return;
  const std::wstring parameters = L"/select, \"" + win::ToWide(selected.value()) + L"\"";
  shell_execute(nullptr, L"open", explorer.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL);
}

}  // namespace updater::platform
