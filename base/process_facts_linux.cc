#include <unistd.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "base/native_posix.h"
#include "base/process_facts_platform.h"
#include "base/string_util.h"

namespace updater::platform {
namespace {

std::vector<std::u16string>* g_process_arguments = nullptr;

// glibc hands every initialiser of the program the argument vector that main
// gets, exactly as the kernel passed it; nothing in the file system (which a
// sandbox or a missing /proc can hide) is read for it.
void CaptureProcessArguments(int argc, char** argv, char**) {
  g_process_arguments = new std::vector<std::u16string>();
  for (int i = 0; i < argc && argv[i] != nullptr; ++i) {
    g_process_arguments->push_back(UTF8ToUTF16(argv[i]));
  }
}

[[gnu::section(".init_array"),
  gnu::used]] void (*const kCaptureProcessArguments)(int,
                                                     char**,
                                                     char**) = &CaptureProcessArguments;

}  // namespace

std::vector<std::u16string> CurrentProcessArguments() {
  return g_process_arguments != nullptr ? *g_process_arguments : std::vector<std::u16string>();
}

FsPath ReadExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer));
  if (length <= 0 || static_cast<size_t>(length) >= sizeof(buffer)) return FsPath();
  std::u16string path;
  if (!posix::FromNativeText(std::string_view(buffer, static_cast<size_t>(length)), path)) {
    return FsPath();
  }
  return FsPath(std::move(path));
}

// Nothing here is limited the way older Windows versions are.
OsVersionClass ReadOsVersionClass() {
  return kOsLater;
}

void ExitProcessNow(int exit_code) {
  _exit(exit_code);
}

}  // namespace updater::platform
