#include "authenticode/signed_data_check_linux.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <optional>
#include <string_view>

#include "authenticode/spc_indirect_data.h"

namespace updater {
namespace {

constexpr std::string_view kSpcIndirectDataOid = "1.3.6.1.4.1.311.2.1.4";
constexpr size_t kMaxPadding = 7;

template <auto Free>
struct Deleter {
  template <typename T>
  void operator()(T* pointer) const {
    Free(pointer);
  }
};
using Pkcs7Ptr = std::unique_ptr<PKCS7, Deleter<PKCS7_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO_free>>;
using StoreContextPtr = std::unique_ptr<X509_STORE_CTX, Deleter<X509_STORE_CTX_free>>;
struct FreeCertificateStack {
  void operator()(STACK_OF(X509) * stack) const { sk_X509_free(stack); }
};
using SignerStackPtr = std::unique_ptr<STACK_OF(X509), FreeCertificateStack>;

// Clears OpenSSL's thread-local error queue on every way out, so that later
// users of the library on this thread (the HTTP client) see no stale errors.
struct ErrorQueueGuard {
  ~ErrorQueueGuard() { ERR_clear_error(); }
};

Pkcs7Ptr ParsePadded(std::span<const uint8_t> payload) {
  if (payload.size() > LONG_MAX) return nullptr;
  const unsigned char* cursor = payload.data();
  Pkcs7Ptr p7(d2i_PKCS7(nullptr, &cursor, static_cast<long>(payload.size())));
  if (!p7) return nullptr;
  const std::span<const uint8_t> padding = payload.subspan(cursor - payload.data());
  if (padding.size() > kMaxPadding || !std::ranges::all_of(padding, [](uint8_t b) { return !b; })) {
    return nullptr;
  }
  return p7;
}

bool IsObject(const ASN1_OBJECT* object, std::string_view dotted) {
  std::array<char, 64> text{};
  const int length = OBJ_obj2txt(text.data(), text.size(), object, /*no_name=*/1);
  return length > 0 && static_cast<size_t>(length) < text.size() &&
         std::string_view(text.data(), length) == dotted;
}

// The DER of the SpcIndirectDataContent, or nothing when the SignedData holds
// other content.
std::optional<std::span<const uint8_t>> IndirectDataOf(const PKCS7* p7) {
  if (!PKCS7_type_is_signed(p7) || !p7->d.sign || !p7->d.sign->contents) return std::nullopt;
  const PKCS7* contents = p7->d.sign->contents;
  if (!contents->type || !IsObject(contents->type, kSpcIndirectDataOid)) return std::nullopt;
  const ASN1_TYPE* value = contents->d.other;
  if (!value || value->type != V_ASN1_SEQUENCE || !value->value.sequence) return std::nullopt;
  const ASN1_STRING* sequence = value->value.sequence;
  return std::span<const uint8_t>(sequence->data, static_cast<size_t>(sequence->length));
}

bool IsKnownDigest(const X509_ALGOR* algorithm) {
  if (!algorithm) return false;
  const int nid = OBJ_obj2nid(algorithm->algorithm);
  return nid == NID_sha1 || nid == NID_sha256 || nid == NID_sha384 || nid == NID_sha512;
}

// Authenticode demands one signer, with authenticated attributes that name
// the content type, and one digest algorithm, the signer's. A SignedData that
// names a digest OpenSSL cannot set up would also make PKCS7_verify leak.
PKCS7_SIGNER_INFO* AuthenticodeSignerOf(PKCS7* p7) {
  STACK_OF(PKCS7_SIGNER_INFO)* signers = PKCS7_get_signer_info(p7);
  const STACK_OF(X509_ALGOR)* digests = p7->d.sign->md_algs;
  if (!signers || sk_PKCS7_SIGNER_INFO_num(signers) != 1 || !digests ||
      sk_X509_ALGOR_num(digests) != 1) {
    return nullptr;
  }
  PKCS7_SIGNER_INFO* signer = sk_PKCS7_SIGNER_INFO_value(signers, 0);
  const X509_ALGOR* digest = sk_X509_ALGOR_value(digests, 0);
  if (!IsKnownDigest(digest) || !signer->digest_alg ||
      OBJ_cmp(digest->algorithm, signer->digest_alg->algorithm) != 0) {
    return nullptr;
  }
  const ASN1_TYPE* content_type = PKCS7_get_signed_attribute(signer, NID_pkcs9_contentType);
  if (!content_type || content_type->type != V_ASN1_OBJECT ||
      OBJ_cmp(content_type->value.object, p7->d.sign->contents->type) != 0) {
    return nullptr;
  }
  return signer;
}

// Checks the signer's signature and message digest over the content octets;
// chains are checked separately.
bool SignerSignatureIsValid(PKCS7* p7, std::span<const uint8_t> signed_content) {
  BioPtr content(BIO_new_mem_buf(signed_content.data(), static_cast<int>(signed_content.size())));
  return content && PKCS7_verify(p7, nullptr, nullptr, content.get(), nullptr, PKCS7_NOVERIFY) == 1;
}

int ToleratingValidityPeriod(int ok, X509_STORE_CTX* context) {
  const int error = X509_STORE_CTX_get_error(context);
  if (ok || (error != X509_V_ERR_CERT_HAS_EXPIRED && error != X509_V_ERR_CERT_NOT_YET_VALID)) {
    return ok;
  }
  *static_cast<bool*>(X509_STORE_CTX_get_app_data(context)) = true;
  return 1;
}

// Absent extensions restrict nothing, as on the platform whose signatures
// these are. An issuer may allow any use; the signer must name code signing.
bool AllowsCodeSigning(X509* certificate, bool is_signer) {
  const uint32_t extensions = X509_get_extension_flags(certificate);
  const uint32_t code_signing = is_signer ? XKU_CODE_SIGN : XKU_CODE_SIGN | XKU_ANYEKU;
  if ((extensions & EXFLAG_XKUSAGE) && !(X509_get_extended_key_usage(certificate) & code_signing)) {
    return false;
  }
  return !is_signer || !(extensions & EXFLAG_KUSAGE) ||
         (X509_get_key_usage(certificate) & KU_DIGITAL_SIGNATURE);
}

SignatureStatus CheckChain(PKCS7* p7, X509* signer, const TrustAnchors& anchors) {
  StoreContextPtr context(X509_STORE_CTX_new());
  bool outside_validity = false;
  if (!context || !anchors.store() ||
      !X509_STORE_CTX_init(context.get(), anchors.store(), signer, p7->d.sign->cert)) {
    return SignatureStatus::kUntrustedChain;
  }
  X509_STORE_CTX_set_verify_cb(context.get(), ToleratingValidityPeriod);
  X509_STORE_CTX_set_app_data(context.get(), &outside_validity);
  if (X509_verify_cert(context.get()) != 1) return SignatureStatus::kUntrustedChain;

  STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(context.get());
  for (int i = 0; i < sk_X509_num(chain); ++i) {
    if (!AllowsCodeSigning(sk_X509_value(chain, i), i == 0)) {
      return SignatureStatus::kNotForCodeSigning;
    }
  }
  return outside_validity ? SignatureStatus::kTrustedOutsideValidity : SignatureStatus::kTrusted;
}

}  // namespace

SignedDataCheck CheckSignedData(std::span<const uint8_t> payload, const TrustAnchors& anchors) {
  ErrorQueueGuard clear_errors_on_return;
  SignedDataCheck check;
  Pkcs7Ptr p7 = ParsePadded(payload);
  const std::optional<std::span<const uint8_t>> indirect_data =
      p7 ? IndirectDataOf(p7.get()) : std::nullopt;
  const std::optional<SpcIndirectData> content =
      indirect_data ? ParseSpcIndirectData(*indirect_data) : std::nullopt;
  if (!content || !AuthenticodeSignerOf(p7.get())) return check;  // malformed

  SignerStackPtr signers(PKCS7_get0_signers(p7.get(), nullptr, 0));
  if (!signers || sk_X509_num(signers.get()) != 1) return check;
  if (!SignerSignatureIsValid(p7.get(), content->signed_content)) {
    check.status = SignatureStatus::kBadSignerSignature;
    return check;
  }
  check.status = CheckChain(p7.get(), sk_X509_value(signers.get(), 0), anchors);
  check.algorithm = content->algorithm;
  check.image_digest.assign(content->image_digest.begin(), content->image_digest.end());
  return check;
}

}  // namespace updater
