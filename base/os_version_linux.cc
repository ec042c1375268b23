#include "base/os_version_platform.h"

namespace updater::platform {

// Nothing here is limited the way older Windows versions are.
OsVersionClass ReadOsVersionClass() {
  return kOsLater;
}

}  // namespace updater::platform
