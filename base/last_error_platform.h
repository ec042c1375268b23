#ifndef BASE_LAST_ERROR_PLATFORM_H_
#define BASE_LAST_ERROR_PLATFORM_H_

namespace updater::platform {

// The calling thread's last error, as the platform numbers it (errno on
// POSIX): what a failed call leaves behind and what log lines print.
int LastError();
void SetLastError(int error);

}  // namespace updater::platform

#endif  // BASE_LAST_ERROR_PLATFORM_H_
