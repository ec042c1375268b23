#include "base/os_version.h"

namespace updater {

// Nothing here is limited the way older Windows versions are.
OsVersionClass ReadPlatformOsVersionClass() {
  return kOsLater;
}

}  // namespace updater
