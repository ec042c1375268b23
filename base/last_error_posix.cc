#include <errno.h>

#include "base/last_error_platform.h"

namespace updater::platform {

int LastError() {
  return errno;
}

void SetLastError(int error) {
  errno = error;
}

}  // namespace updater::platform
