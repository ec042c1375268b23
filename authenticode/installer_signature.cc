#include "authenticode/installer_signature.h"

#include <utility>

#include "authenticode/installer_signature_platform.h"

namespace updater {

bool VerifyInstallerSignature(const FsPath& path) {
  const std::optional<platform::ReadOnlyFile> file = platform::ReadOnlyFile::Open(path);
  return file && platform::VerifyInstallerSignature(*file, path);
}

std::optional<VerifiedInstaller> VerifiedInstaller::Open(platform::EntryAt entry,
                                                         const FsPath& path) {
  std::optional<platform::ReadOnlyFile> file = platform::ReadOnlyFile::Open(entry);
  if (!file || !platform::VerifyInstallerSignature(*file, path)) return std::nullopt;
  return VerifiedInstaller(std::move(*file), path);
}

VerifiedInstaller::VerifiedInstaller(platform::ReadOnlyFile file, const FsPath& path)
    : file_(std::move(file)), path_(path) {}

}  // namespace updater
