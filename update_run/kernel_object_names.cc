#include "update_run/kernel_object_names.h"

#include "base/known_paths.h"
#include "base/path_rules_platform.h"
#include "base/string_util.h"

namespace updater {

std::u16string MakeKernelObjectPrefix(std::u16string_view path, char16_t separator) {
  std::u16string prefix(path);
  for (char16_t& c : prefix) c = c == separator ? u'!' : ToLowerASCII(c);
  return prefix;
}

std::u16string GetKernelObjectPrefix(const FsPath& real_exe_path) {
  FsPath path = real_exe_path;
  if (path.empty()) GetKnownPath(kExeFile, path);
  return MakeKernelObjectPrefix(path.value(), platform::NativePathRules().join_separator);
}

std::u16string KernelObjectName(std::u16string_view prefix, std::u16string_view suffix) {
  std::u16string name = u"Global\\";
  name += prefix;
  name += suffix;
  return name;
}

}  // namespace updater
