#include "tests/support/test_files.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace updater::test_support {

namespace fs = std::filesystem;

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const fs::path& path, const std::string& bytes) {
  const fs::path parent = path.parent_path();
  if (!parent.empty()) fs::create_directories(parent);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file.flush()) throw std::runtime_error("cannot write " + path.string());
}

std::string MakeScratchDirectory(const std::string& prefix) {
  const char* base = getenv("TMPDIR");
  std::string pattern = (base != nullptr && base[0] == '/') ? base : "/tmp";
  pattern += "/" + prefix + "XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot make a scratch directory under " + pattern);
  return pattern;
}

ProgramForAnyUser::ProgramForAnyUser(const fs::path& program) {
  std::string pattern = "/tmp/rz-program-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot make a directory for " + program.string());
  directory_ = pattern;
  path_ = directory_ + "/" + program.filename().string();
  constexpr fs::perms kAnyoneRuns = fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec;
  fs::permissions(directory_, kAnyoneRuns);
  fs::copy_file(program, path_);
  fs::permissions(path_, kAnyoneRuns);
}

ProgramForAnyUser::~ProgramForAnyUser() {
  std::error_code ignored;
  fs::remove_all(directory_, ignored);
}

}  // namespace updater::test_support
