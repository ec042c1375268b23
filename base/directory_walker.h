#ifndef BASE_DIRECTORY_WALKER_H_
#define BASE_DIRECTORY_WALKER_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/directory_entry.h"
#include "base/directory_handle_platform.h"
#include "base/directory_search_platform.h"
#include "base/fs_path.h"

namespace updater {

// What a walk reports.
inline constexpr int kWalkFiles = 1;
inline constexpr int kWalkDirectories = 2;
inline constexpr int kWalkIncludeDotDot = 4;

// Enumerates a directory, optionally with its subdirectories. The entries of
// one directory come in the platform's order; a subdirectory is reported
// while its parent is read, before its own entries, and once a directory is
// exhausted the subdirectory found last is read next. A link to a directory
// is reported but never entered, nor is "..". The name pattern ("*" and "?";
// empty means "*") applies to the starting directory only. Holds one open
// search at a time, and open the directories whose subdirectories are still
// to be read: a subdirectory is opened from its parent, and only when it is
// still the directory reported (not a link swapped in since). Cannot be
// restarted.
class DirectoryWalker {
 public:
  DirectoryWalker(const FsPath& directory,
                  bool recursive,
                  int types,
                  std::u16string_view pattern = std::u16string_view());
  DirectoryWalker(const DirectoryWalker&) = delete;
  DirectoryWalker& operator=(const DirectoryWalker&) = delete;

  // The next entry's path, or an empty path when the walk is over.
  FsPath Next();
  // The record of the entry last returned by Next().
  const WalkEntry& Entry() const { return entry_; }

 private:
  using SharedDirectory = std::shared_ptr<const platform::DirectoryHandle>;

  // A directory still to be read: the starting one by its path, the others
  // as the entry of their open parent.
  struct PendingDirectory {
    SharedDirectory parent;
    FsPath path;
    WalkEntry entry;
  };

  // Reads the next entry of the current search, opening the next pending
  // directory when none is open; false when that search has ended.
  bool ReadEntry();

  FsPath root_;
  bool recursive_;
  int types_;
  std::u16string pattern_;
  std::vector<PendingDirectory> pending_;
  SharedDirectory directory_;
  platform::DirectorySearch search_;
  bool has_entry_ = false;
  WalkEntry entry_;
};

}  // namespace updater

#endif  // BASE_DIRECTORY_WALKER_H_
