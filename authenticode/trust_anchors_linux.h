#ifndef AUTHENTICODE_TRUST_ANCHORS_LINUX_H_
#define AUTHENTICODE_TRUST_ANCHORS_LINUX_H_

#include <openssl/types.h>

#include <memory>
#include <string_view>

namespace updater {

// The root certificates a signature's chain must end in.
class TrustAnchors {
 public:
  // Every certificate in `pem`; text that is not a certificate is skipped,
  // so bad input gives fewer anchors, never an error.
  static TrustAnchors FromPem(std::string_view pem);
  // The machine's CA bundle, as the system's OpenSSL configuration names it.
  static TrustAnchors FromMachineBundle();

  TrustAnchors(TrustAnchors&&) noexcept = default;
  TrustAnchors& operator=(TrustAnchors&&) noexcept = default;

  X509_STORE* store() const { return store_.get(); }

 private:
  struct FreeStore {
    void operator()(X509_STORE* store) const;
  };
  explicit TrustAnchors(X509_STORE* store) : store_(store) {}

  std::unique_ptr<X509_STORE, FreeStore> store_;
};

}  // namespace updater

#endif  // AUTHENTICODE_TRUST_ANCHORS_LINUX_H_
