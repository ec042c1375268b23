#ifndef BASE_FILE_ATTRIBUTES_H_
#define BASE_FILE_ATTRIBUTES_H_

#include <cstdint>

namespace updater {

// The attribute bits the file operations read, with their Windows values.
using FileAttributes = uint32_t;
inline constexpr FileAttributes kFileAttributeReadOnly = 0x1;
inline constexpr FileAttributes kFileAttributeDirectory = 0x10;
// A link to another place; a directory link is reported but never entered.
inline constexpr FileAttributes kFileAttributeReparsePoint = 0x400;
// Nothing exists at the path, or it cannot be read.
inline constexpr FileAttributes kInvalidFileAttributes = 0xFFFFFFFF;

// Which file an entry is: its volume and its index there. A directory opened
// after it was inspected is checked against this, so that another one
// renamed into its place meanwhile is not taken for it.
struct FileId {
  uint64_t volume = 0;
  uint64_t index = 0;

  friend bool operator==(const FileId&, const FileId&) = default;
};

}  // namespace updater

#endif  // BASE_FILE_ATTRIBUTES_H_
