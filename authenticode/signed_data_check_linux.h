#ifndef AUTHENTICODE_SIGNED_DATA_CHECK_LINUX_H_
#define AUTHENTICODE_SIGNED_DATA_CHECK_LINUX_H_

#include <cstdint>
#include <span>
#include <vector>

#include "authenticode/digest_algorithm.h"
#include "authenticode/signature_status.h"
#include "authenticode/trust_anchors_linux.h"

namespace updater {

struct SignedDataCheck {
  SignatureStatus status = SignatureStatus::kMalformedSignature;
  // When the status is trusted: the digest the image must have.
  DigestAlgorithm algorithm = DigestAlgorithm::kSha256;
  std::vector<uint8_t> image_digest;
};

// Checks an Authenticode PKCS#7 SignedData (`payload`, the primary
// certificate-table entry, possibly followed by up to 7 zero bytes): an
// SpcIndirectDataContent for a PE image, one signer whose signature over its
// authenticated attributes is valid and whose message-digest attribute matches
// the content, and a signer certificate that chains to `anchors` and may sign
// code. Certificates outside their validity period are tolerated; revocation
// is not checked; names are not examined.
SignedDataCheck CheckSignedData(std::span<const uint8_t> payload, const TrustAnchors& anchors);

}  // namespace updater

#endif  // AUTHENTICODE_SIGNED_DATA_CHECK_LINUX_H_
