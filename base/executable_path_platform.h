#ifndef BASE_EXECUTABLE_PATH_PLATFORM_H_
#define BASE_EXECUTABLE_PATH_PLATFORM_H_

#include "base/fs_path.h"

namespace updater::platform {

// The full path of the running program's own executable, asked of the
// system each time; empty when it cannot be told.
FsPath ReadExecutablePath();

}  // namespace updater::platform

#endif  // BASE_EXECUTABLE_PATH_PLATFORM_H_
