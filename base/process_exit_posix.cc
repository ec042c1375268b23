#include <unistd.h>

#include "base/process_exit_platform.h"

namespace updater::platform {

void ExitProcessNow(int exit_code) {
  _exit(exit_code);
}

}  // namespace updater::platform
