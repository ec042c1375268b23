// The browser library as a browser gets it: installed from this build into a
// prefix of its own, a C program built against it both with find_package and
// with pkg-config, each run against the loopback update service.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/e2e_harness.h"

namespace updater::e2e {
namespace {

// Runs `script` under /bin/sh with its output in `log`; true when it exits 0.
bool RunShell(const std::string& script, const std::string& log) {
  return RunTool({"/bin/sh", "-c", "exec > " + ShellQuote(log) + " 2>&1; " + script}) == 0;
}

class TinyBrowserE2eTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(service_.IsUp()); }

  std::string Work(const std::string& relative) const { return work_.Path(relative); }

  // Installs the library, then builds the tiny browser both ways; returns
  // the two programs.
  std::vector<std::string> BuildTinyBrowsers() {
    const std::string prefix = Work("prefix");
    const std::string sources = UPDATER_TINY_BROWSER_SOURCE_DIR;
    const std::string cmake = ShellQuote(UPDATER_CMAKE_COMMAND);
    EXPECT_TRUE(RunShell(cmake + " --install " + ShellQuote(UPDATER_BINARY_DIR) +
                             " --component development --prefix " + ShellQuote(prefix),
                         Work("install.log")))
        << ReadFileBytes(Work("install.log"));
    const std::string cc = UPDATER_TINY_BROWSER_CC;
    const std::string flags = UPDATER_TINY_BROWSER_FLAGS;
    const std::string link_flags = UPDATER_TINY_BROWSER_LINK_FLAGS;
    EXPECT_TRUE(RunShell(cmake + " -S " + ShellQuote(sources) + " -B " + ShellQuote(Work("cmake")) +
                             " -DCMAKE_PREFIX_PATH=" + ShellQuote(prefix) +
                             // The build tool this tree was made with; a machine may have no
                             // other.
                             " -G " + ShellQuote(UPDATER_CMAKE_GENERATOR) +
                             " -DCMAKE_MAKE_PROGRAM=" + ShellQuote(UPDATER_CMAKE_MAKE_PROGRAM) +
                             " -DCMAKE_C_COMPILER=" + cc + " -DCMAKE_C_FLAGS=" + ShellQuote(flags) +
                             " -DCMAKE_EXE_LINKER_FLAGS=" + ShellQuote(link_flags) + " && " +
                             cmake + " --build " + ShellQuote(Work("cmake")),
                         Work("find_package.log")))
        << ReadFileBytes(Work("find_package.log"));
    // A static library: its C++ runtime comes with --static.
    EXPECT_TRUE(RunShell(
        "PKG_CONFIG_PATH=" + ShellQuote(prefix + "/lib/pkgconfig") + "; export PKG_CONFIG_PATH; " +
            cc + " " + flags +
            " -std=c99 -Wall -Wextra -Wpedantic "
            "-Werror " +
            ShellQuote(sources + "/main.c") + " -o " + ShellQuote(Work("pkg_config_browser")) +
            " $(pkg-config --static --cflags --libs rivazeriduv-updater-browser) " + link_flags,
        Work("pkg_config.log")))
        << ReadFileBytes(Work("pkg_config.log"));
    return {Work("cmake/tiny_browser"), Work("pkg_config_browser")};
  }

  ScratchInstallation work_;  // a scratch directory for the prefix and the builds
  UpdateService service_;
};

TEST_F(TinyBrowserE2eTest, HoldsItsRunningEventWhileThePortableSwapRunsAndReadsTheResult) {
  E2E_REQUIRE_INSTALLER_RUNNER();
  for (const std::string& browser : BuildTinyBrowsers()) {
    SCOPED_TRACE(browser);
    ScratchInstallation install;
    const std::string arguments_file = install.Path("package_arguments");
    service_.Answer(
        "/update.php",
        BrowserOffer("56.0.0.1",
                     service_.Serve("/files/setup.exe", MakeScriptedInstaller(PortablePackageScript(
                                                            arguments_file, StandardPackage())))));
    const std::string output = install.Path("browser_output");
    const std::string environment = "PATH=/usr/bin:/bin TMPDIR=" + ShellQuote(install.temp_dir());
    ASSERT_TRUE(RunShell("env -i " + environment + " " + ShellQuote(browser) + " " +
                             ShellQuote(install.browser_exe()) + " " +
                             ShellQuote(install.updater()) + " " + kCurrentVersion,
                         output))
        << ReadFileBytes(output);

    EXPECT_EQ(ReadFileBytes(output), "0 ResultInstalled success\n");
    // The updater saw the browser running: the new executable waits beside it.
    EXPECT_EQ(ReadFileBytes(install.browser_exe()), "old browser");
    EXPECT_EQ(ReadFileBytes(install.install_dir() + "/new_brelix.exe"), "new browser");
    // The library released the event when the browser closed it.
    EXPECT_FALSE(KernelObjectExists(KernelObjectName(install.browser_exe())));
  }
}

}  // namespace
}  // namespace updater::e2e
