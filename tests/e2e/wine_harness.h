#ifndef TESTS_E2E_WINE_HARNESS_H_
#define TESTS_E2E_WINE_HARNESS_H_

// Runs the Windows updater under wine against the same loopback update
// service as the Linux runs (see e2e_harness.h). The Windows programs come
// from the Windows build tree this build was configured with
// (UPDATER_WINDOWS_BUILD_DIR) and run in that tree's wine prefix, which the
// harness makes trust the service's CA and the installers' signing root.
//
// wine matches no IP address in a certificate, so the Windows updater's
// sites are named localhost. Its temporary directory is the prefix user's
// (wine sets TEMP from the prefix, not from this process), shared by every
// run: each Windows installation empties it.

#include <string>
#include <vector>

#include "tests/e2e/e2e_harness.h"
#include "tests/support/child_process.h"

namespace updater::e2e {

// Empty when the Windows programs are there to run; otherwise why not.
std::string WindowsBuildUnavailableReason();

// `linux_path` as Windows programs under wine name it.
std::string WindowsPath(const std::string& linux_path);
// `path` on the service's primary (HTTPS) site as the Windows updater's
// build names it.
std::string WindowsServiceUrl(const std::string& path);

// A scratch installation of the Windows e2e updater, made after the prefix
// trusts the test roots, shows CJK text in dialogs, and its temporary
// directory was emptied.
class WindowsInstallation : public ScratchInstallation {
 public:
  explicit WindowsInstallation(const std::string& updater_version = kCurrentVersion,
                               const std::string& install_dir_name = "install");

  // The paths the Windows updater is given and reports.
  std::string WindowsBrowserExe() const { return WindowsPath(browser_exe()); }
  // The prefix user's temporary directory, where downloads go.
  std::string TempDir() const;
  std::string WindowsTempDir() const;  // without a final separator
};

// The Windows updater with `arguments`, its standard streams on /dev/null.
test_support::ChildProcess StartWindowsUpdater(const WindowsInstallation& installation,
                                               const std::vector<std::string>& arguments);
// Its exit code, or -1 when it did not end within the generous time-out.
int RunWindowsUpdater(const WindowsInstallation& installation,
                      const std::vector<std::string>& arguments);

// Ends every program of the prefix and its wine server. A session's desktop
// keeps the display its first program found in the environment, and its
// programs draw there: one begun without a display draws nothing at all.
void EndWineSession();

// Keeps a file open in a wine program, sharing nothing (as a running
// program or a virus scanner does on Windows), until destroyed.
class WineFileLock : public HeldElsewhere {
 public:
  explicit WineFileLock(const std::string& path);
  ~WineFileLock();

 private:
  std::string work_;
  Hold hold_;
  test_support::ChildProcess holder_;
};

// The Windows build's kernel-object tool under wine.
ToolCommand WineKernelObjectTool();
// In the tool's place for create-event: an event that allows everyone to wait
// on it and nothing else.
ToolCommand WineWaitOnlyEventTool();
// "Global\" + the prefix the Windows updater derives from `windows_path`
// ("\" turned into "!", ASCII letters lowered) + suffix.
std::string WindowsKernelObjectName(const std::string& windows_path,
                                    const std::string& suffix = "");

// The face the dialog's font resolves to in the prefix, then each character
// of `text` (UTF-8) that it draws as a missing glyph, links and all, as
// "U+XXXX".
std::vector<std::string> DialogFontGaps(const std::string& text);

// Installers: the Windows test installer (tests/e2e/test_installer_win.cc)
// with `instructions` in its image, signed by `signer`.
std::string MakeWindowsInstaller(const std::vector<std::string>& instructions,
                                 Signer signer = Signer::kTrusted);
// Records its command line and arguments in `arguments_file` and exits
// with `exit_code`.
std::vector<std::string> WindowsInstallerRun(const std::string& arguments_file,
                                             int exit_code = 0,
                                             const Hold* hold = nullptr);
// Records them, then, given exactly "-s -d<dir>", creates `entries` in <dir>.
std::vector<std::string> WindowsPackageRun(const std::string& arguments_file,
                                           const std::vector<PackageEntry>& entries,
                                           const Hold* hold = nullptr);
// `installer` with one byte of its code changed.
std::string TamperedWindowsInstaller(std::string installer);

}  // namespace updater::e2e

// Skips the test when there is no Windows build to run.
#define WINE_E2E_REQUIRE_WINDOWS_BUILD()                                             \
  do {                                                                               \
    const std::string wine_reason = ::updater::e2e::WindowsBuildUnavailableReason(); \
    if (!wine_reason.empty()) GTEST_SKIP() << wine_reason;                           \
  } while (false)

#endif  // TESTS_E2E_WINE_HARNESS_H_
