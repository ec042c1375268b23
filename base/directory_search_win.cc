#include <windows.h>

#include <string>

#include "base/directory_search_platform.h"
#include "base/native_win.h"
#include "base/wildcard_match.h"

namespace updater::platform {

struct DirectorySearch::State {
  HANDLE find;
  std::wstring directory;
  std::u16string pattern;
  WIN32_FIND_DATAW found;
  bool unread;  // `found` holds a record not yet looked at
};

namespace {

HANDLE FindFirst(const std::wstring& text, SearchMode mode, WIN32_FIND_DATAW& found) {
  if (mode == SearchMode::kFull) return FindFirstFileW(text.c_str(), &found);
  return FindFirstFileExW(text.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                          FIND_FIRST_EX_LARGE_FETCH);
}

}  // namespace

DirectorySearch::DirectorySearch() = default;

DirectorySearch::~DirectorySearch() {
  Close();
}

bool DirectorySearch::Open(const DirectoryHandle& directory,
                           std::u16string_view pattern,
                           SearchMode mode,
                           WalkEntry& entry) {
  Close();
  if (!directory.IsValid()) return false;
  auto state = std::make_unique<State>();
  state->directory = win::PathOf(directory);
  state->pattern = pattern;
  state->unread = true;
  state->find = FindFirst(state->directory + L'\\' + win::ToWide(pattern), mode, state->found);
  if (state->find == INVALID_HANDLE_VALUE) return false;
  state_ = std::move(state);
  return Next(entry);
}

// The system's matching also takes short names and its own wildcard quirks
// ("*.tmp" finds "a.tmpx" by its short name); what it finds must match the
// pattern by the updater's own rules too, the same on every platform.
bool DirectorySearch::Next(WalkEntry& entry) {
  while (state_ != nullptr) {
    if (!state_->unread && !FindNextFileW(state_->find, &state_->found)) break;
    state_->unread = false;
    const std::u16string name = win::FromWide(state_->found.cFileName);
    if (!MatchesWildcard(name, state_->pattern)) continue;
    const FileAttributes attributes = state_->found.dwFileAttributes;
    FileId id;
    // A directory is opened later only as the one found here.
    const bool is_directory = (attributes & kFileAttributeDirectory) != 0;
    if (is_directory && name != u"." && name != u".." &&
        win::AttributesOf(state_->directory + L'\\' + state_->found.cFileName, &id) ==
            kInvalidFileAttributes) {
      continue;  // gone meanwhile
    }
    entry.attributes = attributes;
    entry.id = id;
    entry.name = name;
    return true;
  }
  Close();
  return false;
}

void DirectorySearch::Close() {
  if (state_ == nullptr) return;
  FindClose(state_->find);
  state_.reset();
}

}  // namespace updater::platform
