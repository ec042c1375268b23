#include "auto_update/certificate_table.h"

#include "auto_update/byte_reading.h"

namespace updater {
namespace {

constexpr size_t kEntryHeaderSize = 8;  // dwLength, wRevision, wCertificateType
constexpr uint16_t kRevision2 = 0x0200;
constexpr uint16_t kTypePkcsSignedData = 0x0002;
constexpr size_t kEntryAlignment = 8;

}  // namespace

std::optional<std::span<const uint8_t>> PrimarySignaturePayload(std::span<const uint8_t> table) {
  std::optional<std::span<const uint8_t>> primary;
  size_t position = 0;
  while (position < table.size()) {
    const size_t remaining = table.size() - position;
    if (remaining < kEntryHeaderSize) return std::nullopt;
    const uint32_t length = ReadLittleEndian32(table, position);
    if (length < kEntryHeaderSize || length > remaining) return std::nullopt;
    if (!primary) {
      if (ReadLittleEndian16(table, position + 4) != kRevision2 ||
          ReadLittleEndian16(table, position + 6) != kTypePkcsSignedData) {
        return std::nullopt;
      }
      primary = table.subspan(position + kEntryHeaderSize, length - kEntryHeaderSize);
    }
    const size_t padded =
        (static_cast<size_t>(length) + kEntryAlignment - 1) / kEntryAlignment * kEntryAlignment;
    if (padded > remaining) break;  // the last entry may stop short of its padding
    position += padded;
  }
  return primary;
}

}  // namespace updater
