#include <unistd.h>

#include <climits>
#include <string>

#include "base/executable_path.h"
#include "base/string_util.h"

namespace updater {

FsPath ReadExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer));
  if (length <= 0 || static_cast<size_t>(length) >= sizeof(buffer))
    return FsPath();
  return FsPath(UTF8ToUTF16(std::string_view(buffer, static_cast<size_t>(length))));
}

}  // namespace updater
