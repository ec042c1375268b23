#include "auto_update/pe_image_layout.h"

#include "auto_update/byte_reading.h"

namespace updater {
namespace {

constexpr uint16_t kDosMagic = 0x5a4d;         // "MZ"
constexpr uint32_t kNtSignature = 0x00004550;  // "PE\0\0"
constexpr size_t kDosHeaderSize = 64;
constexpr size_t kNtHeadersOffsetField = 0x3c;
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kOptionalHeaderSizeField = 16;  // within the file header
constexpr uint16_t kPe32Magic = 0x10b;
constexpr uint16_t kPe32PlusMagic = 0x20b;
constexpr size_t kChecksumField = 64;  // within the optional header, both forms
constexpr size_t kDirectoryEntrySize = 8;
constexpr uint32_t kSecurityDirectoryIndex = 4;

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

  PeImageLayout layout;
  layout.pe32_plus = ReadLittleEndian16(head, optional_header) == kPe32PlusMagic;
  layout.checksum_offset = optional_header + kChecksumField;
  layout.security_entry_offset = optional_header + security_entry;
  const uint32_t table_offset = ReadLittleEndian32(head, layout.security_entry_offset);
  const uint32_t table_size = ReadLittleEndian32(head, layout.security_entry_offset + 4);
  if (table_size == 0) return layout;
  if (table_offset < layout.security_entry_offset + kDirectoryEntrySize ||
      table_offset > file_size || table_size > file_size - table_offset) {
    return std::nullopt;
  }
  layout.certificate_table = {table_offset, table_size};
  return layout;
}

std::vector<FileRange> AuthenticodeHashedRanges(const PeImageLayout& layout, uint64_t file_size) {
  const uint64_t table_start = layout.IsSigned() ? layout.certificate_table.offset : file_size;
  const uint64_t table_end = layout.IsSigned() ? layout.certificate_table.end() : file_size;
  const uint64_t after_security_entry = layout.security_entry_offset + kDirectoryEntrySize;
  std::vector<FileRange> ranges;
  auto add = [&ranges](uint64_t begin, uint64_t end) {
    if (end > begin) ranges.push_back({begin, end - begin});
  };
  add(0, layout.checksum_offset);
  add(layout.checksum_offset + 4, layout.security_entry_offset);
  add(after_security_entry, table_start);
  add(table_end, file_size);
  return ranges;
}

}  // namespace updater
