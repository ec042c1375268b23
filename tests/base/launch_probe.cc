// Started by the process-launch tests: writes to its standard output what it
// got, as NUL-terminated records: "A" + each argument (the program first),
// "C" + its current directory, "E" + $UPDATER_PROBE_VALUE, "F" + each open
// descriptor, then "END". $UPDATER_PROBE_DELAY_MS delays the report and
// $UPDATER_PROBE_EXIT_CODE is its exit code. On Windows the arguments are
// the system splitter's reading of its command string, there are no
// descriptors, and the report goes to the file $UPDATER_PROBE_OUTPUT (the
// child inherits no handle to write to).
#ifdef _WIN32
#include <windows.h>
// After <windows.h>, which it needs.
#include <shellapi.h>
#else
#include <dirent.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

void Record(std::string& out, char kind, const std::string& text) {
  out += kind;
  out += text;
  out += '\0';
}

int EnvironmentNumber(const char* name) {
  const char* value = getenv(name);
  return value == nullptr ? 0 : atoi(value);
}

#ifdef _WIN32
std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.pop_back();
  return out;
}

std::vector<std::string> Arguments(int, char**) {
  int count = 0;
  wchar_t** items = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8(items[i]));
  LocalFree(items);
  return arguments;
}

std::string CurrentDirectory() {
  wchar_t directory[MAX_PATH];
  return GetCurrentDirectoryW(MAX_PATH, directory) ? Utf8(directory) : "?";
}

void RecordDescriptors(std::string&) {}

bool Report(const std::string& out) {
  const char* path = getenv("UPDATER_PROBE_OUTPUT");
  FILE* file = path != nullptr ? fopen(path, "wb") : nullptr;
  if (file == nullptr) return false;
  const bool written = fwrite(out.data(), 1, out.size(), file) == out.size();
  return fclose(file) == 0 && written;
}
#else
std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::string CurrentDirectory() {
  char directory[4096];
  return getcwd(directory, sizeof(directory)) ? directory : "?";
}

void RecordDescriptors(std::string& out) {
  if (DIR* fds = opendir("/proc/self/fd")) {
    while (const dirent* entry = readdir(fds)) {
      const std::string name = entry->d_name;
      if (name == "." || name == ".." || std::stoi(name) == dirfd(fds)) continue;
      Record(out, 'F', name);
    }
    closedir(fds);
  }
}

bool Report(const std::string& out) {
  for (size_t written = 0; written < out.size();) {
    const ssize_t n = write(1, out.data() + written, out.size() - written);
    if (n <= 0) return false;
    written += static_cast<size_t>(n);
  }
  return true;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  std::this_thread::sleep_for(
      std::chrono::milliseconds(EnvironmentNumber("UPDATER_PROBE_DELAY_MS")));
  std::string out;
  for (const std::string& argument : Arguments(argc, argv)) Record(out, 'A', argument);
  Record(out, 'C', CurrentDirectory());
  const char* value = getenv("UPDATER_PROBE_VALUE");
  Record(out, 'E', value ? value : "");
  RecordDescriptors(out);
  out += "END";
  out += '\0';
  if (!Report(out)) return 99;
  return EnvironmentNumber("UPDATER_PROBE_EXIT_CODE");
}
