#ifndef BASE_PROCESS_FACTS_PLATFORM_H_
#define BASE_PROCESS_FACTS_PLATFORM_H_

#include <string>
#include <vector>

namespace updater::platform {

// The process's arguments as it got them, item 0 the program.
std::vector<std::u16string> CurrentProcessArguments();

}  // namespace updater::platform

#endif  // BASE_PROCESS_FACTS_PLATFORM_H_
