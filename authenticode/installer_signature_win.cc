// The trust verdict is Windows' own (WinVerifyTrust against the machine's
// roots). Before it, the file must have the one layout this updater accepts
// on every platform: a PE image whose certificate table ends the file and
// holds exactly one signature. Windows' provider tolerates bytes in the table
// that no digest covers; nothing the signature does not cover is accepted.
#include <windows.h>
// After windows.h.
#include <softpub.h>
#include <wintrust.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "authenticode/certificate_table.h"
#include "authenticode/installer_signature_platform.h"
#include "authenticode/pe_image_layout.h"
#include "authenticode/read_only_file_platform.h"
#include "base/file_util_win.h"

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
  return file.ReadAt(layout->certificate_table.offset, table) &&
         PrimarySignaturePayload(table).has_value();
}

LONG AskTrustProvider(const std::wstring& path) {
  WINTRUST_FILE_INFO file_info{};
  file_info.cbStruct = sizeof(file_info);
  file_info.pcwszFilePath = path.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file_info;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG status = WinVerifyTrust(nullptr, &action, &data);
  // Releases the provider's state; its answer does not matter.
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(nullptr, &action, &data);
  return status;
}

}  // namespace

// `file` shares only reading while it is open: the provider, which reads
// `path` again, sees the bytes the layout check saw.
bool VerifyInstallerSignature(const ReadOnlyFile& file, const FsPath& path) {
  if (!HasOneSignatureEndingTheFile(file)) return false;
  const LONG status = AskTrustProvider(win::ToWide(path.value()));
  return status == ERROR_SUCCESS || status == kCertificateOutsideValidity;
}

}  // namespace updater::platform
