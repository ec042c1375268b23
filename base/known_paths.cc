#include "base/known_paths.h"

#include <mutex>

#include "base/at_exit.h"
#include "base/path_arithmetic.h"
#include "base/process_facts_platform.h"
#include "base/temp_path_platform.h"

namespace updater {
namespace {

std::mutex g_cache_creation_lock;
KnownPathCache* g_cache = nullptr;

// One thread creates the cache; the others wait for it.
KnownPathCache& ProcessKnownPathCache() {
  std::lock_guard<std::mutex> hold(g_cache_creation_lock);
  if (g_cache == nullptr) {
    g_cache = new KnownPathCache(&platform::ReadExecutablePath);
    AtExitManager::RegisterCallback([] {
      std::lock_guard<std::mutex> hold_for_teardown(g_cache_creation_lock);
      delete g_cache;
      g_cache = nullptr;
    });
  }
  return *g_cache;
}

}  // namespace

bool GetKnownPath(KnownPathKey key, FsPath& out) {
  return ProcessKnownPathCache().Get(key, out);
}

bool GetTempDirectory(FsPath& out) {
  const FsPath reported(platform::ReadTempPath());
  if (reported.empty() || reported.size() >= kMaxPathChars) return false;
  out = TrimTrailingSeparators(reported);
  return true;
}

}  // namespace updater
