#include "authenticode/installer_signature.h"

#include "authenticode/installer_signature_platform.h"

namespace updater {

bool VerifyInstallerSignature(const FsPath& path) {
  return platform::VerifyInstallerSignature(path);
}

}  // namespace updater
