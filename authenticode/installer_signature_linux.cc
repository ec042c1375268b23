#include "authenticode/installer_signature_check_linux.h"
#include "authenticode/installer_signature_platform.h"
#include "base/build_config.h"

namespace updater::platform {

// The open file is what is read; its path is not looked up again.
bool VerifyInstallerSignature(const ReadOnlyFile& file, const FsPath& /*path*/) {
  // Loaded per call: the check keeps no state between calls, and it is rare.
  const std::string_view embedded = EmbeddedTrustedRootsPem();
  const TrustAnchors anchors =
      embedded.empty() ? TrustAnchors::FromMachineBundle() : TrustAnchors::FromPem(embedded);
  return IsTrusted(CheckInstallerSignature(file, anchors));
}

}  // namespace updater::platform
