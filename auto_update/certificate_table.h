#ifndef AUTO_UPDATE_CERTIFICATE_TABLE_H_
#define AUTO_UPDATE_CERTIFICATE_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace updater {

// A table longer than this is refused unread: real signatures take a few
// kilobytes, and the table is held in memory while it is checked.
inline constexpr uint64_t kMaxCertificateTableSize = 16 * 1024 * 1024;

// The payload of the table's first WIN_CERTIFICATE entry, the primary
// signature: a PKCS#7 SignedData, possibly followed by zero padding. Nothing
// when an entry's length runs outside the table or the entries do not follow
// each other on 8-byte boundaries, or when the first entry is not a revision
// 2.0 PKCS#7 entry.
std::optional<std::span<const uint8_t>> PrimarySignaturePayload(std::span<const uint8_t> table);

}  // namespace updater

#endif  // AUTO_UPDATE_CERTIFICATE_TABLE_H_
