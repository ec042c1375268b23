#include "authenticode/installer_signature_check_linux.h"
#include "authenticode/installer_signature_platform.h"
#include "base/build_config.h"

namespace updater::platform {

bool VerifyInstallerSignature(const FsPath& path) {
  // Loaded per call: the check keeps no state between calls, and it is rare.
  const std::string_view embedded = EmbeddedTrustedRootsPem();
  const TrustAnchors anchors =
      embedded.empty() ? TrustAnchors::FromMachineBundle() : TrustAnchors::FromPem(embedded);
  return updater::VerifyInstallerSignature(path, anchors);
}

}  // namespace updater::platform
