#ifndef HTTP_RESPONSE_FILE_H_
#define HTTP_RESPONSE_FILE_H_

#include <cstdint>
#include <span>

#include "base/fs_path.h"

namespace updater {

// Writes `bytes` to the file at `path`, created or truncated. The file is
// never reached through a symbolic link, must be a regular file, and ends up
// readable, writable and runnable by its owner only. False on any failure.
bool WriteResponseFile(const FsPath& path, std::span<const uint8_t> bytes);

}  // namespace updater

#endif  // HTTP_RESPONSE_FILE_H_
