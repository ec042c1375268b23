#include "base/path_rules_platform.h"

namespace updater::platform {

const PathRules& NativePathRules() {
  return kPosixPathRules;
}

}  // namespace updater::platform
