#ifndef BASE_PATH_RULES_PLATFORM_H_
#define BASE_PATH_RULES_PLATFORM_H_

#include "base/path_rules.h"

namespace updater::platform {

// The rules of the platform this program was built for.
const PathRules& NativePathRules();

}  // namespace updater::platform

#endif  // BASE_PATH_RULES_PLATFORM_H_
