#ifndef BASE_OS_VERSION_PLATFORM_H_
#define BASE_OS_VERSION_PLATFORM_H_

#include "base/os_version.h"

namespace updater::platform {

// The running system's class, asked of the system.
OsVersionClass ReadOsVersionClass();

}  // namespace updater::platform

#endif  // BASE_OS_VERSION_PLATFORM_H_
