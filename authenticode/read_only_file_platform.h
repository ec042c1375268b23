#ifndef AUTHENTICODE_READ_ONLY_FILE_PLATFORM_H_
#define AUTHENTICODE_READ_ONLY_FILE_PLATFORM_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "base/directory_handle_platform.h"
#include "base/fs_path.h"

namespace updater::platform {

// A regular file opened for reading at any offset.
class ReadOnlyFile {
 public:
  // Nothing when the path does not name a regular file that can be read.
  // Never blocks on a FIFO or device.
  static std::optional<ReadOnlyFile> Open(const FsPath& path);
  // The same for the entry of an open directory, never through a link.
  static std::optional<ReadOnlyFile> Open(EntryAt entry);

  ReadOnlyFile(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
  ~ReadOnlyFile();

  // The size when the file was opened.
  uint64_t size() const { return size_; }
  // Fills `out` from `offset`; false on a read error or when the file ends first.
  bool ReadAt(uint64_t offset, std::span<uint8_t> out) const;
  // Whether `path`, resolved as a program start resolves it, names this file
  // unchanged: the same file, size and modification time.
  bool IsNamedBy(const FsPath& path) const;

 private:
  // The platform's open file.
  struct Native;

  ReadOnlyFile(std::unique_ptr<Native> native, uint64_t size);
  // The file `native` has open when it is a regular file.
  static std::optional<ReadOnlyFile> FromNative(std::unique_ptr<Native> native);

  std::unique_ptr<Native> native_;
  uint64_t size_ = 0;
};

}  // namespace updater::platform

#endif  // AUTHENTICODE_READ_ONLY_FILE_PLATFORM_H_
