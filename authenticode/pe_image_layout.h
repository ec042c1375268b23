#ifndef AUTHENTICODE_PE_IMAGE_LAYOUT_H_
#define AUTHENTICODE_PE_IMAGE_LAYOUT_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace updater {

struct FileRange {
  uint64_t offset = 0;
  uint64_t size = 0;

  uint64_t end() const { return offset + size; }
  bool operator==(const FileRange&) const = default;
};

// Where the parts of a PE image that an Authenticode signature must leave out
// of its digest lie in the file.
struct PeImageLayout {
  bool pe32_plus = false;
  uint64_t checksum_offset = 0;
  uint64_t security_entry_offset = 0;  // the certificate-table directory entry
  FileRange certificate_table;         // size 0: the image is unsigned

  bool IsSigned() const { return certificate_table.size != 0; }
};

// The headers of a PE image must lie within this many bytes from its start.
inline constexpr size_t kPeHeadLimit = 64 * 1024;

// Reads the layout from `head`, the first min(file_size, kPeHeadLimit) bytes
// of a file of `file_size` bytes. Nothing when the headers (section table
// included) are not those of a PE32 or PE32+ image within `head`, or when the
// certificate table is not the last thing in the file: it must start on an
// 8-byte boundary at or after the end of the headers and of every section's
// raw data, and end where the file ends.
std::optional<PeImageLayout> ParsePeImageLayout(std::span<const uint8_t> head, uint64_t file_size);

// The ranges the Authenticode image digest covers, in file order: the whole
// file except the checksum, the certificate-table directory entry and the
// certificate table, which ends the file.
std::vector<FileRange> AuthenticodeHashedRanges(const PeImageLayout& layout, uint64_t file_size);

}  // namespace updater

#endif  // AUTHENTICODE_PE_IMAGE_LAYOUT_H_
