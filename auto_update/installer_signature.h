#ifndef AUTO_UPDATE_INSTALLER_SIGNATURE_H_
#define AUTO_UPDATE_INSTALLER_SIGNATURE_H_

#include "auto_update/signature_status.h"
#include "auto_update/trust_anchors.h"
#include "base/fs_path.h"

namespace updater {

// Whether the downloaded installer at `path` may be run: it carries a valid
// Authenticode signature that chains to the trust anchors fixed when the
// updater was built (the machine's CA bundle when none were given). A
// certificate outside its validity period is tolerated; everything else that
// is wrong, including a missing file, gives false.
bool VerifyInstallerSignature(const FsPath& path);

// The same against explicit trust anchors.
bool VerifyInstallerSignature(const FsPath& path, const TrustAnchors& anchors);

// The verdict with its reason. Reads the file once; holds at most its headers,
// its certificate table and one read buffer in memory.
SignatureStatus CheckInstallerSignature(const FsPath& path, const TrustAnchors& anchors);

}  // namespace updater

#endif  // AUTO_UPDATE_INSTALLER_SIGNATURE_H_
