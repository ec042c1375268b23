#include "authenticode/certificate_table.h"

#include <algorithm>

#include "authenticode/byte_reading.h"

namespace updater {
namespace {

constexpr size_t kEntryHeaderSize = 8;  // dwLength, wRevision, wCertificateType
constexpr uint16_t kRevision2 = 0x0200;
constexpr uint16_t kTypePkcsSignedData = 0x0002;
constexpr uint64_t kEntryAlignment = 8;

}  // namespace

std::optional<std::span<const uint8_t>> PrimarySignaturePayload(std::span<const uint8_t> table) {
  if (table.size() < kEntryHeaderSize) return std::nullopt;
  const uint32_t length = ReadLittleEndian32(table, 0);
  const uint64_t padded_length = (uint64_t{length} + kEntryAlignment - 1) & ~(kEntryAlignment - 1);
  // Bytes past the padded entry would be a second entry, which no signature covers.
  if (length < kEntryHeaderSize || length > table.size() || table.size() > padded_length ||
      ReadLittleEndian16(table, 4) != kRevision2 ||
      ReadLittleEndian16(table, 6) != kTypePkcsSignedData) {
    return std::nullopt;
  }
  const std::span<const uint8_t> padding = table.subspan(length);
  if (!std::ranges::all_of(padding, [](uint8_t byte) { return byte == 0; })) return std::nullopt;
  return table.subspan(kEntryHeaderSize, length - kEntryHeaderSize);
}

}  // namespace updater
