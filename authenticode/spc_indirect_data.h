#ifndef AUTHENTICODE_SPC_INDIRECT_DATA_H_
#define AUTHENTICODE_SPC_INDIRECT_DATA_H_

#include <cstdint>
#include <optional>
#include <span>

#include "authenticode/digest_algorithm.h"

namespace updater {

// What an Authenticode signature says about the PE image it signs.
struct SpcIndirectData {
  DigestAlgorithm algorithm = DigestAlgorithm::kSha256;
  std::span<const uint8_t> image_digest;
  // The contents octets of the outer SEQUENCE: the signer's message-digest
  // attribute is computed over these, without the tag and length.
  std::span<const uint8_t> signed_content;
};

// Parses the DER of an SpcIndirectDataContent that describes a PE image:
//   SEQUENCE { SEQUENCE { OID spcPeImageData, ANY OPTIONAL },
//              SEQUENCE { SEQUENCE { OID digest, NULL OPTIONAL }, OCTET STRING } }
// Nothing when it is anything else, names an unknown digest, or carries a
// digest of the wrong length.
std::optional<SpcIndirectData> ParseSpcIndirectData(std::span<const uint8_t> der);

}  // namespace updater

#endif  // AUTHENTICODE_SPC_INDIRECT_DATA_H_
