#include <unistd.h>

#include <climits>
#include <string>
#include <utility>

#include "base/executable_path_platform.h"
#include "base/string_util.h"

namespace updater::platform {

FsPath ReadExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer));
  if (length <= 0 || static_cast<size_t>(length) >= sizeof(buffer)) return FsPath();
  const std::string_view name(buffer, static_cast<size_t>(length));
  std::u16string path = UTF8ToUTF16(name);
  // A name that is not UTF-8 comes back from UTF-16 as another file's name.
  if (UTF16ToUTF8(path) != name) return FsPath();
  return FsPath(std::move(path));
}

}  // namespace updater::platform
