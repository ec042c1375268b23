#ifndef BASE_DIRECTORY_ENTRY_H_
#define BASE_DIRECTORY_ENTRY_H_

#include <string>

#include "base/file_attributes.h"
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

}  // namespace updater

#endif  // BASE_DIRECTORY_ENTRY_H_
