#include <windows.h>

#include "base/last_error_platform.h"

namespace updater::platform {

int LastError() {
  return static_cast<int>(GetLastError());
}

void SetLastError(int error) {
  ::SetLastError(static_cast<DWORD>(error));
}

}  // namespace updater::platform
