#ifndef BASE_DIRECTORY_HANDLE_PLATFORM_H_
#define BASE_DIRECTORY_HANDLE_PLATFORM_H_

#include <cstdint>
#include <string_view>

#include "base/file_attributes.h"
#include "base/fs_path.h"

namespace updater::platform {

// One open directory; closed when destroyed.
class DirectoryHandle {
 public:
  DirectoryHandle() = default;
  explicit DirectoryHandle(intptr_t native) : native_(native) {}
  ~DirectoryHandle();
  DirectoryHandle(DirectoryHandle&& other) noexcept;
  DirectoryHandle& operator=(DirectoryHandle&& other) noexcept;

  bool IsValid() const { return native_ != kInvalid; }
  // The platform's descriptor or handle.
  intptr_t native() const { return native_; }

 private:
  // No descriptor, and no handle either.
  static constexpr intptr_t kInvalid = -1;

  intptr_t native_ = kInvalid;
};

// The entry `name`, a single component, of an open directory.
struct EntryAt {
  const DirectoryHandle& directory;
  std::u16string_view name;
};

// The directory `path` names; an invalid handle on failure.
DirectoryHandle OpenDirectory(const FsPath& path);
// A subdirectory, never through a link; when `expected` is given, fails
// unless the directory opened is that file.
DirectoryHandle OpenDirectory(EntryAt entry, const FileId* expected);

}  // namespace updater::platform

#endif  // BASE_DIRECTORY_HANDLE_PLATFORM_H_
