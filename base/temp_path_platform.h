#ifndef BASE_TEMP_PATH_PLATFORM_H_
#define BASE_TEMP_PATH_PLATFORM_H_

#include <string>

namespace updater::platform {

// The directory the platform gives this user for temporary files, one that
// no other user can write; empty when there is none.
std::u16string ReadTempPath();

}  // namespace updater::platform

#endif  // BASE_TEMP_PATH_PLATFORM_H_
