#ifndef AUTHENTICODE_IMAGE_DIGEST_LINUX_H_
#define AUTHENTICODE_IMAGE_DIGEST_LINUX_H_

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "authenticode/digest_algorithm.h"

namespace updater {

// A running message digest, fed piece by piece.
class ImageDigest {
 public:
  explicit ImageDigest(DigestAlgorithm algorithm);
  ImageDigest(ImageDigest&&) noexcept;
  ImageDigest& operator=(ImageDigest&&) noexcept;
  ~ImageDigest();

  // False when the digest could not be set up or fed; it stays false.
  bool ok() const { return ok_; }
  void Update(std::span<const uint8_t> bytes);
  // The digest of everything fed; empty when not ok().
  std::vector<uint8_t> Finish();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
  bool ok_ = false;
};

}  // namespace updater

#endif  // AUTHENTICODE_IMAGE_DIGEST_LINUX_H_
