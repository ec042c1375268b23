#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "base/directory_search_platform.h"
#include "base/native_posix.h"
#include "base/wildcard_match.h"

namespace updater::platform {

struct DirectorySearch::State {
  DIR* directory = nullptr;
  std::u16string pattern;
};

DirectorySearch::DirectorySearch() = default;

DirectorySearch::~DirectorySearch() {
  Close();
}

// readdir has a single mode, which already gives names and types only.
bool DirectorySearch::Open(const DirectoryHandle& directory,
                           std::u16string_view pattern,
                           SearchMode /*mode*/,
                           WalkEntry& entry) {
  Close();
  // The stream owns a copy of the descriptor; the copy shares the position,
  // which an earlier search may have moved.
  posix::ScopedFd fd(fcntl(posix::DescriptorOf(directory), F_DUPFD_CLOEXEC, 0));
  DIR* opened = fd.IsValid() ? fdopendir(fd.get()) : nullptr;
  if (opened == nullptr) return false;
  fd.Release();  // closedir closes it
  rewinddir(opened);
  state_ = std::make_unique<State>(State{opened, std::u16string(pattern)});
  return Next(entry);
}

bool DirectorySearch::Next(WalkEntry& entry) {
  while (state_ != nullptr) {
    const dirent* record = readdir(state_->directory);
    if (record == nullptr) break;
    std::u16string name;
    // A name without a UTF-16 form could not be named again; leaving it out
    // keeps every operation on the entry it was given.
    if (!posix::FromNativeText(record->d_name, name)) continue;
    if (!MatchesWildcard(name, state_->pattern)) continue;
    FileId id;
    const FileAttributes attributes =
        posix::AttributesAt(dirfd(state_->directory), record->d_name, &id);
    if (attributes == kInvalidFileAttributes) continue;  // gone meanwhile
    entry.attributes = attributes;
    entry.id = id;
    entry.name = std::move(name);
    return true;
  }
  Close();
  return false;
}

void DirectorySearch::Close() {
  if (state_ == nullptr) return;
  closedir(state_->directory);
  state_.reset();
}

}  // namespace updater::platform
