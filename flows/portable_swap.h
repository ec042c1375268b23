#ifndef FLOWS_PORTABLE_SWAP_H_
#define FLOWS_PORTABLE_SWAP_H_

#include <string_view>

#include "authenticode/installer_signature.h"
#include "base/fs_path.h"
#include "update_run/update_context.h"
#include "update_run/update_result.h"

namespace updater {

// Updates the portable browser the context's state describes: removes
// version directories below the running version, runs the package to
// extract itself into temp_dir, and moves the extracted files into
// install_dir, leaving a running browser's executable alone: 0, 7, 17, 18,
// 19, 21 or 22 (1 when the run was stopped before the package started, 26
// when the package's path no longer names the file that was verified). Once
// the package has started, the swap follows whatever the dialog does.
UpdateResult SwapPortableFiles(const UpdateContext& context,
                               const VerifiedInstaller& package,
                               const FsPath& temp_dir,
                               const FsPath& install_dir);

// Moves every entry of from_dir into to_dir, files replacing files and
// directories merging into directories; tries every entry and tells whether
// all of them moved. An entry named `kept_back` stays where it is.
bool MoveDirectoryContents(const FsPath& from_dir,
                           const FsPath& to_dir,
                           std::u16string_view kept_back = {});

}  // namespace updater

#endif  // FLOWS_PORTABLE_SWAP_H_
