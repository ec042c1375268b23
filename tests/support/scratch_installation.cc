#include "tests/support/scratch_installation.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "tests/support/test_files.h"

namespace updater::test_support {

namespace fs = std::filesystem;

ScratchInstallation::ScratchInstallation(const std::string& updater_binary,
                                         const std::string& install_dir_name,
                                         const std::string& updater_version)
    : root_(MakeScratchDirectory("updater_scratch_")),
      install_dir_(root_ / install_dir_name),
      updater_dir_(install_dir_ / updater_version),
      updater_path_(updater_dir_ / fs::path(updater_binary).filename()),
      temp_dir_(root_ / "tmp") {
  fs::create_directories(updater_dir_);
  fs::create_directories(temp_dir_);
  fs::copy_file(updater_binary, updater_path_);
  fs::permissions(updater_path_, fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
  // Interactive runs load the toolkit module from beside the updater.
  const fs::path module = fs::path(updater_binary).parent_path() / platform::kToolkitModuleName;
  if (fs::exists(module)) fs::copy_file(module, toolkit_module_path());
}

ScratchInstallation::~ScratchInstallation() {
  std::error_code ignored;
  // Tests make some entries unwritable; the clean-up may not fail on them.
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root_, ignored)) {
    if (!entry.is_symlink())
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(root_, ignored);
}

ChildOptions ScratchInstallation::RunOptions(const StartGate* gate) const {
  std::vector<std::string> environment = {"TMPDIR=" + temp_dir_.string(), "PATH=/usr/bin:/bin"};
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name))
      environment.push_back(std::string(name) + "=" + value);
  }
  ChildOptions options;
  options.environment = std::move(environment);
  options.gate = gate;
  return options;
}

ChildProcess ScratchInstallation::Start(const std::vector<std::string>& arguments,
                                        const StartGate* gate) const {
  return ChildProcess(updater_path_.string(), arguments, RunOptions(gate));
}

ExitStatus ScratchInstallation::Run(const std::vector<std::string>& arguments) const {
  return Start(arguments).Wait();
}

std::vector<std::string> ScratchInstallation::Snapshot() const {
  std::vector<std::string> entries;
  std::error_code ignored;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root_, ignored)) {
    std::string line = fs::relative(entry.path(), root_).string();
    if (entry.is_symlink()) {
      line += " -> " + fs::read_symlink(entry.path(), ignored).string();
    } else if (entry.is_regular_file()) {
      line += " " + std::to_string(entry.file_size(ignored));
    } else {
      line += "/";
    }
    entries.push_back(line);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

}  // namespace updater::test_support
