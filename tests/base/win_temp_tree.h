#ifndef TESTS_BASE_WIN_TEMP_TREE_H_
#define TESTS_BASE_WIN_TEMP_TREE_H_

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "base/fs_path.h"

namespace updater {

// A fresh directory in the user's temporary directory, removed with
// everything in it when the test ends.
class WinTempTree {
 public:
  WinTempTree() {
    wchar_t temp[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, temp) == 0) return;
    std::random_device random;
    const std::wstring root = temp + std::wstring(L"base_tests_") + std::to_wstring(random());
    if (CreateDirectoryW(root.c_str(), nullptr)) root_ = root;
  }
  ~WinTempTree() {
    if (root_.empty()) return;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_, error)) {
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::remove_all(root_, error);
  }
  WinTempTree(const WinTempTree&) = delete;
  WinTempTree& operator=(const WinTempTree&) = delete;

  bool ok() const { return !root_.empty(); }
  std::wstring Native(const std::wstring& relative = L"") const {
    return relative.empty() ? root_ : root_ + L"\\" + relative;
  }
  FsPath Path(const std::wstring& relative = L"") const {
    const std::wstring native = Native(relative);
    return FsPath(std::u16string(native.begin(), native.end()));
  }
  void Write(const std::wstring& relative, const std::string& contents) const {
    std::filesystem::create_directories(std::filesystem::path(Native(relative)).parent_path());
    std::ofstream(std::filesystem::path(Native(relative)), std::ios::binary) << contents;
  }
  std::string Read(const std::wstring& relative) const {
    std::ifstream file(std::filesystem::path(Native(relative)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::wstring& relative) const {
    return GetFileAttributesW(Native(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

 private:
  std::wstring root_;
};

}  // namespace updater

#endif  // TESTS_BASE_WIN_TEMP_TREE_H_
