#include "authenticode/trust_anchors_linux.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace updater {

void TrustAnchors::FreeStore::operator()(X509_STORE* store) const {
  X509_STORE_free(store);
}

TrustAnchors TrustAnchors::FromPem(std::string_view pem) {
  TrustAnchors anchors(X509_STORE_new());
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  while (bio && anchors.store()) {
    X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    if (!certificate) break;
    X509_STORE_add_cert(anchors.store(), certificate);  // takes its own reference
    X509_free(certificate);
  }
  BIO_free(bio);
  ERR_clear_error();  // the end of the text reads as an error
  return anchors;
}

TrustAnchors TrustAnchors::FromMachineBundle() {
  TrustAnchors anchors(X509_STORE_new());
  if (anchors.store()) {
    // Read directly rather than through X509_STORE_set_default_paths, which
    // would let environment variables choose what the updater trusts.
    X509_STORE_load_file(anchors.store(), X509_get_default_cert_file());
    X509_STORE_load_path(anchors.store(), X509_get_default_cert_dir());
    ERR_clear_error();
  }
  return anchors;
}

}  // namespace updater
