#ifndef BASE_PROCESS_EXIT_PLATFORM_H_
#define BASE_PROCESS_EXIT_PLATFORM_H_

namespace updater::platform {

// Ends the process at once with `exit_code`, whatever its other threads are
// doing; nothing else runs on the way out. The system releases what the
// process held.
[[noreturn]] void ExitProcessNow(int exit_code);

}  // namespace updater::platform

#endif  // BASE_PROCESS_EXIT_PLATFORM_H_
