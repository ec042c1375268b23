#ifndef BASE_KNOWN_PATHS_H_
#define BASE_KNOWN_PATHS_H_

#include "base/fs_path.h"
#include "base/known_path_cache.h"

namespace updater {

// The process-wide lookup of known paths (see KnownPathCache), created on
// first use and torn down with the at-exit registry. True with `out` set to
// a non-empty path; false leaves `out` unchanged.
bool GetKnownPath(KnownPathKey key, FsPath& out);

// The user's temporary directory without trailing separators (a root keeps
// its one); false when the platform names none or one of kMaxPathChars
// characters or more. Asked of the platform on every call.
bool GetTempDirectory(FsPath& out);

}  // namespace updater

#endif  // BASE_KNOWN_PATHS_H_
