#ifndef BASE_FS_PATH_H_
#define BASE_FS_PATH_H_

#include <string>
#include <string_view>

namespace updater {

// A path value: the text up to its first NUL, nothing else normalised. An
// empty path is valid and means "no path".
class FsPath {
 public:
  FsPath() = default;
  explicit FsPath(std::u16string_view text) : value_(text.substr(0, text.find(u'\0'))) {}

  const std::u16string& value() const { return value_; }
  bool empty() const { return value_.empty(); }

 private:
  std::u16string value_;
};

}  // namespace updater

#endif  // BASE_FS_PATH_H_
