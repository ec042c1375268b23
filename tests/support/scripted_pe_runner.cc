// The binfmt_misc interpreter of the tests' scripted PE images: runs the
// shell script held in the image's section with the image's path as $0 and
// the remaining arguments as $1...
//   scripted_pe_runner <image> [arguments...]
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/authenticode/test_pe_image.h"

namespace {

constexpr size_t kMaxScriptSize = 1 << 20;

bool ReadScript(const char* image_path, std::string& script) {
  std::ifstream image(image_path, std::ios::binary);
  std::string magic(updater::kScriptedPeMagic.size(), '\0');
  image.seekg(updater::kScriptedPeMagicOffset);
  if (!image.read(magic.data(), static_cast<std::streamsize>(magic.size())) ||
      magic != updater::kScriptedPeMagic) {
    return false;
  }
  image.seekg(updater::kScriptedPeScriptOffset);
  std::getline(image, script, '\0');
  return !script.empty() && script.size() <= kMaxScriptSize;
}

}  // namespace

int main(int argc, char** argv) {
  std::string script;
  if (argc < 2 || !ReadScript(argv[1], script)) {
    std::fprintf(stderr, "scripted_pe_runner: no script in %s\n", argc > 1 ? argv[1] : "?");
    return 126;
  }
  std::vector<char*> shell_arguments = {const_cast<char*>("sh"), const_cast<char*>("-c"),
                                        script.data()};
  for (int i = 1; i < argc; ++i) shell_arguments.push_back(argv[i]);
  shell_arguments.push_back(nullptr);
  execv("/bin/sh", shell_arguments.data());
  std::perror("scripted_pe_runner: /bin/sh");
  return 127;
}
