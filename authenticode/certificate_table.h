#ifndef AUTHENTICODE_CERTIFICATE_TABLE_H_
#define AUTHENTICODE_CERTIFICATE_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace updater {

// A table longer than this is refused unread: real signatures take a few
// kilobytes, and the table is held in memory while it is checked.
inline constexpr uint64_t kMaxCertificateTableSize = 16 * 1024 * 1024;

// The payload of the table's one WIN_CERTIFICATE entry, the primary
// signature: a PKCS#7 SignedData, possibly followed by zero padding. Nothing
// unless the table holds exactly that entry, revision 2.0 and of PKCS#7 type,
// followed at most by the zero bytes that pad it to an 8-byte boundary.
std::optional<std::span<const uint8_t>> PrimarySignaturePayload(std::span<const uint8_t> table);

}  // namespace updater

#endif  // AUTHENTICODE_CERTIFICATE_TABLE_H_
