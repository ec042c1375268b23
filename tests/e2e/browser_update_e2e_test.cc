// The browser update as the browser starts it: the real updater executable,
// silent, against a loopback update service, in a scratch installation.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <sched.h>
#include <stdio.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/e2e_expectations.h"
#include "tests/e2e/e2e_harness.h"
#include "tests/support/other_user_process.h"

namespace updater::e2e {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class BrowserUpdateE2eTest : public ::testing::Test {
 protected:
  std::vector<std::string> InstalledArguments(const std::string& langid = "ru") const {
    return InstalledBrowserArguments(install_.browser_exe(), langid);
  }
  std::vector<std::string> PortableArguments() const {
    return PortableBrowserArguments(install_.browser_exe());
  }
  std::string ArgumentsFile() const { return install_.Path("installer_arguments"); }
  std::string DownloadPath() const { return install_.temp_dir() + "/setup.exe"; }
  std::string ExtractDir() const { return install_.temp_dir() + "/" + kExtractDirName; }
  std::string Installed(const std::string& name) const {
    return install_.install_dir() + "/" + name;
  }

  // Serves `installer` and offers it as the next browser.
  void Offer(UpdateService& service, const std::string& installer) {
    service.Answer("/update.php",
                   BrowserOffer(kOfferedVersion, service.Serve(kInstallerPath, installer)));
  }

  std::string BrowserInstaller(int exit_code = 0, const Hold* hold = nullptr) const {
    return MakeScriptedInstaller(BrowserInstallerScript(ArgumentsFile(), exit_code, hold));
  }
  std::string Package(const std::vector<PackageEntry>& entries) const {
    return MakeScriptedInstaller(PortablePackageScript(ArgumentsFile(), entries));
  }
  std::vector<std::string> InstallerArguments() const { return ReadLines(ArgumentsFile()); }
  std::string BrowserRunningEvent() const { return KernelObjectName(install_.browser_exe()); }

  ScratchInstallation install_;
};

TEST_F(BrowserUpdateE2eTest, QueryCarriesTheSwitchesOnlyAndNothingNewerEndsWithFour) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  service.Answer("/update.php", BrowserOffer("", ""));
  const std::vector<std::string> before = ListTree(install_.install_dir());

  EXPECT_EQ(RunUpdater(install_, PortableArguments()), 4);

  ExpectOnePortableQuery(service.requests());
  EXPECT_EQ(ListTree(install_.install_dir()), before);
  EXPECT_EQ(install_.ReadLog(), "");
}

TEST_F(BrowserUpdateE2eTest, SwitchValuesTravelUnescapedButForBlanks) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  service.Answer("/update.php", BrowserOffer("", ""));
  std::vector<std::string> arguments = InstalledArguments();
  arguments.push_back("--Extra=a&b c=d");
  EXPECT_EQ(RunUpdater(install_, arguments), 4);
  const auto requests = service.requests();
  ASSERT_EQ(requests.size(), 1u);
  // "&" and "=" go as written; the blank cannot travel raw in a request line.
  EXPECT_EQ(requests[0].target, BrowserQuery("&extra=a&b%20c=d&langid=ru"));
}

TEST_F(BrowserUpdateE2eTest, DownloadLocationPrefersTheServiceHeader) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  const std::string preferred = service.Serve("/preferred/setup.exe", "not signed");
  const std::string standard = service.Serve("/standard/setup.exe", "not signed");
  constexpr int kSignatureInvalid = 26;

  // A redirect answer names the installer in its standard Location header.
  service.Answer(
      "/update.php",
      ServiceAnswer{302, {{"Kora-Version", kOfferedVersion}, {"Location", standard}}, ""});
  EXPECT_EQ(RunUpdater(install_, InstalledArguments()), kSignatureInvalid);
  EXPECT_EQ(service.CountRequests("/standard/setup.exe"), 1);

  // With both headers the service's own wins, on 200 and 302 alike.
  for (int status : {200, 302}) {
    service.Answer("/update.php", ServiceAnswer{status,
                                                {{"Kora-Version", kOfferedVersion},
                                                 {"Kora-Location", preferred},
                                                 {"Location", standard}},
                                                ""});
    EXPECT_EQ(RunUpdater(install_, InstalledArguments()), kSignatureInvalid) << status;
  }
  EXPECT_EQ(service.CountRequests("/preferred/setup.exe"), 2);
  EXPECT_EQ(service.CountRequests("/standard/setup.exe"), 1);
  EXPECT_FALSE(Exists(DownloadPath())) << "a rejected download is deleted";

  // The service's header present but empty counts as absent.
  service.Answer("/update.php", ServiceAnswer{302,
                                              {{"Kora-Version", kOfferedVersion},
                                               {"Kora-Location", ""},
                                               {"Location", standard}},
                                              ""});
  EXPECT_EQ(RunUpdater(install_, InstalledArguments()), kSignatureInvalid);
  EXPECT_EQ(service.CountRequests("/standard/setup.exe"), 2);
}

TEST_F(BrowserUpdateE2eTest, OneConnectivityCheckChoosesTheServerSet) {
  const ServiceAnswer nothing = BrowserOffer("", "");
  {
    // Simplified Chinese prefers the mirror.
    UpdateService service;
    ASSERT_TRUE(service.IsUp());
    service.Answer("/update.php", nothing);
    EXPECT_EQ(RunUpdater(install_, InstalledArguments("zh-CN")), 4);
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, BrowserQuery("&langid=zh-CN"));
  }
  {
    // The primary is unreachable: the mirror is used without a check.
    UpdateService mirror(UpdateService::Sites::kMirrorOnly);
    ASSERT_TRUE(mirror.IsUp());
    mirror.Answer("/update.php", nothing);
    EXPECT_EQ(RunUpdater(install_, InstalledArguments("ru")), 4);
    EXPECT_EQ(mirror.CountRequests("/update.php"), 1);
  }
  {
    UpdateService primary(UpdateService::Sites::kPrimaryOnly);
    ASSERT_TRUE(primary.IsUp());
    primary.Answer("/update.php", nothing);
    EXPECT_EQ(RunUpdater(install_, InstalledArguments("zh-CN")), 4);
    EXPECT_EQ(primary.CountRequests("/update.php"), 1);
  }
}

TEST_F(BrowserUpdateE2eTest, NoNewerVersionDownloadsNothing) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  const std::string url = service.Serve(kInstallerPath, "never fetched");
  const std::vector<ServiceAnswer> answers = {
      BrowserOffer("", url),                                   // a location but no version
      BrowserOffer(kCurrentVersion, url),                      // the same version
      BrowserOffer(std::string(kCurrentVersion) + ".0", url),  // equal with a zero appended
      BrowserOffer("54.9", url),                               // older
      BrowserOffer("56.0.0.1 ", url),                          // a trailing blank does not parse
      BrowserOffer("not a version", url),
  };
  for (const ServiceAnswer& answer : answers) {
    service.Answer("/update.php", answer);
    EXPECT_EQ(RunUpdater(install_, InstalledArguments()), 4)
        << answer.headers.find("Kora-Version")->second;
  }
  EXPECT_EQ(service.CountRequests(kInstallerPath), 0);
}

TEST_F(BrowserUpdateE2eTest, UnusableTemporaryDirectoryEndsBeforeAnyQuery) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  service.Answer("/update.php", BrowserOffer("", ""));
  Environment environment = DefaultEnvironment(install_);
  environment["TMPDIR"] = "/" + std::string(300, 'x');
  EXPECT_EQ(RunUpdater(install_, InstalledArguments(), environment), 2);
  EXPECT_THAT(service.requests(), IsEmpty());

  // A relative TMPDIR is ignored for the system's directory, which works.
  environment["TMPDIR"] = "relative/tmp";
  EXPECT_EQ(RunUpdater(install_, InstalledArguments(), environment), 4);
  EXPECT_EQ(service.CountRequests("/update.php"), 1);
}

TEST_F(BrowserUpdateE2eTest, PortableRunOfAnotherExecutableEndsBeforeAnyQuery) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  // Only the installation's own "brelix.exe", by its full path, may have its
  // directory changed on its behalf.
  WriteFileBytes(install_.Path("elsewhere/brelix.exe"), "another browser");
  for (const std::string& browser :
       {Installed("Brelix.exe"), std::string("brelix.exe"), install_.Path("elsewhere/brelix.exe"),
        install_.updater_dir() + "/brelix.exe", install_.root() + "/install/../install/brelix.exe",
        std::string()}) {
    EXPECT_EQ(RunUpdater(install_, {"--current=1.0", "--portable", "--real-exe-path=" + browser}),
              8)
        << browser;
  }
  EXPECT_THAT(service.requests(), IsEmpty());
}

TEST_F(BrowserUpdateE2eTest, QueryFailuresAndBadStatus) {
  // Nobody listens anywhere.
  EXPECT_EQ(RunUpdater(install_, InstalledArguments()), 3);

  {
    UpdateService service;
    ASSERT_TRUE(service.IsUp());
    const std::string target = service.Serve(kInstallerPath, "never fetched");
    for (int status : {301, 303, 304, 307, 404, 500}) {
      ServiceAnswer answer = BrowserOffer(kOfferedVersion, target);
      answer.status = status;
      answer.headers.emplace("Location", target);
      service.Answer("/update.php", answer);
      EXPECT_EQ(RunUpdater(install_, InstalledArguments()), 23) << status;
    }
    // Redirects are not followed, by the query or otherwise.
    EXPECT_EQ(service.CountRequests(kInstallerPath), 0);

    service.Answer("/update.php", BrowserOffer(kOfferedVersion, ""));
    EXPECT_EQ(RunUpdater(install_, InstalledArguments()), 34);
    EXPECT_EQ(service.CountRequests(kInstallerPath), 0);
  }
}

TEST_F(BrowserUpdateE2eTest, HostileServiceAnswersEndWithTheirResult) {
  const std::vector<std::string> before = ListTree(install_.install_dir());
  WriteFileBytes(install_.temp_dir() + "/keep.exe", "the user's");
  WriteFileBytes(install_.temp_dir() + "/other", "the user's");
  const std::string mirror_url = "http://127.0.0.1:" + std::to_string(kMirrorPort);
  const std::vector<std::pair<std::string, int>> replies = HostileServiceReplies(mirror_url);
  for (const auto& [reply, result] : replies) {
    // The mirror, preferred for Simplified Chinese, answers with raw bytes.
    RawReplySite mirror(kMirrorPort, reply);
    ASSERT_TRUE(mirror.IsUp());
    EXPECT_EQ(RunUpdater(install_, InstalledArguments("zh-CN")), result) << reply.substr(0, 60);
    EXPECT_THAT(mirror.requests(), Not(IsEmpty()));
  }
  EXPECT_EQ(ListTree(install_.install_dir()), before);
  EXPECT_THAT(ListNames(install_.temp_dir()), ElementsAre("keep.exe", "other"));
}

TEST_F(BrowserUpdateE2eTest, DownloadFailures) {
  UpdateService service(UpdateService::Sites::kPrimaryOnly);
  ASSERT_TRUE(service.IsUp());
  const std::vector<std::string> before = ListTree(install_.install_dir());

  // The location names no file: the download is still made first.
  service.Answer("/files/", ServiceAnswer{200, {}, "a listing"});
  service.Answer("/update.php", BrowserOffer(kOfferedVersion, service.Url("/files/")));
  EXPECT_EQ(RunUpdater(install_, InstalledArguments()), 35);
  EXPECT_EQ(service.CountRequests("/files/"), 1);

  // Nothing listens at the download's port.
  service.Answer("/update.php",
                 BrowserOffer(kOfferedVersion, "http://127.0.0.1:" + std::to_string(kMirrorPort) +
                                                   "/files/setup.exe"));
  EXPECT_EQ(RunUpdater(install_, InstalledArguments()), 24);

  // An empty body is nothing to write.
  Offer(service, "");
  EXPECT_EQ(RunUpdater(install_, InstalledArguments()), 25);

  // A body that ends before its announced length is saved as it is, and
  // the signature check rejects it.
  service.Handle(kInstallerPath, [](const httplib::Request&, httplib::Response& response) {
    response.set_content_provider(1000, "application/octet-stream",
                                  [](size_t offset, size_t, httplib::DataSink& sink) {
                                    if (offset > 0) return false;
                                    sink.write("MZ only a part", 14);
                                    return true;
                                  });
  });
  EXPECT_EQ(RunUpdater(install_, InstalledArguments()), 26);

  // A download path of 260 characters is never written: it could not be
  // deleted when rejected. One of 259 is written, checked and deleted.
  for (const auto& [length, result] : {std::pair{259u, 26}, std::pair{260u, 25}}) {
    const std::string name(length - install_.temp_dir().size() - 1, 'n');
    service.Answer("/update.php",
                   BrowserOffer(kOfferedVersion, service.Serve("/" + name, "unsigned")));
    EXPECT_EQ(RunUpdater(install_, InstalledArguments()), result) << length;
  }

  EXPECT_EQ(ListTree(install_.install_dir()), before);
  EXPECT_THAT(ListNames(install_.temp_dir()), IsEmpty());
}

TEST_F(BrowserUpdateE2eTest, DownloadPathThatCannotBeClearedOrWritten) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  Offer(service, MakeScriptedInstaller(BrowserInstallerScript(ArgumentsFile())));
  const std::vector<std::string> before = ListTree(install_.install_dir());

  // A non-empty directory of the download's name cannot be deleted.
  WriteFileBytes(DownloadPath() + "/keep", "kept");
  EXPECT_EQ(RunUpdater(install_, InstalledArguments()), 15);
  EXPECT_EQ(ReadFileBytes(DownloadPath() + "/keep"), "kept");

  // A temporary directory that does not exist cannot be told private: none
  // is to be had.
  Environment environment = DefaultEnvironment(install_);
  environment["TMPDIR"] = install_.Path("missing");
  EXPECT_EQ(RunUpdater(install_, InstalledArguments(), environment), 2);
  EXPECT_FALSE(Exists(install_.Path("missing")));

  EXPECT_EQ(service.CountRequests(kInstallerPath), 1);
  EXPECT_FALSE(Exists(ArgumentsFile()));
  EXPECT_EQ(ListTree(install_.install_dir()), before);
}

// Another user who can rename the temporary directory, or a directory above
// it, swaps it with one of their own, holding a script under the download's
// name, as fast as the kernel lets them, for the whole run: runs end with 2
// before any download, and nothing of theirs ever runs as us.
TEST_F(BrowserUpdateE2eTest, TemporaryDirectoriesAnotherUserCanRenameAreNeverUsed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to race another user";
  constexpr int kRounds = 10;
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  Offer(service, BrowserInstaller());
  const std::string ran = install_.Path("script_ran");
  const std::string script = "#!/bin/sh\necho ran >" + ran + "\n";
  struct Layout {
    std::string shared;  // the directory the other user can rename entries of
    std::string tmpdir;
    std::string swapped;  // the entry of `shared` swapped with a directory of theirs
    uid_t shared_owner;
    mode_t shared_mode;
  };
  // A directory shared with a group the other user is in (not sticky), and
  // a directory of ours below one of theirs.
  const std::string group = install_.Path("group");
  const std::string theirs = install_.Path("theirs");
  const Layout layouts[] = {{group, group, "rivazeriduv_updater-0", 0, 02777},
                            {theirs, theirs + "/tmp", "tmp", test_support::kOtherUser, 0755}};
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.tmpdir);
    std::filesystem::create_directories(layout.tmpdir);
    std::filesystem::create_directory(layout.shared + "/" + layout.swapped);
    chmod((layout.shared + "/" + layout.swapped).c_str(), 0700);
    const std::string their_dir = layout.shared + "/their_dir";
    WriteFileBytes(their_dir + "/setup.exe", script);
    chmod((their_dir + "/setup.exe").c_str(), 0755);
    for (const std::string& path : {their_dir, their_dir + "/setup.exe"})
      ASSERT_EQ(chown(path.c_str(), test_support::kOtherUser, test_support::kOtherUser), 0);
    ASSERT_EQ(chown(layout.shared.c_str(), layout.shared_owner, layout.shared_owner), 0);
    ASSERT_EQ(chmod(layout.shared.c_str(), layout.shared_mode), 0);
    // Opened here: the scratch directory above is closed to the other user.
    const int shared_fd = open(layout.shared.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int their_fd = open(their_dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(shared_fd, 0);
    ASSERT_GE(their_fd, 0);
    test_support::OtherUserProcess swapper([&] {
      for (;;) {
        renameat2(shared_fd, layout.swapped.c_str(), shared_fd, "their_dir", RENAME_EXCHANGE);
        // A rejected download takes the script with it: put it back.
        const int file = openat(their_fd, "setup.exe", O_WRONLY | O_CREAT | O_EXCL, 0755);
        if (file >= 0 && write(file, script.data(), script.size()) >= 0) close(file);
      }
      return 0;
    });
    close(shared_fd);
    close(their_fd);
    if (!swapper.started()) GTEST_SKIP() << "cannot run a process as another user";
    Environment environment = DefaultEnvironment(install_);
    environment["TMPDIR"] = layout.tmpdir;
    for (int round = 0; round < kRounds && !Exists(ran); ++round)
      EXPECT_EQ(RunUpdater(install_, InstalledArguments(), environment), 2) << "round " << round;
    EXPECT_FALSE(Exists(ran));
    std::filesystem::remove(ran);
  }
  EXPECT_EQ(service.CountRequests(kInstallerPath), 0);
  EXPECT_FALSE(Exists(ArgumentsFile()));
}

TEST_F(BrowserUpdateE2eTest, DownloadsWithoutAValidSignatureAreDeletedAndNeverRun) {
  const std::string script = BrowserInstallerScript(ArgumentsFile());
  const std::string trusted = MakeScriptedInstaller(script);
  const std::vector<std::pair<std::string, std::string>> downloads = {
      {"unsigned", MakeScriptedInstaller(script, Signer::kUnsigned)},
      {"stranger", MakeScriptedInstaller(script, Signer::kStranger)},
      {"tampered", Tampered(trusted)},
      {"huge", std::string(48 << 20, 'Z')},
  };
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  const std::vector<std::string> before = ListTree(install_.install_dir());
  for (const auto& [what, bytes] : downloads) {
    // A read-only file of the same name is replaced, not a reason to stop.
    WriteFileBytes(DownloadPath(), "read-only leftover");
    chmod(DownloadPath().c_str(), 0444);
    Offer(service, bytes);
    EXPECT_EQ(RunUpdater(install_, InstalledArguments()), 26) << what;
    EXPECT_FALSE(Exists(DownloadPath())) << what;
  }

  // A redirect is saved as it is, not followed, and fails the same way.
  service.Answer("/moved.exe", ServiceAnswer{302, {{"Location", kInstallerPath}}, "moved"});
  service.Serve(kInstallerPath, trusted);
  service.Answer("/update.php", BrowserOffer(kOfferedVersion, service.Url("/moved.exe")));
  EXPECT_EQ(RunUpdater(install_, InstalledArguments()), 26);

  EXPECT_EQ(service.CountRequests(kInstallerPath), static_cast<int>(downloads.size()));
  EXPECT_FALSE(Exists(ArgumentsFile()));
  EXPECT_EQ(ListTree(install_.install_dir()), before);
  EXPECT_THAT(ListNames(install_.temp_dir()), IsEmpty());
}

TEST_F(BrowserUpdateE2eTest, InstallerRunsWithItsSwitchAndItsExitCodeIsNotRead) {
  E2E_REQUIRE_INSTALLER_RUNNER();
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  Offer(service, BrowserInstaller(/*exit_code=*/7));
  // A link planted at the download path is removed, not written through.
  const std::string victim = install_.Path("victim");
  WriteFileBytes(victim, "untouched");
  ASSERT_EQ(symlink(victim.c_str(), DownloadPath().c_str()), 0);

  EXPECT_EQ(RunUpdater(install_, InstalledArguments()), 0);

  const auto requests = service.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].target, kInstallerPath);
  EXPECT_EQ(requests[1].Header("Accept"), "*/*");
  EXPECT_THAT(InstallerArguments(), ElementsAre(DownloadPath(), "--kr-auto-update"));
  EXPECT_EQ(ReadFileBytes(victim), "untouched");
  struct stat status;
  ASSERT_EQ(lstat(DownloadPath().c_str(), &status), 0);
  EXPECT_TRUE(S_ISREG(status.st_mode));
  EXPECT_EQ(status.st_mode & 07777, 0700u);
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "old browser");
  EXPECT_EQ(install_.ReadLog(), "");

  // A running browser does not matter to an installer.
  HeldEvent browser(BrowserRunningEvent());
  ASSERT_TRUE(browser.IsHeld());
  unlink(ArgumentsFile().c_str());
  EXPECT_EQ(RunUpdater(install_, InstalledArguments()), 0);
  EXPECT_THAT(InstallerArguments(), ElementsAre(DownloadPath(), "--kr-auto-update"));
}

TEST_F(BrowserUpdateE2eTest, UnderUpgradeMutexExistsWhileTheInstallerRuns) {
  E2E_REQUIRE_INSTALLER_RUNNER();
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  const Hold hold{install_.Path("started"), install_.Path("release")};
  Offer(service, BrowserInstaller(0, &hold));
  const std::string mutex_name = KernelObjectName(install_.browser_exe(), "_under_upgrade");
  EXPECT_FALSE(KernelObjectExists(mutex_name));

  UpdaterProcess updater(install_, InstalledArguments(), DefaultEnvironment(install_));
  ASSERT_TRUE(WaitForPath(hold.started_file));
  EXPECT_TRUE(KernelObjectExists(mutex_name));
  WriteFileBytes(hold.release_file, "");
  EXPECT_EQ(updater.Wait(), 0);
  EXPECT_FALSE(KernelObjectExists(mutex_name));
}

TEST_F(BrowserUpdateE2eTest, AbortEventStopsTheInstallerAndKeepsTheDownload) {
  E2E_REQUIRE_INSTALLER_RUNNER();
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  Offer(service, BrowserInstaller());
  HeldEvent abort(KernelObjectName(install_.browser_exe(), "_updater_abort_installer"));
  ASSERT_TRUE(abort.IsHeld());

  EXPECT_EQ(RunUpdater(install_, InstalledArguments()), 29);
  EXPECT_FALSE(Exists(ArgumentsFile()));
  EXPECT_TRUE(Exists(DownloadPath()));
  EXPECT_EQ(install_.ReadLog(), "");
}

TEST_F(BrowserUpdateE2eTest, InstallerOrPackageTheKernelCannotStart) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  Offer(service, MakeUnrunnableInstaller());
  const std::vector<std::string> before = ListTree(install_.install_dir());

  EXPECT_EQ(RunUpdater(install_, InstalledArguments()), 5);
  EXPECT_THAT(install_.ReadLog(),
              HasLogLine(365, UpdaterMessage("installer failed  to start last error=8")));
  EXPECT_TRUE(Exists(DownloadPath()));

  EXPECT_EQ(RunUpdater(install_, PortableArguments()), 7);
  EXPECT_THAT(install_.ReadLog(),
              HasLogLine(292, UpdaterMessage("portable installer failed  to start last error=8")));
  EXPECT_TRUE(Exists(DownloadPath()));
  std::filesystem::remove(install_.updater_dir() + "/debug.log");
  EXPECT_EQ(ListTree(install_.install_dir()), before);
}

class PortableSwapE2eTest : public BrowserUpdateE2eTest {
 protected:
  void SetUp() override {
    E2E_REQUIRE_INSTALLER_RUNNER();
    ASSERT_TRUE(service_.IsUp());
    WriteFileBytes(Installed("locales/en.pak"), "old english");
    WriteFileBytes(Installed("locales/de.pak"), "old german");
    WriteFileBytes(Installed("resources.pak"), "old resources");
    for (const char* dir : {"54.0.1.2", "56.0.0.1", "055.1", "plugins"})
      WriteFileBytes(Installed(dir) + "/file", dir);
  }

  int RunSwap(const std::vector<PackageEntry>& entries, const Environment& environment = {}) {
    Offer(service_, Package(entries));
    return RunUpdater(install_, PortableArguments(),
                      environment.empty() ? DefaultEnvironment(install_) : environment);
  }

  // What every swap that ran the package leaves behind, whatever its result.
  void ExpectPackageRanAndOldVersionsWent() {
    EXPECT_THAT(InstallerArguments(),
                ElementsAre(DownloadPath(), "-s", "-d\"" + ExtractDir() + "\""));
    const std::vector<std::string> names = ListNames(install_.install_dir());
    EXPECT_THAT(names, Not(Contains("54.0.1.2")));
    for (const char* kept : {kCurrentVersion, "56.0.0.1", "055.1", "plugins"})
      EXPECT_THAT(names, Contains(kept));
  }

  // The log line at `line` of the copy's failure that ended the swap with `result`.
  void ExpectCopyFailureLogged(int result, int line) const {
    const std::string message = "copy extracted files failed error=-" + std::to_string(result);
    EXPECT_THAT(install_.ReadLog(), HasLogLine(line, UpdaterMessage(message)));
  }
  // A swap of StandardPackage() while a directory stands in `name`'s place.
  void ExpectSwapFailsWithDirectoryAt(const std::string& name, int result, int line) {
    std::filesystem::remove(Installed(name));
    WriteFileBytes(Installed(name + "/keep"), "kept");
    EXPECT_EQ(RunSwap(StandardPackage()), result);
    ExpectCopyFailureLogged(result, line);
  }

  UpdateService service_;
};

TEST_F(PortableSwapE2eTest, BrowserNotRunningGetsTheNewExecutableAndKeepsTheOld) {
  WriteFileBytes(Installed("old_brelix.exe"), "stale");
  struct stat browser;
  ASSERT_EQ(stat(Installed("brelix.exe").c_str(), &browser), 0);
  EXPECT_EQ(RunSwap(StandardPackage()), 0);
  ExpectStandardPackageSwappedIn(install_, browser.st_ino);
  ExpectPackageRanAndOldVersionsWent();
  EXPECT_EQ(ReadFileBytes(Installed("resources.pak")), "new resources");
  EXPECT_EQ(ReadFileBytes(Installed("56.0.0.1/file")), "56.0.0.1");
  EXPECT_THAT(ListTree(ExtractDir()), IsEmpty());
  EXPECT_TRUE(Exists(DownloadPath()));
  EXPECT_EQ(install_.ReadLog(), "");
}

TEST_F(PortableSwapE2eTest, BrowserRunningGetsTheNewExecutableBesideIt) {
  HeldEvent browser(BrowserRunningEvent());
  ASSERT_TRUE(browser.IsHeld());
  WriteFileBytes(Installed("old_brelix.exe"), "stale");
  EXPECT_EQ(RunSwap(StandardPackage()), 0);

  ExpectPackageRanAndOldVersionsWent();
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "old browser");
  EXPECT_EQ(ReadFileBytes(Installed("new_brelix.exe")), "new browser");
  EXPECT_FALSE(Exists(Installed("old_brelix.exe")));
  ExpectStandardPackageLocales(install_);
  EXPECT_EQ(install_.ReadLog(), "");
}

TEST_F(PortableSwapE2eTest, PackageWithoutBrowserChangesNothingButOldVersions) {
  const std::vector<std::vector<PackageEntry>> packages = {
      {},
      {{"resources.pak", "new resources"}, {"brelix", "", PackageEntry::kDirectory}},
  };
  for (const auto& package : packages) {
    EXPECT_EQ(RunSwap(package), 17);
    ExpectPackageRanAndOldVersionsWent();
  }
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "old browser");
  EXPECT_EQ(ReadFileBytes(Installed("resources.pak")), "old resources");
  EXPECT_EQ(ReadFileBytes(ExtractDir() + "/resources.pak"), "new resources");
  EXPECT_EQ(install_.ReadLog(), "");

  // A swap cut short by an earlier updater left the browser as
  // "old_brelix.exe" only: it goes back before anything else.
  std::filesystem::rename(Installed("brelix.exe"), Installed("old_brelix.exe"));
  EXPECT_EQ(RunSwap({}), 17);
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "old browser");
  EXPECT_FALSE(Exists(Installed("old_brelix.exe")));
}

TEST_F(PortableSwapE2eTest, BrowserRunningAndMovesFail) {
  HeldEvent browser(BrowserRunningEvent());
  ASSERT_TRUE(browser.IsHeld());

  // "new_brelix.exe" is taken by a directory.
  ExpectSwapFailsWithDirectoryAt("new_brelix.exe", 18, 336);
  ExpectPackageRanAndOldVersionsWent();
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "old browser");
  std::filesystem::remove_all(Installed("new_brelix.exe"));

  // One file of the package is taken by a directory: the rest still moves.
  ExpectSwapFailsWithDirectoryAt("resources.pak", 19, 340);
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "old browser");
  EXPECT_EQ(ReadFileBytes(Installed("new_brelix.exe")), "new browser");
  EXPECT_EQ(ReadFileBytes(Installed("locales/en.pak")), "new english");
  EXPECT_EQ(ReadFileBytes(Installed("resources.pak/keep")), "kept");
}

TEST_F(PortableSwapE2eTest, BrowserNotRunningAndMovesFail) {
  // "old_brelix.exe" is taken by a directory: the browser stays.
  ExpectSwapFailsWithDirectoryAt("old_brelix.exe", 21, 345);
  ExpectPackageRanAndOldVersionsWent();
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "old browser");
  EXPECT_EQ(ReadFileBytes(Installed("resources.pak")), "old resources");
  std::filesystem::remove_all(Installed("old_brelix.exe"));

  // One file of the package is taken: the new browser is in place anyway.
  ExpectSwapFailsWithDirectoryAt("resources.pak", 22, 349);
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "new browser");
  EXPECT_EQ(ReadFileBytes(Installed("old_brelix.exe")), "old browser");
  EXPECT_EQ(ReadFileBytes(Installed("locales/en.pak")), "new english");
}

TEST_F(PortableSwapE2eTest, TemporaryDirectoriesOfAnyNameReachThePackageIntact) {
  // "=" once split the "-d" argument into a switch and a value, and '"' the
  // program's own path.
  for (const std::string name : {"a=b", "q\"uote", "blank and\\back"}) {
    Environment environment = DefaultEnvironment(install_);
    environment["TMPDIR"] = install_.Path(name);
    std::filesystem::create_directory(environment["TMPDIR"]);
    std::filesystem::remove(Installed("brelix.exe"));
    WriteFileBytes(Installed("brelix.exe"), "old browser");
    EXPECT_EQ(RunSwap(StandardPackage(name), environment), 0) << name;
    EXPECT_THAT(InstallerArguments(),
                ElementsAre(environment["TMPDIR"] + "/setup.exe", "-s",
                            "-d\"" + environment["TMPDIR"] + "/" + kExtractDirName + "\""));
    EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), name);
  }
}

TEST_F(PortableSwapE2eTest, LeftoversOfOtherUsersAreNeverUsedNorTouched) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to plant files of another user";
  constexpr uid_t kOtherUser = 65534;
  // A shared directory like /tmp, where another user planted an extraction
  // directory with a browser of their own and a file of the download's name.
  const std::string shared = install_.temp_dir();
  const std::string own = shared + "/rivazeriduv_updater-0";
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  WriteFileBytes(ExtractDir() + "/brelix.exe", "planted browser");
  WriteFileBytes(DownloadPath(), "planted download");
  for (const std::string& planted : {ExtractDir(), ExtractDir() + "/brelix.exe", DownloadPath()})
    ASSERT_EQ(lchown(planted.c_str(), kOtherUser, kOtherUser), 0);
  ASSERT_EQ(chmod(ExtractDir().c_str(), 01777), 0);
  const std::vector<std::string> planted = ListTree(ExtractDir());

  EXPECT_EQ(RunSwap(StandardPackage()), 0);
  EXPECT_THAT(InstallerArguments(),
              ElementsAre(own + "/setup.exe", "-s", "-d\"" + own + "/" + kExtractDirName + "\""));
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "new browser");
  EXPECT_EQ(ListTree(ExtractDir()), planted);
  EXPECT_EQ(ReadFileBytes(DownloadPath()), "planted download");
  struct stat status;
  ASSERT_EQ(lstat(own.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode, S_IFDIR | 0700u);

  // The private directory taken by the other user, or a link in its place:
  // the update goes on in a private directory with a random name, the same
  // one on the next run.
  std::filesystem::remove_all(own);
  std::filesystem::create_directory(own);
  ASSERT_EQ(lchown(own.c_str(), kOtherUser, kOtherUser), 0);
  std::filesystem::remove(Installed("brelix.exe"));
  WriteFileBytes(Installed("brelix.exe"), "old browser");
  EXPECT_EQ(RunSwap(StandardPackage("newer browser")), 0);
  const std::vector<std::string> arguments = InstallerArguments();
  ASSERT_FALSE(arguments.empty());
  const std::string random = arguments[0].substr(0, arguments[0].rfind('/'));
  EXPECT_THAT(random, ::testing::StartsWith(own + "."));
  ASSERT_EQ(lstat(random.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode, S_IFDIR | 0700u);
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "newer browser");
  std::filesystem::remove(own);
  std::filesystem::create_directory_symlink(ExtractDir(), own);
  std::filesystem::remove(Installed("brelix.exe"));
  WriteFileBytes(Installed("brelix.exe"), "old browser");
  EXPECT_EQ(RunSwap(StandardPackage()), 0);
  EXPECT_THAT(InstallerArguments(), ElementsAre(random + "/setup.exe", "-s",
                                                "-d\"" + random + "/" + kExtractDirName + "\""));
  EXPECT_EQ(ListTree(ExtractDir()), planted);
  EXPECT_EQ(ReadFileBytes(DownloadPath()), "planted download");
  std::filesystem::remove_all(random);

  // A leftover of our own that cannot be removed (a mount point here) stops
  // the swap before the package runs.
  std::filesystem::remove(own);
  ASSERT_EQ(unshare(CLONE_NEWNS), 0);
  ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
  std::filesystem::create_directories(own + "/" + kExtractDirName);
  ASSERT_EQ(mount("tmpfs", (own + "/" + kExtractDirName).c_str(), "tmpfs", 0, nullptr), 0);
  std::filesystem::remove(ArgumentsFile());
  EXPECT_EQ(RunSwap(StandardPackage()), 7);
  EXPECT_THAT(install_.ReadLog(),
              HasLogLine(292, UpdaterMessage("portable installer failed  to start last error=10")));
  EXPECT_FALSE(Exists(ArgumentsFile()));
  umount((own + "/" + kExtractDirName).c_str());
}

TEST_F(PortableSwapE2eTest, FailedMergeWithoutNewBrowserPutsTheOldOneBack) {
  // Across file systems every move is a copy, and a named pipe cannot be
  // copied: the new "brelix.exe" never arrives.
  const std::string shared_memory_tmp = "/dev/shm/rz-e2e-tmp-" + std::to_string(getpid());
  struct stat install_status;
  struct stat shm_status;
  ASSERT_EQ(stat(install_.install_dir().c_str(), &install_status), 0);
  if (stat("/dev/shm", &shm_status) != 0 || shm_status.st_dev == install_status.st_dev)
    GTEST_SKIP() << "/dev/shm is not another file system than " << install_.root();
  std::filesystem::create_directories(shared_memory_tmp);
  Environment environment = DefaultEnvironment(install_);
  environment["TMPDIR"] = shared_memory_tmp;
  std::vector<PackageEntry> package = StandardPackage();
  package[0].kind = PackageEntry::kFifo;

  EXPECT_EQ(RunSwap(package, environment), 22);

  std::filesystem::remove_all(shared_memory_tmp);
  ExpectCopyFailureLogged(22, 349);
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "old browser");
  EXPECT_FALSE(Exists(Installed("old_brelix.exe")));
  EXPECT_EQ(ReadFileBytes(Installed("locales/en.pak")), "new english");
}

// SIGKILL anywhere in the swap, as a crash, a logout or a power cut would
// stop it: the installation always holds the old or the new browser whole,
// and the next run completes the update.
TEST_F(PortableSwapE2eTest, KillsAnywhereInTheSwapLeaveAWholeBrowser) {
  constexpr int kKills = 36;
  constexpr size_t kLargeFileBytes = size_t{24} << 20;
  std::vector<PackageEntry> package = StandardPackage();
  package.push_back({"56.0.0.1/large.bin", "", PackageEntry::kZeroes, kLargeFileBytes});
  for (int i = 0; i < 150; ++i) package.push_back({"small" + std::to_string(i) + ".pak", "new"});
  const Hold extracted{install_.Path("extracted"), install_.Path("release")};
  Offer(service_,
        MakeScriptedInstaller(PortablePackageScript(ArgumentsFile(), package, &extracted)));

  // The exit code, -1 when killed, and the time from the package's release on.
  const auto run_killed_after = [&](std::optional<std::chrono::nanoseconds> delay) {
    std::filesystem::remove(extracted.started_file);
    std::filesystem::remove(extracted.release_file);
    UpdaterProcess updater(install_, PortableArguments(), DefaultEnvironment(install_));
    EXPECT_TRUE(WaitForPath(extracted.started_file));
    const auto released = std::chrono::steady_clock::now();
    WriteFileBytes(extracted.release_file, "");
    if (delay) {
      std::this_thread::sleep_until(released + *delay);
      updater.Kill();
    }
    const int code = updater.Wait();
    return std::make_pair(code, std::chrono::steady_clock::now() - released);
  };
  const auto [code, swap_time] = run_killed_after(std::nullopt);
  ASSERT_EQ(code, 0);

  int killed = 0;
  int without_browser = 0;
  for (int i = 0; i < kKills; ++i) {
    std::filesystem::remove(Installed("brelix.exe"));
    WriteFileBytes(Installed("brelix.exe"), "old browser");
    std::filesystem::remove_all(Installed("56.0.0.1"));
    const auto delay = swap_time * i / kKills;
    if (run_killed_after(delay).first == -1) ++killed;
    if (!Exists(Installed("brelix.exe"))) ++without_browser;
    const std::string browser = ReadFileBytes(Installed("brelix.exe"));
    EXPECT_TRUE(browser == "old browser" || browser == "new browser")
        << "killed " << delay.count() << " ns after the package ended: " << browser;
    EXPECT_EQ(RunUpdater(install_, PortableArguments()), 0) << install_.ReadLog();
    EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "new browser");
    std::error_code missing;
    EXPECT_EQ(std::filesystem::file_size(Installed("56.0.0.1/large.bin"), missing),
              kLargeFileBytes);
  }
  std::cout << killed << " of " << kKills << " runs killed within the "
            << std::chrono::duration_cast<std::chrono::milliseconds>(swap_time).count()
            << " ms from the package's release to the end, " << without_browser
            << " left no brelix.exe\n";
  EXPECT_EQ(without_browser, 0);
}

// The installation's file system fills up as the swap copies into it: the
// new browser does not fit, so the old one stays, and so does everything else.
TEST_F(PortableSwapE2eTest, FullFileSystemKeepsTheOldBrowserAndTheUsersFiles) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a file system";
  namespace fs = std::filesystem;
  constexpr uintmax_t kSpareBytes = 1 << 20;
  const std::string saved = install_.Path("saved");
  fs::copy(install_.install_dir(), saved, fs::copy_options::recursive);
  uintmax_t used = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(saved))
    if (entry.is_regular_file()) used += (entry.file_size() + 4095) / 4096 * 4096;
  ASSERT_EQ(unshare(CLONE_NEWNS), 0);
  ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
  const std::string size = "size=" + std::to_string(used + kSpareBytes);
  ASSERT_EQ(mount("tmpfs", install_.install_dir().c_str(), "tmpfs", 0, size.c_str()), 0);
  struct Unmount {
    std::string path;
    ~Unmount() { umount(path.c_str()); }
  } unmount{install_.install_dir()};
  fs::copy(saved, install_.install_dir(), fs::copy_options::recursive);
  std::vector<PackageEntry> package = StandardPackage();
  package[0] = {"brelix.exe", "", PackageEntry::kZeroes, 2 * kSpareBytes};

  EXPECT_EQ(RunSwap(package), 22);
  ExpectCopyFailureLogged(22, 349);
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "old browser");
  EXPECT_FALSE(Exists(Installed("old_brelix.exe")));
  EXPECT_EQ(ReadFileBytes(Installed("locales/de.pak")), "old german");
  EXPECT_EQ(ReadFileBytes(Installed("locales/en.pak")), "new english");
  for (const char* dir : {"56.0.0.1", "055.1", "plugins"})
    EXPECT_EQ(ReadFileBytes(Installed(dir) + "/file"), dir);
  const fs::path updater = fs::relative(install_.updater(), install_.install_dir());
  EXPECT_EQ(fs::file_size(install_.updater()), fs::file_size(saved + "/" + updater.string()));
}

}  // namespace
}  // namespace updater::e2e
