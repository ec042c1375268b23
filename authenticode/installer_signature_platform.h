#ifndef AUTHENTICODE_INSTALLER_SIGNATURE_PLATFORM_H_
#define AUTHENTICODE_INSTALLER_SIGNATURE_PLATFORM_H_

#include "authenticode/read_only_file_platform.h"
#include "base/fs_path.h"

namespace updater::platform {

// Whether `file`, open at `path`, carries a valid Authenticode signature
// that chains to the trust anchors of this build (see
// VerifyInstallerSignature). The file stays open, and unchanged, meanwhile.
bool VerifyInstallerSignature(const ReadOnlyFile& file, const FsPath& path);

}  // namespace updater::platform

#endif  // AUTHENTICODE_INSTALLER_SIGNATURE_PLATFORM_H_
