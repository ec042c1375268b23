#ifndef AUTHENTICODE_INSTALLER_SIGNATURE_PLATFORM_H_
#define AUTHENTICODE_INSTALLER_SIGNATURE_PLATFORM_H_

#include "base/fs_path.h"

namespace updater::platform {

// Whether the file at `path` carries a valid Authenticode signature that
// chains to the trust anchors of this build (see VerifyInstallerSignature).
bool VerifyInstallerSignature(const FsPath& path);

}  // namespace updater::platform

#endif  // AUTHENTICODE_INSTALLER_SIGNATURE_PLATFORM_H_
