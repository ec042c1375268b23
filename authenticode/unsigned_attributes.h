#ifndef AUTHENTICODE_UNSIGNED_ATTRIBUTES_H_
#define AUTHENTICODE_UNSIGNED_ATTRIBUTES_H_

#include <cstdint>
#include <span>

namespace updater {

// The largest unsigned attribute of each kind the signer may carry, counted
// as the attribute's DER contents. Real ones take a few kilobytes; anything
// larger is room for data that no signature covers.
inline constexpr size_t kMaxCountersignatureSize = 8 * 1024;
inline constexpr size_t kMaxTimestampSize = 16 * 1024;
inline constexpr size_t kMaxNestedSignatureSize = 32 * 1024;

// Whether `payload`, the primary certificate-table entry (a DER ContentInfo
// holding a SignedData, then at most 7 zero bytes), has one signer whose
// unsigned attributes are only a countersignature (1.2.840.113549.1.9.6), an
// RFC 3161 timestamp (1.3.6.1.4.1.311.3.3.1) and a nested signature
// (1.3.6.1.4.1.311.2.4.1), each at most once and within its size limit. The
// signer's signature does not cover these attributes, so anything else there
// is data an attacker may have put into a genuinely signed file.
bool HasOnlyKnownUnsignedAttributes(std::span<const uint8_t> payload);

}  // namespace updater

#endif  // AUTHENTICODE_UNSIGNED_ATTRIBUTES_H_
