#ifndef AUTHENTICODE_DIGEST_ALGORITHM_H_
#define AUTHENTICODE_DIGEST_ALGORITHM_H_

#include <cstddef>

namespace updater {

// The digests an Authenticode signature may name for the image.
enum class DigestAlgorithm { kSha1, kSha256, kSha384, kSha512 };

constexpr size_t DigestSize(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::kSha1:
      return 20;
    case DigestAlgorithm::kSha256:
      return 32;
    case DigestAlgorithm::kSha384:
      return 48;
    case DigestAlgorithm::kSha512:
      return 64;
  }
  return 0;
}

}  // namespace updater

#endif  // AUTHENTICODE_DIGEST_ALGORITHM_H_
