#ifndef TESTS_SUPPORT_SCRATCH_INSTALLATION_H_
#define TESTS_SUPPORT_SCRATCH_INSTALLATION_H_

// A throw-away installation with a copy of an updater build in it, so that
// the copy's own directory, install_dir and debug.log are the test's.

#include <filesystem>
#include <string>
#include <vector>

#include "dialog/toolkit_module_gtk.h"
#include "tests/support/child_process.h"

namespace updater::test_support {

// root/
//   <install_dir_name>/   the browser's installation directory
//     <updater_version>/  the updater's own directory
//       <the updater binary, under its own file name>
//       rivazeriduv_updater_gtk.so  when the build has it beside the binary
//   tmp/                  TMPDIR of every run
// Removed with everything in it on destruction.
class ScratchInstallation {
 public:
  // `install_dir_name` and `updater_version` may be any file name, or several
  // levels of them.
  explicit ScratchInstallation(const std::string& updater_binary,
                               const std::string& install_dir_name = "install",
                               const std::string& updater_version = "1.0.0.0");
  ~ScratchInstallation();
  ScratchInstallation(const ScratchInstallation&) = delete;
  ScratchInstallation& operator=(const ScratchInstallation&) = delete;

  const std::filesystem::path& root() const { return root_; }
  const std::filesystem::path& install_dir() const { return install_dir_; }
  const std::filesystem::path& updater_dir() const { return updater_dir_; }
  const std::filesystem::path& updater_path() const { return updater_path_; }
  const std::filesystem::path& temp_dir() const { return temp_dir_; }
  std::filesystem::path toolkit_module_path() const {
    return updater_dir_ / platform::kToolkitModuleName;
  }

  // How a run starts: with TMPDIR, PATH and the sanitizers' options only in
  // its environment, behind `gate` when there is one.
  ChildOptions RunOptions(const StartGate* gate = nullptr) const;
  ChildProcess Start(const std::vector<std::string>& arguments,
                     const StartGate* gate = nullptr) const;
  ExitStatus Run(const std::vector<std::string>& arguments) const;

  // Every path below root (relative, sorted), with a size or link target,
  // to see that a run changed nothing.
  std::vector<std::string> Snapshot() const;

 private:
  std::filesystem::path root_;
  std::filesystem::path install_dir_;
  std::filesystem::path updater_dir_;
  std::filesystem::path updater_path_;
  std::filesystem::path temp_dir_;
};

}  // namespace updater::test_support

#endif  // TESTS_SUPPORT_SCRATCH_INSTALLATION_H_
