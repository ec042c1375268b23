#ifndef BASE_FS_PATH_H_
#define BASE_FS_PATH_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "base/path_rules.h"

namespace updater {

// Every operation that reaches the file system refuses a path of this many
// characters or more.
inline constexpr size_t kMaxPathChars = 260;

// A path value: the text up to its first NUL, nothing else normalised. An
// empty path is valid and means "no path".
class FsPath {
 public:
  FsPath() = default;
  explicit FsPath(std::u16string_view text) : value_(text.substr(0, text.find(u'\0'))) {}

  const std::u16string& value() const { return value_; }
  bool empty() const { return value_.empty(); }
  size_t size() const { return value_.size(); }

  // Equal under the native rules (see PathsEqual).
  friend bool operator==(const FsPath& a, const FsPath& b);

 private:
  std::u16string value_;
};

// Texts equal code unit by code unit, except that the drive letters may
// differ in ASCII case when both paths have one.
bool PathsEqual(const FsPath& a, const FsPath& b, const PathRules& rules);

// True when `text` begins with a drive letter and ":" under `rules`.
bool HasDriveLetter(std::u16string_view text, const PathRules& rules);

}  // namespace updater

#endif  // BASE_FS_PATH_H_
