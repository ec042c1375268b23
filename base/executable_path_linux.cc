#include <unistd.h>

#include <climits>
#include <string>
#include <utility>

#include "base/executable_path_platform.h"
#include "base/native_posix.h"

namespace updater::platform {

FsPath ReadExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer));
  if (length <= 0 || static_cast<size_t>(length) >= sizeof(buffer)) return FsPath();
  std::u16string path;
  if (!posix::FromNativeText(std::string_view(buffer, static_cast<size_t>(length)), path)) {
    return FsPath();
  }
  return FsPath(std::move(path));
}

}  // namespace updater::platform
