#ifndef HTTP_RESPONSE_FILE_PLATFORM_H_
#define HTTP_RESPONSE_FILE_PLATFORM_H_

#include <cstdint>
#include <span>

#include "base/fs_path.h"

namespace updater::platform {

// Writes `bytes` to a new file at `path`, readable, writable and runnable by
// its owner only. False on any failure, also when anything (a file, a link)
// is at `path` already.
bool WriteResponseFile(const FsPath& path, std::span<const uint8_t> bytes);

}  // namespace updater::platform

#endif  // HTTP_RESPONSE_FILE_PLATFORM_H_
