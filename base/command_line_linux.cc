#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/string_util.h"

namespace updater {

// The argument vector exactly as the kernel handed it to the process.
std::vector<std::u16string> CurrentProcessArguments() {
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  const std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<std::u16string> arguments;
  size_t start = 0;
  while (start < raw.size()) {
    size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    arguments.push_back(UTF8ToUTF16(std::string_view(raw).substr(start, end - start)));
    start = end + 1;
  }
  return arguments;
}

}  // namespace updater
