#ifndef BASE_DIRECTORY_SEARCH_PLATFORM_H_
#define BASE_DIRECTORY_SEARCH_PLATFORM_H_

#include <memory>
#include <string_view>

#include "base/directory_entry.h"
#include "base/directory_handle_platform.h"

namespace updater::platform {

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
  bool Open(const DirectoryHandle& directory,
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

}  // namespace updater::platform

#endif  // BASE_DIRECTORY_SEARCH_PLATFORM_H_
