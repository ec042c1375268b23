#ifndef AUTHENTICODE_SIGNATURE_STATUS_H_
#define AUTHENTICODE_SIGNATURE_STATUS_H_

namespace updater {

// Why an installer's signature was or was not accepted.
enum class SignatureStatus {
  kTrusted,
  // Trusted; a certificate of the chain is outside its validity period, the
  // one fault that is tolerated.
  kTrustedOutsideValidity,
  kUnreadableFile,       // missing, not a regular file, or a read failed
  kNotPeImage,           // not a PE32/PE32+ image, or the certificate table does not end it
  kUnsigned,             // no certificate table
  kMalformedSignature,   // table, PKCS#7 SignedData or its content not as required
  kBadSignerSignature,   // signer's signature or message-digest attribute does not match
  kUntrustedChain,       // no valid chain to a trust anchor
  kNotForCodeSigning,    // the chain does not allow code signing
  kImageDigestMismatch,  // the file's content differs from what was signed
};

constexpr bool IsTrusted(SignatureStatus status) {
  return status == SignatureStatus::kTrusted || status == SignatureStatus::kTrustedOutsideValidity;
}

}  // namespace updater

#endif  // AUTHENTICODE_SIGNATURE_STATUS_H_
