#ifndef AUTHENTICODE_INSTALLER_SIGNATURE_H_
#define AUTHENTICODE_INSTALLER_SIGNATURE_H_

#include "base/fs_path.h"

namespace updater {

// Whether the downloaded installer at `path` may be run: it carries a valid
// Authenticode signature that chains to the trust anchors fixed when the
// updater was built (the machine's CA bundle when none were given). A
// certificate outside its validity period is tolerated; everything else that
// is wrong, including a missing file, gives false.
bool VerifyInstallerSignature(const FsPath& path);

}  // namespace updater

#endif  // AUTHENTICODE_INSTALLER_SIGNATURE_H_
