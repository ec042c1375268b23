#include <string>
#include <vector>

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

}  // namespace updater::platform
