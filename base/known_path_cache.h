#ifndef BASE_KNOWN_PATH_CACHE_H_
#define BASE_KNOWN_PATH_CACHE_H_

#include <functional>
#include <map>
#include <mutex>

#include "base/fs_path.h"

namespace updater {

// The places on the machine the update flows ask for.
enum KnownPathKey : int {
  kExeFile,       // full path of the updater's own executable
  kExeDirectory,  // the directory that holds it
};

// Answers known-path lookups from the executable path that `read_executable`
// gives, and remembers each successful answer for good. Any thread may ask;
// the lock is not held while an answer is computed, so two threads that miss
// at once both compute it and the later store wins, with the same value.
class KnownPathCache {
 public:
  explicit KnownPathCache(std::function<FsPath()> read_executable);
  KnownPathCache(const KnownPathCache&) = delete;
  KnownPathCache& operator=(const KnownPathCache&) = delete;

  // True with `out` set to a non-empty path; false leaves `out` unchanged.
  bool Get(KnownPathKey key, FsPath& out);

 private:
  bool Lookup(KnownPathKey key, FsPath& out);
  bool Compute(KnownPathKey key, FsPath& out);

  const std::function<FsPath()> read_executable_;
  std::mutex lock_;
  std::map<KnownPathKey, FsPath> paths_;
};

}  // namespace updater

#endif  // BASE_KNOWN_PATH_CACHE_H_
