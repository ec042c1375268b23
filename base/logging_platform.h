#ifndef BASE_LOGGING_PLATFORM_H_
#define BASE_LOGGING_PLATFORM_H_

#include <string_view>

#include "base/logging.h"

namespace updater::platform {

// The local time now.
LogTime CurrentLocalTime();
// Appends `line` to the process's log file, opening it on first use; a line
// that cannot be written is dropped.
void AppendToLogFile(std::string_view line);
void WriteToStandardError(std::string_view line);

}  // namespace updater::platform

#endif  // BASE_LOGGING_PLATFORM_H_
