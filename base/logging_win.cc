#include <windows.h>

#include <atomic>
#include <string>

#include "base/logging_platform.h"
#include "base/native_win.h"
#include "base/process_facts_platform.h"

namespace updater::platform {
namespace {

constexpr wchar_t kLogFileName[] = L"debug.log";

// One handle per process, opened by the first message that can open it and
// kept until the process ends.
std::atomic<HANDLE> g_log_file{INVALID_HANDLE_VALUE};

// Appending only, so that every write lands at the end of the file whoever
// else writes to it. Only a plain file, never through a link: a link planted
// where the log falls back (the current directory) would have the updater
// append to a file of someone else's choosing.
HANDLE OpenForAppending(const std::wstring& path) {
  const HANDLE file =
      CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return file;
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

HANDLE OpenLogFile() {
  const std::wstring executable = win::ToWide(ReadExecutablePath().value());
  const size_t separator = executable.find_last_of(L"\\/");
  HANDLE file = INVALID_HANDLE_VALUE;
  if (separator != std::wstring::npos) {
    file = OpenForAppending(executable.substr(0, separator + 1) + kLogFileName);
  }
  return file != INVALID_HANDLE_VALUE ? file : OpenForAppending(kLogFileName);
}

// Two threads may race to open; the loser closes its handle.
HANDLE LogFile() {
  HANDLE file = g_log_file.load();
  if (file != INVALID_HANDLE_VALUE) return file;
  const HANDLE opened = OpenLogFile();
  if (opened == INVALID_HANDLE_VALUE) return opened;
  if (g_log_file.compare_exchange_strong(file, opened)) return opened;
  CloseHandle(opened);
  return file;
}

// One write per line, so that lines of several writers never interleave.
void WriteWhole(HANDLE file, std::string_view text) {
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

LogTime CurrentLocalTime() {
  SYSTEMTIME local;
  GetLocalTime(&local);
  return LogTime{local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

void AppendToLogFile(std::string_view line) {
  const HANDLE file = LogFile();
  if (file != INVALID_HANDLE_VALUE) WriteWhole(file, line);
}

// A windowed process has no standard error; the line is then dropped.
void WriteToStandardError(std::string_view line) {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error != nullptr && error != INVALID_HANDLE_VALUE) WriteWhole(error, line);
}

}  // namespace updater::platform
