#ifndef TESTS_BASE_TEMP_TREE_H_
#define TESTS_BASE_TEMP_TREE_H_

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/fs_path.h"
#include "base/string_util.h"

namespace updater {

// A fresh directory below `parent`, removed with everything in it (links
// not followed) when the test ends.
class TempTree {
 public:
  explicit TempTree(const std::string& parent = "/tmp") {
    std::string pattern = parent + "/base_tests_XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) root_ = pattern;
  }
  ~TempTree() {
    if (root_.empty()) return;
    // Give every directory back its write bit so the removal can proceed.
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_, error)) {
      if (entry.is_directory() && !entry.is_symlink()) chmod(entry.path().c_str(), 0755);
    }
    std::filesystem::remove_all(root_, error);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  bool ok() const { return !root_.empty(); }
  const std::string& root() const { return root_; }
  std::string Native(const std::string& relative) const { return root_ + "/" + relative; }
  FsPath Path(const std::string& relative = "") const {
    return FsPath(UTF8ToUTF16(relative.empty() ? root_ : Native(relative)));
  }

  void MakeDir(const std::string& relative) const {
    std::filesystem::create_directories(Native(relative));
  }
  // Creates the file's directories as needed.
  void Write(const std::string& relative, const std::string& contents) const {
    std::filesystem::create_directories(std::filesystem::path(Native(relative)).parent_path());
    std::ofstream(Native(relative), std::ios::binary) << contents;
  }

 private:
  std::string root_;
};

inline std::string Narrow(const FsPath& path) {
  return UTF16ToUTF8(path.value());
}

inline std::string ReadContents(const std::string& native) {
  std::ifstream file(native, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string& native) {
  struct stat status;
  return lstat(native.c_str(), &status) == 0;
}

// The text of the link `native`, or "" when it is no link.
inline std::string LinkTarget(const std::string& native) {
  std::error_code error;
  return std::filesystem::read_symlink(native, error).string();
}

inline mode_t ModeOf(const std::string& native) {
  struct stat status;
  return lstat(native.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0;
}

}  // namespace updater

#endif  // TESTS_BASE_TEMP_TREE_H_
