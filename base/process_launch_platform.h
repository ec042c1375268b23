#ifndef BASE_PROCESS_LAUNCH_PLATFORM_H_
#define BASE_PROCESS_LAUNCH_PLATFORM_H_

#include <cstdint>

#include "base/command_line.h"

namespace updater::platform {

// Starts the program that `command_line` names with its items (see
// LaunchProcess) and sets `process` to the platform's identity of it. False,
// with the last error set, when it cannot be started.
bool StartProcess(const ParsedCommandLine& command_line, int64_t& process);

// Blocks, without a time limit, until the process has ended.
void WaitForProcess(int64_t process);

// Gives up the hold on the process, which `ended` says was seen to end; the
// process itself is not affected.
void ReleaseProcess(int64_t process, bool ended);

}  // namespace updater::platform

#endif  // BASE_PROCESS_LAUNCH_PLATFORM_H_
