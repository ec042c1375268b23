#include <windows.h>

#include "base/process_exit_platform.h"

namespace updater::platform {

void ExitProcessNow(int exit_code) {
  ExitProcess(static_cast<UINT>(exit_code));
}

}  // namespace updater::platform
