#ifndef BASE_PROCESS_FACTS_PLATFORM_H_
#define BASE_PROCESS_FACTS_PLATFORM_H_

#include <string>
#include <vector>

#include "base/fs_path.h"
#include "base/os_version.h"

// What the system tells about the running process, and how it ends.
namespace updater::platform {

// The process's arguments as it got them, item 0 the program.
std::vector<std::u16string> CurrentProcessArguments();

// The full path of the running program's own executable, asked of the
// system each time; empty when it cannot be told.
FsPath ReadExecutablePath();

// The running system's class, asked of the system.
OsVersionClass ReadOsVersionClass();

// Ends the process at once with `exit_code`, whatever its other threads are
// doing; nothing else runs on the way out. The system releases what the
// process held.
[[noreturn]] void ExitProcessNow(int exit_code);

}  // namespace updater::platform

#endif  // BASE_PROCESS_FACTS_PLATFORM_H_
