#include "base/known_path_cache.h"

#include <utility>

#include "base/file_operations.h"
#include "base/path_arithmetic.h"

namespace updater {

KnownPathCache::KnownPathCache(std::function<FsPath()> read_executable)
    : read_executable_(std::move(read_executable)) {}

bool KnownPathCache::Get(KnownPathKey key, FsPath& out) {
  if (Lookup(key, out)) return true;
  FsPath path;
  if (!Compute(key, path) || path.empty()) return false;
  if (HasParentReference(path)) {
    path = MakeAbsolutePath(path);
    if (path.empty()) return false;
  }
  out = path;
  std::lock_guard<std::mutex> hold(lock_);
  paths_.insert_or_assign(key, std::move(path));
  return true;
}

bool KnownPathCache::Lookup(KnownPathKey key, FsPath& out) {
  std::lock_guard<std::mutex> hold(lock_);
  const auto found = paths_.find(key);
  if (found == paths_.end()) return false;
  out = found->second;
  return true;
}

bool KnownPathCache::Compute(KnownPathKey key, FsPath& out) {
  switch (key) {
    case kExeFile: {
      // A path too long for the file operations would be of no use to them;
      // cutting it short would name some other file.
      FsPath executable = read_executable_();
      if (executable.size() >= kMaxPathChars) return false;
      out = std::move(executable);
      return true;
    }
    case kExeDirectory: {
      FsPath executable;
      if (!Get(kExeFile, executable)) return false;
      out = ParentDir(executable);
      return true;
    }
  }
  return false;
}

}  // namespace updater
