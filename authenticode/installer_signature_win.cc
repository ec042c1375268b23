// The trust verdict is Windows' own (WinVerifyTrust against the machine's
// roots). Before it, the file must have the one layout this updater accepts
// on every platform: a PE image whose certificate table ends the file and
// holds exactly one signature whose signer carries only the known unsigned
// attributes. Windows' provider tolerates bytes in the table that no digest
// covers; nothing the signature does not cover is accepted. After it, the
// signer must name code signing when it names uses, and a build with
// embedded roots demands that the chain Windows built ends in one of them:
// the machine trusts every public CA's code-signing customers.
#include <windows.h>
// After windows.h.
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "authenticode/certificate_table.h"
#include "authenticode/installer_signature_platform.h"
#include "authenticode/pe_image_layout.h"
#include "authenticode/read_only_file_platform.h"
#include "authenticode/unsigned_attributes.h"
#include "base/build_config.h"
#include "base/native_win.h"

namespace updater::platform {
namespace {

constexpr LONG kCertificateOutsideValidity = static_cast<LONG>(0x800B0101);  // CERT_E_EXPIRED

bool HasOneSignatureEndingTheFile(const ReadOnlyFile& file) {
  std::vector<uint8_t> head(std::min<uint64_t>(file.size(), kPeHeadLimit));
  if (!file.ReadAt(0, head)) return false;
  const std::optional<PeImageLayout> layout = ParsePeImageLayout(head, file.size());
  if (!layout || !layout->IsSigned() || layout->certificate_table.size > kMaxCertificateTableSize) {
    return false;
  }
  std::vector<uint8_t> table(layout->certificate_table.size);
  if (!file.ReadAt(layout->certificate_table.offset, table)) return false;
  const std::optional<std::span<const uint8_t>> payload = PrimarySignaturePayload(table);
  return payload && HasOnlyKnownUnsignedAttributes(*payload);
}

using DerCertificate = std::vector<uint8_t>;

// The certificates of the embedded PEM text, as DER; text that is not a
// certificate is skipped.
std::vector<DerCertificate> EmbeddedRoots() {
  constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
  std::vector<DerCertificate> roots;
  std::string_view pem = EmbeddedTrustedRootsPem();
  for (size_t begin = pem.find("-----BEGIN CERTIFICATE-----"); begin != std::string_view::npos;
       begin = pem.find("-----BEGIN CERTIFICATE-----")) {
    const size_t end = pem.find(kEnd, begin);
    if (end == std::string_view::npos) break;
    const std::string_view block = pem.substr(begin, end + kEnd.size() - begin);
    pem.remove_prefix(end + kEnd.size());
    DWORD size = 0;
    if (!CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
      continue;
    }
    DerCertificate root(size);
    if (CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                             CRYPT_STRING_BASE64HEADER, root.data(), &size, nullptr, nullptr)) {
      root.resize(size);
      roots.push_back(std::move(root));
    }
  }
  return roots;
}

bool IsOneOf(const CERT_CONTEXT* certificate, const std::vector<DerCertificate>& roots) {
  const std::span<const uint8_t> encoded(certificate->pbCertEncoded, certificate->cbCertEncoded);
  return std::ranges::any_of(
      roots, [&](const DerCertificate& root) { return std::ranges::equal(root, encoded); });
}

// As on Linux: a signer whose certificate names its uses must name code
// signing; allowing any use is for issuers.
bool SignerMayCodeSign(const CERT_CONTEXT* signer) {
  DWORD size = 0;
  if (!CertGetEnhancedKeyUsage(signer, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, nullptr, &size)) {
    return GetLastError() == static_cast<DWORD>(CRYPT_E_NOT_FOUND);  // no restriction
  }
  std::vector<uint64_t> buffer(size / sizeof(uint64_t) + 1);
  auto* usage = reinterpret_cast<CERT_ENHKEY_USAGE*>(buffer.data());
  if (!CertGetEnhancedKeyUsage(signer, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, usage, &size)) {
    return false;
  }
  const std::span<LPSTR> identifiers(usage->rgpszUsageIdentifier, usage->cUsageIdentifier);
  return std::ranges::any_of(identifiers, [](LPSTR identifier) {
    return std::string_view(identifier) == szOID_PKIX_KP_CODE_SIGNING;
  });
}

// The chain the provider built for the signer, read from its state while
// that is still open: every link's signature valid, the signer allowed to
// sign code and, with embedded `roots`, the last certificate one of them.
// wine's provider trusts unknown roots, so the roots decide there.
bool SignerChainIsAccepted(HANDLE provider_state, const std::vector<DerCertificate>& roots) {
  CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(provider_state);
  const CRYPT_PROVIDER_SGNR* signer =
      provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
  if (!signer || !signer->pChainContext || signer->pChainContext->cChain == 0) return false;
  const CERT_SIMPLE_CHAIN* chain = signer->pChainContext->rgpChain[0];
  if (!chain || chain->cElement == 0 ||
      (chain->TrustStatus.dwErrorStatus & CERT_TRUST_IS_NOT_SIGNATURE_VALID) ||
      !SignerMayCodeSign(chain->rgpElement[0]->pCertContext)) {
    return false;
  }
  return roots.empty() || IsOneOf(chain->rgpElement[chain->cElement - 1]->pCertContext, roots);
}

bool IsTrustedVerdict(LONG status) {
  return status == ERROR_SUCCESS || status == kCertificateOutsideValidity;
}

// Whether the provider trusts the file and the chain it built is accepted.
bool AskTrustProvider(const std::wstring& path, const std::vector<DerCertificate>& roots) {
  WINTRUST_FILE_INFO file_info{};
  file_info.cbStruct = sizeof(file_info);
  file_info.pcwszFilePath = path.c_str();
  WINTRUST_DATA data{};
  // 80 bytes with mingw-w64's header, which ends the structure before
  // pSignatureSettings (88 with the Windows 8 SDK's): the provider takes the
  // fields past cbStruct as absent, which for that pointer means null.
  static_assert(sizeof(data) == 80, "WINTRUST_DATA without pSignatureSettings");
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file_info;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG status = WinVerifyTrust(nullptr, &action, &data);
  const bool trusted = IsTrustedVerdict(status) && SignerChainIsAccepted(data.hWVTStateData, roots);
  // Releases the provider's state; its answer does not matter.
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(nullptr, &action, &data);
  return trusted;
}

}  // namespace

// `file` shares only reading while it is open: the provider, which reads
// `path` again, sees the bytes the layout check saw.
bool VerifyInstallerSignature(const ReadOnlyFile& file, const FsPath& path) {
  if (!HasOneSignatureEndingTheFile(file)) return false;
  // Read per call, as on Linux: the check keeps no state between calls.
  return AskTrustProvider(win::ToWide(path.value()), EmbeddedRoots());
}

}  // namespace updater::platform
