// The plug-in update as the browser starts it: the real updater executable,
// silent, with "pepper-version", against a loopback update service and
// scripted plug-in installers, in a scratch installation.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/mount.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/e2e_expectations.h"
#include "tests/e2e/e2e_harness.h"
#include "tests/support/machine_isolation.h"

namespace updater::e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char kPluginFile[] = "pepflashplayer.so";

class FlashUpdateE2eTest : public ::testing::Test {
 protected:
  // A mount namespace of its own lets a test give the updater a temporary
  // directory where nothing may run.
  static void SetUpTestSuite() { isolated_ = test_support::IsolateFromMachine({}); }

  std::vector<std::string> Arguments(const std::string& pepper = kPepperVersion) const {
    return {"--pepper-version=" + pepper, "--real-exe-path=" + install_.browser_exe()};
  }
  std::string Plugin(const std::string& suffix = "") const {
    return install_.updater_dir() + "/PepperFlash" + suffix;
  }
  std::string PluginContent(const std::string& suffix = "") const {
    return ReadFileBytes(Plugin(suffix) + "/" + kPluginFile);
  }
  std::string ArgumentsFile() const { return install_.Path("installer_arguments"); }
  std::string DownloadPath() const { return install_.temp_dir() + "/flash_setup.exe"; }
  std::string UnderUpgradeMutex() const {
    return KernelObjectName(install_.browser_exe(), "_under_upgrade");
  }

  void InstallPlugin(const std::string& content = "old plugin") const {
    WriteFileBytes(Plugin() + "/" + kPluginFile, content);
  }
  // An installer that unpacks a plug-in of `content` into the "-d" directory.
  std::string PluginInstaller(const std::string& content = "new plugin",
                              const Hold* hold = nullptr) const {
    return MakeScriptedInstaller(
        PortablePackageScript(ArgumentsFile(), {{kPluginFile, content}}, hold));
  }
  void Offer(UpdateService& service,
             const std::string& installer,
             const std::string& version = kOfferedPepperVersion) const {
    service.Answer("/update_pepper.php",
                   FlashOffer(version, service.Serve(kFlashInstallerPath, installer)));
  }
  std::vector<std::string> InstallerArguments() const { return ReadLines(ArgumentsFile()); }

  static inline bool isolated_ = false;
  ScratchInstallation install_;
};

TEST_F(FlashUpdateE2eTest, InstallerStagesAndTheSwapKeepsThePreviousPlugInOneRun) {
  E2E_REQUIRE_INSTALLER_RUNNER();
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  InstallPlugin();
  Offer(service, PluginInstaller("plugin 1"));
  EXPECT_EQ(RunUpdater(install_, Arguments()), 0);

  // The installer is started as: the download, "-s", "-d" + the staging path
  // in quotation marks, each item exactly as the updater built it.
  EXPECT_THAT(InstallerArguments(),
              ElementsAre(DownloadPath(), "-s", "-d\"" + Plugin("_new") + "\""));
  EXPECT_EQ(PluginContent(), "plugin 1");
  EXPECT_EQ(PluginContent("_old"), "old plugin");
  EXPECT_FALSE(Exists(Plugin("_new")));
  EXPECT_TRUE(Exists(DownloadPath()));  // a good download stays
  ASSERT_FALSE(service.requests().empty());
  EXPECT_EQ(service.requests().front().target, FlashQuery());
  EXPECT_FALSE(KernelObjectExists(UnderUpgradeMutex()));

  // The next run deletes the previous plug-in before it asks the service.
  std::atomic<bool> previous_at_query{true};
  const std::string second = PluginInstaller("plugin 2");
  const std::string location = service.Serve(kFlashInstallerPath, second);
  service.Handle("/update_pepper.php", [&](const httplib::Request&, httplib::Response& response) {
    previous_at_query = Exists(Plugin("_old"));
    response.set_header("Kora-Flash-Version", "20.0.0.307");
    response.set_header("Kora-Flash-Location", location);
  });
  EXPECT_EQ(RunUpdater(install_, Arguments(kOfferedPepperVersion)), 0);
  EXPECT_FALSE(previous_at_query);
  EXPECT_EQ(PluginContent(), "plugin 2");
  EXPECT_EQ(PluginContent("_old"), "plugin 1");
  EXPECT_FALSE(Exists(Plugin("_new")));
  EXPECT_EQ(install_.ReadLog(), "");

  // Without any plug-in yet, the staged one goes straight into place, and
  // the next run is not held up by a staging directory.
  fs::remove_all(Plugin(""));
  fs::remove_all(Plugin("_old"));
  service.Answer("/update_pepper.php", FlashOffer("20.0.0.307", location));
  EXPECT_EQ(RunUpdater(install_, Arguments()), 0);
  EXPECT_EQ(PluginContent(), "plugin 2");
  EXPECT_FALSE(Exists(Plugin("_new")));
  EXPECT_FALSE(Exists(Plugin("_old")));
  EXPECT_EQ(RunUpdater(install_, Arguments(kOfferedPepperVersion)), 0);
}

TEST_F(FlashUpdateE2eTest, ALeftoverDownloadIsReplacedEvenWhenReadOnly) {
  E2E_REQUIRE_INSTALLER_RUNNER();
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  InstallPlugin();
  WriteFileBytes(DownloadPath(), "left by an earlier run");
  fs::permissions(DownloadPath(), fs::perms::owner_read);
  const std::string installer = PluginInstaller();
  // The file is named after the location's path; its query plays no part.
  service.Serve(kFlashInstallerPath, installer);
  service.Answer(
      "/update_pepper.php",
      FlashOffer(kOfferedPepperVersion, service.Url(std::string(kFlashInstallerPath) + "?v=2")));
  EXPECT_EQ(RunUpdater(install_, Arguments()), 0);
  EXPECT_EQ(ReadFileBytes(DownloadPath()), installer);
  EXPECT_THAT(ListNames(install_.temp_dir()), ElementsAre("flash_setup.exe"));
  EXPECT_EQ(PluginContent(), "new plugin");
}

TEST_F(FlashUpdateE2eTest, AStagingDirectoryLeftBehindStopsEveryRun) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  Offer(service, "never fetched");
  InstallPlugin();
  WriteFileBytes(Plugin("_old") + "/" + kPluginFile, "older plugin");
  for (bool as_file : {false, true}) {
    fs::remove_all(Plugin("_new"));
    WriteFileBytes(as_file ? Plugin("_new") : Plugin("_new") + "/" + kPluginFile, "staged");
    const std::vector<std::string> before = ListTree(install_.root());
    EXPECT_EQ(RunUpdater(install_, Arguments()), 10);
    EXPECT_EQ(RunUpdater(install_, Arguments()), 10);
    EXPECT_EQ(ListTree(install_.root()), before);
  }
  EXPECT_THAT(service.requests(), IsEmpty());
}

TEST_F(FlashUpdateE2eTest, InstallerThatUnpackedNothingCostsNoPlugIn) {
  E2E_REQUIRE_INSTALLER_RUNNER();
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  InstallPlugin();
  Offer(service, MakeScriptedInstaller(BrowserInstallerScript(ArgumentsFile())));
  EXPECT_EQ(RunUpdater(install_, Arguments()), 0);
  EXPECT_TRUE(Exists(ArgumentsFile()));
  EXPECT_EQ(PluginContent(), "old plugin");
  EXPECT_FALSE(Exists(Plugin("_old")));
  EXPECT_FALSE(Exists(Plugin("_new")));
}

TEST_F(FlashUpdateE2eTest, UnderUpgradeMutexIsHeldExactlyWhileTheInstallerRuns) {
  E2E_REQUIRE_INSTALLER_RUNNER();
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  // Without "real-exe-path" the names are made from the updater's own path.
  const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
      {Arguments(), UnderUpgradeMutex()},
      {{std::string("--pepper-version=") + kPepperVersion},
       KernelObjectName(install_.updater(), "_under_upgrade")},
  };
  for (const auto& [arguments, mutex_name] : runs) {
    SCOPED_TRACE(mutex_name);
    fs::remove_all(Plugin());
    fs::remove_all(Plugin("_old"));
    InstallPlugin();
    const Hold hold{install_.Path("started"), install_.Path("release")};
    fs::remove(hold.started_file);
    fs::remove(hold.release_file);
    Offer(service, PluginInstaller("new plugin", &hold));
    UpdaterProcess updater(install_, arguments, DefaultEnvironment(install_));
    ASSERT_TRUE(WaitForPath(hold.started_file));
    EXPECT_TRUE(KernelObjectExists(mutex_name));
    EXPECT_EQ(PluginContent(), "old plugin");
    WriteFileBytes(hold.release_file, "");
    EXPECT_EQ(updater.Wait(), 0);
    EXPECT_FALSE(KernelObjectExists(mutex_name));
    EXPECT_EQ(PluginContent(), "new plugin");
  }
}

TEST_F(FlashUpdateE2eTest, AbortEventKeepsTheInstallerFromRunning) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  InstallPlugin();
  WriteFileBytes(Plugin("_old") + "/" + kPluginFile, "older plugin");
  Offer(service, PluginInstaller());
  HeldEvent abort(KernelObjectName(install_.browser_exe(), "_updater_abort_pepper"));
  ASSERT_TRUE(abort.IsHeld());
  EXPECT_EQ(RunUpdater(install_, Arguments()), 31);
  EXPECT_FALSE(Exists(ArgumentsFile()));
  EXPECT_EQ(PluginContent(), "old plugin");
  EXPECT_FALSE(Exists(Plugin("_old")));  // removed before the query, as in every run
  EXPECT_FALSE(Exists(Plugin("_new")));
  EXPECT_TRUE(Exists(DownloadPath()));
  EXPECT_FALSE(KernelObjectExists(UnderUpgradeMutex()));
}

TEST_F(FlashUpdateE2eTest, OnlyThePlugInsOwnAbortEventCounts) {
  E2E_REQUIRE_INSTALLER_RUNNER();
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  InstallPlugin();
  Offer(service, PluginInstaller());
  // The browser installer's abort event, and the plug-in's for another
  // installation, leave this one alone.
  HeldEvent browser_abort(KernelObjectName(install_.browser_exe(), "_updater_abort_installer"));
  HeldEvent other_abort(KernelObjectName("/other/brelix.exe", "_updater_abort_pepper"));
  ASSERT_TRUE(browser_abort.IsHeld() && other_abort.IsHeld());
  EXPECT_EQ(RunUpdater(install_, Arguments()), 0);
  EXPECT_EQ(PluginContent(), "new plugin");
}

// Log line 504, with the error in lower-case hexadecimal.
::testing::Matcher<std::string> HasStartFailureLine(const std::string& error_hex) {
  return HasLogLine(
      504, UpdaterMessage("pepper flash installer failed  to start last error=" + error_hex));
}

TEST_F(FlashUpdateE2eTest, InstallerThatCannotStartIsLoggedWithItsError) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  InstallPlugin();
  // A signed image no runner knows: the kernel refuses it (ENOEXEC, 8).
  Offer(service, MakeUnrunnableInstaller());
  EXPECT_EQ(RunUpdater(install_, Arguments()), 14);
  EXPECT_THAT(install_.ReadLog(), HasStartFailureLine("8"));
  EXPECT_EQ(PluginContent(), "old plugin");
  EXPECT_FALSE(Exists(Plugin("_old")));
  EXPECT_FALSE(KernelObjectExists(UnderUpgradeMutex()));

  if (!isolated_) GTEST_SKIP() << test_support::MachineIsolationFailure();
  // A temporary directory where nothing may run: EACCES, 13, written "d".
  ASSERT_EQ(mount("tmpfs", install_.temp_dir().c_str(), "tmpfs", MS_NOEXEC, nullptr), 0);
  Offer(service, PluginInstaller());
  EXPECT_EQ(RunUpdater(install_, Arguments()), 14);
  EXPECT_THAT(install_.ReadLog(), HasStartFailureLine("d"));
  EXPECT_EQ(PluginContent(), "old plugin");
  umount(install_.temp_dir().c_str());
}

TEST_F(FlashUpdateE2eTest, QueryAndOfferResults) {
  // Nobody answers at all.
  EXPECT_EQ(RunUpdater(install_, Arguments()), 11);

  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  const std::string url = service.Serve(kFlashInstallerPath, "never fetched");
  struct Case {
    std::string pepper;
    ServiceAnswer answer;
    int result;
  };
  ServiceAnswer not_found = FlashOffer(kOfferedPepperVersion, url);
  not_found.status = 404;
  const Case cases[] = {
      {kPepperVersion, FlashOffer("", url), 4},
      {kPepperVersion, FlashOffer(kPepperVersion, url), 4},
      {kPepperVersion, FlashOffer(std::string(kPepperVersion) + ".0", url), 4},
      {kPepperVersion, FlashOffer("abc", url), 4},
      {kPepperVersion, FlashOffer("20.0.0.285", url), 4},
      // The browser's headers are not the plug-in's.
      {kPepperVersion, BrowserOffer(kOfferedPepperVersion, url), 4},
      {kPepperVersion, not_found, 12},
      {kPepperVersion, FlashOffer(kOfferedPepperVersion, ""), 36},
      {kPepperVersion, FlashOffer(kOfferedPepperVersion, service.Url("/f/")), 37},
      {"abc", FlashOffer(kOfferedPepperVersion, url), 39},
      {"", FlashOffer(kOfferedPepperVersion, url), 39},
      {"1.2.3.4x", FlashOffer(kOfferedPepperVersion, url), 39},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("pepper-version=" + c.pepper + " result " + std::to_string(c.result));
    service.Answer("/update_pepper.php", c.answer);
    const int queries = service.CountRequests("/update_pepper.php");
    EXPECT_EQ(RunUpdater(install_, Arguments(c.pepper)), c.result);
    // An invalid current version is found before the service is asked.
    EXPECT_EQ(service.CountRequests("/update_pepper.php"), queries + (c.result == 39 ? 0 : 1));
  }
  EXPECT_EQ(service.CountRequests(kFlashInstallerPath), 0);
  EXPECT_THAT(ListNames(install_.temp_dir()), IsEmpty());
}

TEST_F(FlashUpdateE2eTest, DownloadAndSignatureResults) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  InstallPlugin();
  const std::vector<std::string> plugin_before = ListTree(Plugin());

  // The download's server is gone.
  service.Answer(
      "/update_pepper.php",
      FlashOffer(kOfferedPepperVersion,
                 "http://127.0.0.1:" + std::to_string(kMirrorPort + 7) + "/f/flash_setup.exe"));
  EXPECT_EQ(RunUpdater(install_, Arguments()), 29);

  // Nothing to save.
  Offer(service, "");
  EXPECT_EQ(RunUpdater(install_, Arguments()), 30);

  // Signatures that do not hold: the download is deleted.
  const std::string good = PluginInstaller();
  for (const std::string& bad : {MakeScriptedInstaller("exit 0\n", Signer::kStranger),
                                 MakeScriptedInstaller("exit 0\n", Signer::kUnsigned),
                                 Tampered(good), std::string("MZ not an image")}) {
    Offer(service, bad);
    EXPECT_EQ(RunUpdater(install_, Arguments()), 13);
    EXPECT_FALSE(Exists(DownloadPath()));
  }

  // A directory with contents where the download goes cannot be removed.
  WriteFileBytes(DownloadPath() + "/inside", "x");
  Offer(service, good);
  EXPECT_EQ(RunUpdater(install_, Arguments()), 16);
  EXPECT_EQ(ReadFileBytes(DownloadPath() + "/inside"), "x");
  fs::remove_all(DownloadPath());

  EXPECT_EQ(ListTree(Plugin()), plugin_before);
  EXPECT_FALSE(Exists(Plugin("_old")));
  EXPECT_FALSE(Exists(ArgumentsFile()));
}

TEST_F(FlashUpdateE2eTest, UnusableDirectoriesResults) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  Offer(service, "never fetched");

  // A temporary directory too long to name, or one that is not there: none
  // is to be had (2).
  Environment environment = DefaultEnvironment(install_);
  environment["TMPDIR"] = "/" + std::string(300, 't');
  EXPECT_EQ(RunUpdater(install_, Arguments(), environment), 2);
  environment["TMPDIR"] = install_.Path("missing");
  EXPECT_EQ(RunUpdater(install_, Arguments(), environment), 2);

  // An updater whose own directory is too long to name (9) asks nobody.
  const int queries = service.CountRequests("/update_pepper.php");
  ScratchInstallation deep(std::string(200, 'v') + "/" + std::string(60, 'w'));
  EXPECT_EQ(RunUpdater(deep, {std::string("--pepper-version=") + kPepperVersion}), 9);
  EXPECT_EQ(service.CountRequests("/update_pepper.php"), queries);
}

}  // namespace
}  // namespace updater::e2e
