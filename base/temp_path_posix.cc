#include <stdlib.h>

#include <string>

#include "base/known_paths.h"
#include "base/string_util.h"

namespace updater {
namespace {

constexpr char kTempDirectoryVariable[] = "TMPDIR";
constexpr char16_t kDefaultTempDirectory[] = u"/tmp";

}  // namespace

// TMPDIR when it holds an absolute path that survives the trip to UTF-16,
// else the system default.
std::u16string ReadPlatformTempPath() {
  const char* variable = getenv(kTempDirectoryVariable);
  if (variable == nullptr || variable[0] != '/') return kDefaultTempDirectory;
  std::u16string path = UTF8ToUTF16(variable);
  if (UTF16ToUTF8(path) != variable) return kDefaultTempDirectory;
  return path;
}

}  // namespace updater
