// A stand-in for the browser's and the plug-in's installers in the Windows
// end-to-end tests: a real Windows program that does what the instructions
// appended to its image say. They are appended before the image is signed,
// so the signature covers them as it covers the code.
//
// The instructions follow the last kMarker line, one per line, fields
// separated by tabs, UTF-8, up to a line "end":
//   record <file>            the command line, then each argument, one per line
//   extract                  the arguments must be exactly -s -d<dir>, else exit 3
//   dir <relative>           a directory below <dir>
//   file <relative> <text>   a file below <dir>
//   lock <file>              opens <file> sharing nothing, until the program ends
//   hold <started> <release> creates <started>, waits (at most a minute) for <release>
//   exit <code>
// A step that fails ends the program with 4.
#include <windows.h>
// After <windows.h>, which it needs.
#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/native_win.h"
#include "base/string_util.h"

namespace {

constexpr std::string_view kMarker = "\n#rz-test-installer-instructions\n";
constexpr int kBadArguments = 3;
constexpr int kStepFailed = 4;
constexpr int kHoldPolls = 1200;  // of 50 ms

std::wstring Wide(std::string_view utf8) {
  return updater::win::ToWide(updater::UTF8ToUTF16(utf8));
}

std::string Utf8(std::wstring_view wide) {
  return updater::UTF16ToUTF8(updater::win::FromWide(wide));
}

std::string ReadWholeFile(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
    bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

bool WriteWholeFile(const std::wstring& path, std::string_view bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD wrote = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr) &&
      wrote == bytes.size();
  return CloseHandle(file) && ok;
}

// `path` and every directory above it that is missing.
bool MakeDirectories(const std::wstring& path) {
  for (size_t slash = path.find(L'\\', 3);; slash = path.find(L'\\', slash + 1)) {
    const std::wstring part = path.substr(0, slash);
    if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      return false;
    if (slash == std::wstring::npos) return true;
  }
}

std::wstring ParentOf(const std::wstring& path) {
  return path.substr(0, path.rfind(L'\\'));
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  for (size_t start = 0;;) {
    const size_t end = text.find(separator, start);
    pieces.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return pieces;
    start = end + 1;
  }
}

struct Run {
  std::vector<std::wstring> arguments;  // the program's own first
  std::wstring extract_dir;             // set by "extract"
};

std::wstring Below(const Run& run, const std::string& relative) {
  std::wstring path = run.extract_dir + L"\\" + Wide(relative);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

bool Record(const Run& run, const std::string& file) {
  std::string lines = Utf8(GetCommandLineW()) + "\n";
  for (const std::wstring& argument : run.arguments) lines += Utf8(argument) + "\n";
  return WriteWholeFile(Wide(file), lines);
}

int Extract(Run& run) {
  if (run.arguments.size() != 3 || run.arguments[1] != L"-s" ||
      run.arguments[2].rfind(L"-d", 0) != 0 || run.arguments[2].size() < 3) {
    return kBadArguments;
  }
  run.extract_dir = run.arguments[2].substr(2);
  return MakeDirectories(run.extract_dir) ? 0 : kStepFailed;
}

bool Hold(const std::string& started, const std::string& release) {
  if (!WriteWholeFile(Wide(started), "")) return false;
  for (int poll = 0; poll < kHoldPolls; ++poll) {
    if (GetFileAttributesW(Wide(release).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(50);
  }
  return true;
}

// The handle stays open, and the file locked, until the program ends.
bool Lock(const std::string& file) {
  return CreateFileW(Wide(file).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr) != INVALID_HANDLE_VALUE;
}

// The exit code the instruction ends the program with, or -1 to go on.
int Perform(Run& run, const std::vector<std::string>& step) {
  const std::string& what = step[0];
  const size_t fields = step.size();
  if (what == "record" && fields == 2) return Record(run, step[1]) ? -1 : kStepFailed;
  if (what == "extract") {
    const int code = Extract(run);
    return code == 0 ? -1 : code;
  }
  if (what == "dir" && fields == 2) return MakeDirectories(Below(run, step[1])) ? -1 : kStepFailed;
  if (what == "file" && fields == 3) {
    const std::wstring path = Below(run, step[1]);
    return MakeDirectories(ParentOf(path)) && WriteWholeFile(path, step[2]) ? -1 : kStepFailed;
  }
  if (what == "lock" && fields == 2) return Lock(step[1]) ? -1 : kStepFailed;
  if (what == "hold" && fields == 3) return Hold(step[1], step[2]) ? -1 : kStepFailed;
  if (what == "exit" && fields == 2)
    return static_cast<int>(std::strtol(step[1].c_str(), nullptr, 10));
  return kStepFailed;
}

std::vector<std::wstring> Arguments() {
  int count = 0;
  wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> arguments(list, list + (list ? count : 0));
  LocalFree(list);
  return arguments;
}

}  // namespace

int wmain() {
  wchar_t own_path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, own_path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return kStepFailed;
  const std::string image = ReadWholeFile(own_path);
  const size_t marker = image.rfind(kMarker);
  if (marker == std::string::npos) return kStepFailed;
  const size_t start = marker + kMarker.size();
  const size_t end = image.find("\nend\n", start);
  if (end == std::string::npos) return kStepFailed;

  Run run{Arguments(), L""};
  for (const std::string& line : Split(std::string_view(image).substr(start, end - start), '\n')) {
    const int code = Perform(run, Split(line, '\t'));
    if (code >= 0) return code;
  }
  return 0;
}
