#ifndef BASE_DIRECTORY_SEARCH_PLATFORM_H_
#define BASE_DIRECTORY_SEARCH_PLATFORM_H_

#include <memory>
#include <string>
#include <string_view>

#include "base/file_attributes.h"
#include "base/file_platform.h"
#include "base/os_version.h"

namespace updater {

// The platform's record of one directory entry.
struct WalkEntry {
  FileAttributes attributes = 0;
  std::u16string name;
  FileId id;

  bool IsDirectory() const { return (attributes & kFileAttributeDirectory) != 0; }
  bool IsReparsePoint() const { return (attributes & kFileAttributeReparsePoint) != 0; }
  bool IsReadOnly() const { return (attributes & kFileAttributeReadOnly) != 0; }
  // "." or "..": the directory itself or its parent, never one of its own.
  bool IsSelfOrParent() const { return name == u"." || name == u".."; }
};

// How a search asks the platform for entries.
enum class SearchMode {
  kFull,             // every detail the platform has
  kBasicLargeFetch,  // names and attributes only, fetched in large batches
};

// The mode the running system serves best.
inline SearchMode PreferredSearchMode() {
  return GetOsVersionClass() >= kOsWin7 ? SearchMode::kBasicLargeFetch : SearchMode::kFull;
}

// One open search of a directory for entries whose names match a pattern
// ("*" and "?" wildcards), in the platform's order; "." and ".." included
// when they match. Owns the platform's search and closes it.
class DirectorySearch {
 public:
  DirectorySearch();
  ~DirectorySearch();
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;

  // Starts a search of an open directory from its first entry and reads
  // that; false (and nothing open) when the directory cannot be read or
  // nothing matches. One search at a time per directory.
  bool Open(const platform::DirectoryHandle& directory,
            std::u16string_view pattern,
            SearchMode mode,
            WalkEntry& entry);
  // The next entry; false at the end, which closes the search.
  bool Next(WalkEntry& entry);
  void Close();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace updater

#endif  // BASE_DIRECTORY_SEARCH_PLATFORM_H_
