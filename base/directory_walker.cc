#include "base/directory_walker.h"

#include <utility>

#include "base/path_arithmetic.h"

namespace updater {
namespace {

constexpr std::u16string_view kMatchAll = u"*";
constexpr std::u16string_view kCurrentEntry = u".";
constexpr std::u16string_view kParentEntry = u"..";

}  // namespace

DirectoryWalker::DirectoryWalker(const FsPath& directory,
                                 bool recursive,
                                 int types,
                                 std::u16string_view pattern)
    : recursive_(recursive), types_(types), pattern_(pattern) {
  pending_.push_back(PendingDirectory{nullptr, directory, WalkEntry()});
}

bool DirectoryWalker::ReadEntry() {
  if (has_entry_) return search_.Next(entry_);
  PendingDirectory next = std::move(pending_.back());
  pending_.pop_back();
  root_ = std::move(next.path);
  directory_ = std::make_shared<const platform::DirectoryHandle>(
      next.parent == nullptr
          ? platform::OpenDirectory(root_)
          : platform::OpenDirectory(platform::EntryAt{*next.parent, next.entry.name},
                                    &next.entry.id));
  return directory_->IsValid() &&
         search_.Open(*directory_, pattern_.empty() ? kMatchAll : std::u16string_view(pattern_),
                      PreferredSearchMode(), entry_);
}

FsPath DirectoryWalker::Next() {
  while (has_entry_ || !pending_.empty()) {
    has_entry_ = ReadEntry();
    if (!has_entry_) {
      pattern_.clear();  // the pattern selects in the starting directory only
      continue;
    }
    if (entry_.name == kCurrentEntry) continue;
    if (entry_.name == kParentEntry && (types_ & kWalkIncludeDotDot) == 0) continue;
    FsPath path = JoinPath(root_, entry_.name);
    if (entry_.IsDirectory()) {
      // Entering ".." would climb without end.
      if (recursive_ && !entry_.IsReparsePoint() && !entry_.IsSelfOrParent()) {
        pending_.push_back(PendingDirectory{directory_, path, entry_});
      }
      if ((types_ & kWalkDirectories) != 0) return path;
    } else if ((types_ & kWalkFiles) != 0) {
      return path;
    }
  }
  return FsPath();
}

}  // namespace updater
