#include "authenticode/image_digest_linux.h"

#include <openssl/evp.h>

namespace updater {
namespace {

const EVP_MD* MessageDigestOf(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::kSha1:
      return EVP_sha1();
    case DigestAlgorithm::kSha256:
      return EVP_sha256();
    case DigestAlgorithm::kSha384:
      return EVP_sha384();
    case DigestAlgorithm::kSha512:
      return EVP_sha512();
  }
  return nullptr;
}

}  // namespace

struct ImageDigest::Context {
  struct Free {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
  };
  std::unique_ptr<EVP_MD_CTX, Free> md{EVP_MD_CTX_new()};
};

ImageDigest::ImageDigest(DigestAlgorithm algorithm) : context_(std::make_unique<Context>()) {
  ok_ = context_->md && EVP_DigestInit_ex(context_->md.get(), MessageDigestOf(algorithm), nullptr);
}

ImageDigest::ImageDigest(ImageDigest&&) noexcept = default;
ImageDigest& ImageDigest::operator=(ImageDigest&&) noexcept = default;
ImageDigest::~ImageDigest() = default;

void ImageDigest::Update(std::span<const uint8_t> bytes) {
  if (ok_) ok_ = EVP_DigestUpdate(context_->md.get(), bytes.data(), bytes.size());
}

std::vector<uint8_t> ImageDigest::Finish() {
  std::vector<uint8_t> digest(EVP_MAX_MD_SIZE);
  unsigned int size = 0;
  if (!ok_ || !EVP_DigestFinal_ex(context_->md.get(), digest.data(), &size)) return {};
  ok_ = false;
  digest.resize(size);
  return digest;
}

}  // namespace updater
