#include "base/fs_path.h"

#include "base/path_rules_platform.h"
#include "base/string_util.h"

namespace updater {
namespace {

constexpr bool IsASCIILetter(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

}  // namespace

bool HasDriveLetter(std::u16string_view text, const PathRules& rules) {
  return rules.drive_letters && text.size() >= 2 && text[1] == u':' && IsASCIILetter(text[0]);
}

bool PathsEqual(const FsPath& a, const FsPath& b, const PathRules& rules) {
  const std::u16string_view x = a.value();
  const std::u16string_view y = b.value();
  if (x.size() != y.size()) return false;
  if (HasDriveLetter(x, rules) && HasDriveLetter(y, rules)) {
    return ToLowerASCII(x[0]) == ToLowerASCII(y[0]) && x.substr(1) == y.substr(1);
  }
  return x == y;
}

bool operator==(const FsPath& a, const FsPath& b) {
  return PathsEqual(a, b, platform::NativePathRules());
}

}  // namespace updater
