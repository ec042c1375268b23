#ifndef HTTP_RESPONSE_FILE_PLATFORM_H_
#define HTTP_RESPONSE_FILE_PLATFORM_H_

#include <cstdint>
#include <span>

#include "base/directory_handle_platform.h"

namespace updater::platform {

// Writes `bytes` to a new file, the entry of an open directory, readable,
// writable and runnable by its owner only. False on any failure, also when
// anything (a file, a link) is there already.
bool WriteResponseFile(EntryAt entry, std::span<const uint8_t> bytes);

}  // namespace updater::platform

#endif  // HTTP_RESPONSE_FILE_PLATFORM_H_
