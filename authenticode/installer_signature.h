#ifndef AUTHENTICODE_INSTALLER_SIGNATURE_H_
#define AUTHENTICODE_INSTALLER_SIGNATURE_H_

#include <optional>

#include "authenticode/read_only_file_platform.h"
#include "base/directory_handle_platform.h"
#include "base/fs_path.h"

namespace updater {

// Whether the downloaded installer at `path` may be run: it carries a valid
// Authenticode signature that chains to the trust anchors fixed when the
// updater was built (the machine's CA bundle when none were given). A
// certificate outside its validity period is tolerated; everything else that
// is wrong, including a missing file, gives false.
bool VerifyInstallerSignature(const FsPath& path);

// A downloaded installer whose signature verified, kept open from before the
// check until it is no longer needed, so that what starts can be held to
// what was checked (on Windows nobody can change, delete or rename it
// meanwhile).
class VerifiedInstaller {
 public:
  // The entry of an open directory that `path` names, never through a link,
  // when its signature verifies (see VerifyInstallerSignature).
  static std::optional<VerifiedInstaller> Open(platform::EntryAt entry, const FsPath& path);

  const FsPath& path() const { return path_; }
  // Whether the path still names the very file that was verified, unchanged.
  bool IsAtItsPath() const { return file_.IsNamedBy(path_); }

 private:
  VerifiedInstaller(platform::ReadOnlyFile file, const FsPath& path);

  platform::ReadOnlyFile file_;
  FsPath path_;
};

}  // namespace updater

#endif  // AUTHENTICODE_INSTALLER_SIGNATURE_H_
