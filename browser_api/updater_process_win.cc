#include <windows.h>

#include "browser_api/updater_process_platform.h"

namespace updater::platform {

ProcessEnd WaitForProcessEnd(int64_t process, uint32_t timeout_ms, int& exit_code) {
  const HANDLE handle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(process));
  const DWORD waited =
      WaitForSingleObject(handle, timeout_ms == kWaitForever ? INFINITE : timeout_ms);
  if (waited == WAIT_TIMEOUT) return ProcessEnd::kRunning;
  DWORD code = 0;
  if (waited != WAIT_OBJECT_0 || !GetExitCodeProcess(handle, &code)) return ProcessEnd::kUnknown;
  exit_code = static_cast<int>(code);
  return ProcessEnd::kExited;
}

}  // namespace updater::platform
