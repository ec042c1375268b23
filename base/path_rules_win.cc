#include "base/path_rules_platform.h"

namespace updater::platform {

const PathRules& NativePathRules() {
  return kWindowsPathRules;
}

}  // namespace updater::platform
