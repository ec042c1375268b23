#ifndef AUTHENTICODE_INSTALLER_SIGNATURE_CHECK_LINUX_H_
#define AUTHENTICODE_INSTALLER_SIGNATURE_CHECK_LINUX_H_

#include "authenticode/read_only_file_platform.h"
#include "authenticode/signature_status.h"
#include "authenticode/trust_anchors_linux.h"
#include "base/fs_path.h"

namespace updater {

// VerifyInstallerSignature against explicit trust anchors.
bool VerifyInstallerSignature(const FsPath& path, const TrustAnchors& anchors);

// The verdict with its reason. Reads the file once; holds at most its headers,
// its certificate table and one read buffer in memory.
SignatureStatus CheckInstallerSignature(const FsPath& path, const TrustAnchors& anchors);
// The same for a file already open.
SignatureStatus CheckInstallerSignature(const platform::ReadOnlyFile& file,
                                        const TrustAnchors& anchors);

}  // namespace updater

#endif  // AUTHENTICODE_INSTALLER_SIGNATURE_CHECK_LINUX_H_
