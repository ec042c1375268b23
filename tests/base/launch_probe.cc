// Started by the process-launch tests: writes to its standard output what it
// got, as NUL-terminated records: "A" + each argument (the program first),
// "C" + its current directory, "E" + $UPDATER_PROBE_VALUE, "F" + each open
// descriptor, then "END". $UPDATER_PROBE_DELAY_MS delays the report and
// $UPDATER_PROBE_EXIT_CODE is its exit code.
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

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

}  // namespace

int main(int argc, char** argv) {
  std::this_thread::sleep_for(
      std::chrono::milliseconds(EnvironmentNumber("UPDATER_PROBE_DELAY_MS")));
  std::string out;
  for (int i = 0; i < argc; ++i) Record(out, 'A', argv[i]);
  char directory[4096];
  Record(out, 'C', getcwd(directory, sizeof(directory)) ? directory : "?");
  const char* value = getenv("UPDATER_PROBE_VALUE");
  Record(out, 'E', value ? value : "");
  if (DIR* fds = opendir("/proc/self/fd")) {
    while (const dirent* entry = readdir(fds)) {
      const std::string name = entry->d_name;
      if (name == "." || name == ".." || std::stoi(name) == dirfd(fds)) continue;
      Record(out, 'F', name);
    }
    closedir(fds);
  }
  out += "END";
  out += '\0';
  for (size_t written = 0; written < out.size();) {
    const ssize_t n = write(1, out.data() + written, out.size() - written);
    if (n <= 0) return 99;
    written += static_cast<size_t>(n);
  }
  return EnvironmentNumber("UPDATER_PROBE_EXIT_CODE");
}
