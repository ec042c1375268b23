#include "authenticode/pe_image_layout.h"

#include <algorithm>

#include "authenticode/byte_reading.h"

namespace updater {
namespace {

constexpr uint16_t kDosMagic = 0x5a4d;         // "MZ"
constexpr uint32_t kNtSignature = 0x00004550;  // "PE\0\0"
constexpr size_t kDosHeaderSize = 64;
constexpr size_t kNtHeadersOffsetField = 0x3c;
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kSectionCountField = 2;         // within the file header
constexpr size_t kOptionalHeaderSizeField = 16;  // within the file header
constexpr uint16_t kPe32Magic = 0x10b;
constexpr uint16_t kPe32PlusMagic = 0x20b;
constexpr size_t kChecksumField = 64;     // within the optional header, both forms
constexpr size_t kHeadersSizeField = 60;  // within the optional header, both forms
constexpr size_t kDirectoryEntrySize = 8;
constexpr uint32_t kSecurityDirectoryIndex = 4;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kRawDataSizeField = 16;     // within a section header
constexpr size_t kRawDataPointerField = 20;  // within a section header
constexpr uint64_t kCertificateTableAlignment = 8;

struct OptionalHeaderForm {
  size_t directory_count_field;
  size_t directories;
};

std::optional<OptionalHeaderForm> FormOf(uint16_t magic) {
  if (magic == kPe32Magic) return OptionalHeaderForm{92, 96};
  if (magic == kPe32PlusMagic) return OptionalHeaderForm{108, 112};
  return std::nullopt;
}

bool Contains(std::span<const uint8_t> head, uint64_t offset, uint64_t size) {
  return offset <= head.size() && size <= head.size() - offset;
}

// Where the headers and the raw data of every section end: nothing signed may
// lie at or after this offset but the certificate table. Nothing when the
// section table does not lie within `head`. No sum here can overflow: each
// adds 32-bit values in 64 bits.
std::optional<uint64_t> EndOfImage(std::span<const uint8_t> head,
                                   uint64_t file_header,
                                   uint64_t optional_header,
                                   uint16_t optional_header_size) {
  const uint64_t section_table = optional_header + optional_header_size;
  const uint64_t section_count = ReadLittleEndian16(head, file_header + kSectionCountField);
  if (!Contains(head, section_table, section_count * kSectionHeaderSize)) return std::nullopt;
  uint64_t end = std::max<uint64_t>(section_table + section_count * kSectionHeaderSize,
                                    ReadLittleEndian32(head, optional_header + kHeadersSizeField));
  for (uint64_t i = 0; i < section_count; ++i) {
    const uint64_t section = section_table + i * kSectionHeaderSize;
    const uint64_t raw_size = ReadLittleEndian32(head, section + kRawDataSizeField);
    if (raw_size == 0) continue;  // its pointer means nothing then
    end = std::max(end, ReadLittleEndian32(head, section + kRawDataPointerField) + raw_size);
  }
  return end;
}

// The table must be the last thing in the file, so that every signed byte
// keeps its place: moved elsewhere, it would shift the image behind it
// without changing the digest.
bool IsPlacedLast(const FileRange& table, uint64_t end_of_image, uint64_t file_size) {
  return table.offset % kCertificateTableAlignment == 0 && table.offset >= end_of_image &&
         table.offset <= file_size && table.size == file_size - table.offset;
}

}  // namespace

std::optional<PeImageLayout> ParsePeImageLayout(std::span<const uint8_t> head, uint64_t file_size) {
  if (head.size() > file_size || !Contains(head, 0, kDosHeaderSize) ||
      ReadLittleEndian16(head, 0) != kDosMagic) {
    return std::nullopt;
  }
  const uint64_t nt_headers = ReadLittleEndian32(head, kNtHeadersOffsetField);
  if (!Contains(head, nt_headers, 4 + kFileHeaderSize) ||
      ReadLittleEndian32(head, nt_headers) != kNtSignature) {
    return std::nullopt;
  }
  const uint64_t file_header = nt_headers + 4;
  const uint64_t optional_header = file_header + kFileHeaderSize;
  const uint16_t optional_header_size =
      ReadLittleEndian16(head, file_header + kOptionalHeaderSizeField);
  if (optional_header_size < 2 || !Contains(head, optional_header, optional_header_size)) {
    return std::nullopt;
  }
  const std::optional<OptionalHeaderForm> form = FormOf(ReadLittleEndian16(head, optional_header));
  const size_t security_entry =
      form ? form->directories + kSecurityDirectoryIndex * kDirectoryEntrySize : 0;
  if (!form || optional_header_size < security_entry + kDirectoryEntrySize ||
      ReadLittleEndian32(head, optional_header + form->directory_count_field) <=
          kSecurityDirectoryIndex) {
    return std::nullopt;
  }
  const std::optional<uint64_t> end_of_image =
      EndOfImage(head, file_header, optional_header, optional_header_size);
  if (!end_of_image) return std::nullopt;

  PeImageLayout layout;
  layout.pe32_plus = ReadLittleEndian16(head, optional_header) == kPe32PlusMagic;
  layout.checksum_offset = optional_header + kChecksumField;
  layout.security_entry_offset = optional_header + security_entry;
  const FileRange table = {ReadLittleEndian32(head, layout.security_entry_offset),
                           ReadLittleEndian32(head, layout.security_entry_offset + 4)};
  if (table.size == 0) return layout;
  if (!IsPlacedLast(table, *end_of_image, file_size)) return std::nullopt;
  layout.certificate_table = table;
  return layout;
}

std::vector<FileRange> AuthenticodeHashedRanges(const PeImageLayout& layout, uint64_t file_size) {
  const uint64_t hashed_end = layout.IsSigned() ? layout.certificate_table.offset : file_size;
  std::vector<FileRange> ranges;
  auto add = [&ranges](uint64_t begin, uint64_t end) {
    if (end > begin) ranges.push_back({begin, end - begin});
  };
  add(0, layout.checksum_offset);
  add(layout.checksum_offset + 4, layout.security_entry_offset);
  add(layout.security_entry_offset + kDirectoryEntrySize, hashed_end);
  return ranges;
}

}  // namespace updater
