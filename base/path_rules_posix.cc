#include "base/path_rules.h"

namespace updater {

const PathRules& NativePathRules() {
  return kPosixPathRules;
}

}  // namespace updater
