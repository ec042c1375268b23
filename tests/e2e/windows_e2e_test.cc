// The Windows updater under wine, silent, as the browser starts it: the
// flows of the Linux suites that mean the same on Windows, against the same
// loopback update service, with real Windows installers signed at test time.
// wine's trust provider accepts a root nobody trusts; the updater's embedded
// root refuses it. The interactive runs show the Win32 dialog on a private X
// display.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/authenticode/unsigned_attribute_edit.h"
#include "tests/e2e/dialog_reader.h"
#include "tests/e2e/e2e_expectations.h"
#include "tests/e2e/e2e_harness.h"
#include "tests/e2e/wine_dialog.h"
#include "tests/e2e/wine_harness.h"
#include "tests/support/desktop_session.h"
#include "tests/support/text_catalog.h"
#include "text/localized_text.h"

namespace updater::e2e {
namespace {

namespace fs = std::filesystem;
using test_support::DesktopSession;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr char kPluginFile[] = "pepflashplayer.dll";

class WindowsE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WINE_E2E_REQUIRE_WINDOWS_BUILD();
    install_ = std::make_unique<WindowsInstallation>();
  }

  std::vector<std::string> InstalledArguments(const std::string& langid = "ru") const {
    return InstalledBrowserArguments(install_->WindowsBrowserExe(), langid);
  }
  std::vector<std::string> PortableArguments() const {
    return PortableBrowserArguments(install_->WindowsBrowserExe());
  }
  std::vector<std::string> PlugInArguments() const {
    return {std::string("--pepper-version=") + kPepperVersion,
            "--real-exe-path=" + install_->WindowsBrowserExe()};
  }
  int Run(const std::vector<std::string>& arguments) const {
    return RunWindowsUpdater(*install_, arguments);
  }
  // The same while another program holds `path` open; -1 when it could not.
  int RunWhileHeld(const std::string& path, const std::vector<std::string>& arguments) const {
    const WineFileLock lock(path);
    return lock.IsHeld() ? Run(arguments) : -1;
  }

  std::string ArgumentsFile() const { return install_->Path("installer_arguments"); }
  // The command line as the installer got it, then its arguments.
  std::vector<std::string> InstallerArguments() const { return ReadLines(ArgumentsFile()); }
  std::string Download(const std::string& name = "setup.exe") const {
    return install_->TempDir() + "/" + name;
  }
  std::string WindowsDownload(const std::string& name = "setup.exe") const {
    return install_->WindowsTempDir() + "\\" + name;
  }
  std::string Installed(const std::string& name) const {
    return install_->install_dir() + "/" + name;
  }
  std::string Plugin(const std::string& suffix = "") const {
    return install_->updater_dir() + "/PepperFlash" + suffix;
  }

  void Offer(UpdateService& service, const std::string& installer) const {
    service.Serve(kInstallerPath, installer);
    service.Answer("/update.php", BrowserOffer(kOfferedVersion, WindowsServiceUrl(kInstallerPath)));
  }

  std::unique_ptr<WindowsInstallation> install_;
};

TEST_F(WindowsE2eTest, InstalledUpdateRunsTheSignedInstallerWithItsSwitch) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  service.Answer("/update.php", BrowserOffer("", ""));
  const std::vector<std::string> before = ListTree(install_->install_dir());

  EXPECT_EQ(Run(PortableArguments()), 4);
  ExpectOnePortableQuery(service.requests());
  EXPECT_EQ(ListTree(install_->install_dir()), before);

  // Switch values travel as written but for blanks.
  std::vector<std::string> odd = InstalledArguments();
  odd.push_back("--Extra=a&b c=d");
  EXPECT_EQ(Run(odd), 4);
  EXPECT_EQ(service.requests().back().target, BrowserQuery("&extra=a&b%20c=d&langid=ru"));

  // The installer's exit code is not read; the download stays.
  Offer(service, MakeWindowsInstaller(WindowsInstallerRun(ArgumentsFile(), 7)));
  EXPECT_EQ(Run(InstalledArguments()), 0);
  const auto requests = service.requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[3].target, kInstallerPath);
  EXPECT_EQ(requests[3].Header("Accept"), "*/*");
  EXPECT_THAT(InstallerArguments(), ElementsAre("\"" + WindowsDownload() + "\" --kr-auto-update",
                                                WindowsDownload(), "--kr-auto-update"));
  EXPECT_TRUE(Exists(Download()));
  EXPECT_EQ(ReadFileBytes(install_->browser_exe()), "old browser");
  EXPECT_EQ(install_->ReadLog(), "");

  // A running browser does not matter to an installer.
  HeldEvent browser(WindowsKernelObjectName(install_->WindowsBrowserExe()), HeldEvent::Kind::kEvent,
                    WineKernelObjectTool());
  ASSERT_TRUE(browser.IsHeld());
  fs::remove(ArgumentsFile());
  EXPECT_EQ(Run(InstalledArguments()), 0);
  EXPECT_EQ(InstallerArguments().size(), 3u);

  // A download named without an extension starts as itself, never as the
  // unchecked "setup.exe" beside it.
  const std::string planted_arguments = install_->Path("planted_arguments");
  WriteFileBytes(Download(),
                 MakeWindowsInstaller(WindowsInstallerRun(planted_arguments), Signer::kUnsigned));
  service.Serve("/files/setup", MakeWindowsInstaller(WindowsInstallerRun(ArgumentsFile())));
  service.Answer("/update.php", BrowserOffer(kOfferedVersion, WindowsServiceUrl("/files/setup")));
  fs::remove(ArgumentsFile());
  EXPECT_EQ(Run(InstalledArguments()), 0);
  EXPECT_THAT(InstallerArguments(),
              ElementsAre("\"" + WindowsDownload("setup") + "\" --kr-auto-update",
                          WindowsDownload("setup"), "--kr-auto-update"));
  EXPECT_FALSE(Exists(planted_arguments));
}

TEST_F(WindowsE2eTest, PortableUpdateSwapsTheExtractedFilesIn) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  WriteFileBytes(Installed("locales/de.pak"), "old german");
  WriteFileBytes(Installed("old_brelix.exe"), "stale");
  for (const char* dir : {"54.0.1.2", "56.0.0.1"}) WriteFileBytes(Installed(dir) + "/file", dir);
  Offer(service, MakeWindowsInstaller(WindowsPackageRun(ArgumentsFile(), StandardPackage())));
  struct stat previous;
  ASSERT_EQ(stat(Installed("brelix.exe").c_str(), &previous), 0);

  EXPECT_EQ(Run(PortableArguments()), 0);
  ExpectStandardPackageSwappedIn(*install_, previous.st_ino);
  // The directory goes in quotation marks, which the package's own parsing
  // of its command line removes.
  const std::string extract_dir = install_->WindowsTempDir() + "\\" + kExtractDirName;
  EXPECT_THAT(InstallerArguments(),
              ElementsAre("\"" + WindowsDownload() + "\" -s -d\"" + extract_dir + "\"",
                          WindowsDownload(), "-s", "-d" + extract_dir));
  EXPECT_FALSE(Exists(Installed("54.0.1.2")));
  EXPECT_THAT(ListTree(Download(kExtractDirName)), IsEmpty());
  EXPECT_EQ(install_->ReadLog(), "");

  // With the browser running, the new executable goes beside it.
  HeldEvent browser(WindowsKernelObjectName(install_->WindowsBrowserExe()), HeldEvent::Kind::kEvent,
                    WineKernelObjectTool());
  ASSERT_TRUE(browser.IsHeld());
  Offer(service, MakeWindowsInstaller(WindowsPackageRun(ArgumentsFile(), StandardPackage("v2"))));
  EXPECT_EQ(Run(PortableArguments()), 0);
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "new browser");
  EXPECT_EQ(ReadFileBytes(Installed("new_brelix.exe")), "v2");
  EXPECT_FALSE(Exists(Installed("old_brelix.exe")));

  // A path with blanks, "=" and letters beyond ASCII travels intact.
  install_ = std::make_unique<WindowsInstallation>(kCurrentVersion, "Brelix a=b Übersicht ☃");
  Offer(service, MakeWindowsInstaller(WindowsPackageRun(ArgumentsFile(), StandardPackage("v3"))));
  EXPECT_EQ(Run(PortableArguments()), 0);
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "v3");
  EXPECT_EQ(ReadFileBytes(Installed("old_brelix.exe")), "old browser");
  EXPECT_EQ(install_->ReadLog(), "");

  // A browser whose event allows nothing but waiting is running all the same.
  HeldEvent wait_only(WindowsKernelObjectName(install_->WindowsBrowserExe()),
                      HeldEvent::Kind::kEvent, WineWaitOnlyEventTool());
  ASSERT_TRUE(wait_only.IsHeld());
  Offer(service, MakeWindowsInstaller(WindowsPackageRun(ArgumentsFile(), StandardPackage("v4"))));
  EXPECT_EQ(Run(PortableArguments()), 0);
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "v3");
  EXPECT_EQ(ReadFileBytes(Installed("new_brelix.exe")), "v4");
}

TEST_F(WindowsE2eTest, PlugInUpdateStagesAndSwapsOverAReadOnlyLeftover) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  WriteFileBytes(Plugin() + "/" + kPluginFile, "old plugin");
  // A read-only leftover download is replaced.
  WriteFileBytes(Download("flash_setup.exe"), "left by an earlier run");
  fs::permissions(Download("flash_setup.exe"), fs::perms::owner_read);
  const std::string installer =
      MakeWindowsInstaller(WindowsPackageRun(ArgumentsFile(), {{kPluginFile, "new plugin"}}));
  service.Serve(kFlashInstallerPath, installer);
  service.Answer("/update_pepper.php",
                 FlashOffer(kOfferedPepperVersion, WindowsServiceUrl(kFlashInstallerPath)));

  EXPECT_EQ(Run(PlugInArguments()), 0);
  ASSERT_FALSE(service.requests().empty());
  EXPECT_EQ(service.requests().front().target, FlashQuery());
  const std::string staging = WindowsPath(Plugin("_new"));
  EXPECT_THAT(InstallerArguments(),
              ElementsAre("\"" + WindowsDownload("flash_setup.exe") + "\" -s -d\"" + staging + "\"",
                          WindowsDownload("flash_setup.exe"), "-s", "-d" + staging));
  EXPECT_EQ(ReadFileBytes(Plugin() + "/" + kPluginFile), "new plugin");
  EXPECT_EQ(ReadFileBytes(Plugin("_old") + "/" + kPluginFile), "old plugin");
  EXPECT_FALSE(Exists(Plugin("_new")));
  EXPECT_EQ(ReadFileBytes(Download("flash_setup.exe")), installer);
  EXPECT_FALSE(
      KernelObjectExists(WindowsKernelObjectName(install_->WindowsBrowserExe(), "_under_upgrade"),
                         WineKernelObjectTool()));
  EXPECT_EQ(install_->ReadLog(), "");
}

TEST_F(WindowsE2eTest, DownloadsWithoutAValidSignatureAreDeletedAndNeverRun) {
  UpdateService service(UpdateService::Sites::kPrimaryOnly);
  ASSERT_TRUE(service.IsUp());
  const std::vector<std::string> run = WindowsInstallerRun(ArgumentsFile());
  const std::string good = MakeWindowsInstaller(run);
  std::string other_instructions = good;
  other_instructions.replace(other_instructions.find("exit\t0"), 6, "exit\t1");
  const std::vector<std::pair<std::string, std::string>> downloads = {
      {"unsigned", MakeWindowsInstaller(run, Signer::kUnsigned)},
      // wine's provider trusts any root; the embedded one decides.
      {"another publisher", MakeWindowsInstaller(run, Signer::kStranger)},
      {"a leaf for any use", MakeWindowsInstaller(run, Signer::kAnyUse)},
      {"58 KiB in an unsigned attribute",
       WithUnsignedAttributes(good, MakeAttribute(kUnknownAttributeOid, 58 * 1024))},
      {"a byte of code changed", TamperedWindowsInstaller(good)},
      {"other instructions", other_instructions},
      {"cut short", good.substr(0, good.size() - 100)},
      {"no program at all", "MZ only a part"},
  };
  const std::vector<std::string> before = ListTree(install_->install_dir());
  for (const auto& [what, download] : downloads) {
    Offer(service, download);
    EXPECT_EQ(Run(InstalledArguments()), 26) << what;
    EXPECT_FALSE(Exists(ArgumentsFile())) << what;
    EXPECT_THAT(ListNames(install_->TempDir()), IsEmpty()) << what;
  }
  EXPECT_EQ(ListTree(install_->install_dir()), before);
  // The same installer, as signed, runs.
  Offer(service, good);
  EXPECT_EQ(Run(InstalledArguments()), 0);
  EXPECT_TRUE(Exists(ArgumentsFile()));
}

TEST_F(WindowsE2eTest, FailuresAndHostileAnswersEndWithTheirResult) {
  const std::vector<std::string> before = ListTree(install_->install_dir());
  {
    UpdateService service(UpdateService::Sites::kPrimaryOnly);
    ASSERT_TRUE(service.IsUp());
    service.Answer("/update.php", ServiceAnswer{500, {}, ""});
    EXPECT_EQ(Run(InstalledArguments()), 23);
    // The location names no file: the download is still made first.
    service.Answer("/files/", ServiceAnswer{200, {}, "a listing"});
    service.Answer("/update.php", BrowserOffer(kOfferedVersion, WindowsServiceUrl("/files/")));
    EXPECT_EQ(Run(InstalledArguments()), 35);
    EXPECT_EQ(service.CountRequests("/files/"), 1);
    // Nothing listens at the download's port.
    service.Answer("/update.php",
                   BrowserOffer(kOfferedVersion, "http://localhost:" + std::to_string(kMirrorPort) +
                                                     "/files/setup.exe"));
    EXPECT_EQ(Run(InstalledArguments()), 24);
    // A download path of 260 characters is never written: it could not be
    // deleted when rejected. One of 259 is written, checked and deleted.
    for (const auto& [length, result] : {std::pair{259u, 26}, std::pair{260u, 25}}) {
      const std::string name(length - install_->WindowsTempDir().size() - 1, 'n');
      service.Serve("/" + name, "unsigned");
      service.Answer("/update.php", BrowserOffer(kOfferedVersion, WindowsServiceUrl("/" + name)));
      EXPECT_EQ(Run(InstalledArguments()), result) << length;
    }
    // A portable run for another executable asks nothing.
    EXPECT_EQ(Run({"--current=1.0", "--portable",
                   "--real-exe-path=" + WindowsPath(Installed("other.exe"))}),
              8);
    EXPECT_EQ(service.requests().size(), 8u);
  }
  // The mirror, preferred for Simplified Chinese, answers with raw bytes.
  for (const auto& [reply, result] :
       HostileServiceReplies("http://localhost:" + std::to_string(kMirrorPort))) {
    // wine cuts every header line at 1460 bytes and drops the rest, where
    // Windows refuses a head over 64 KiB: that answer is judged on Linux.
    if (reply.find("X-Huge") != std::string::npos) continue;
    RawReplySite mirror(kMirrorPort, reply);
    ASSERT_TRUE(mirror.IsUp());
    EXPECT_EQ(Run(InstalledArguments("zh-CN")), result) << reply.substr(0, 60);
    EXPECT_THAT(mirror.requests(), Not(IsEmpty()));
  }
  EXPECT_EQ(ListTree(install_->install_dir()), before);
  EXPECT_THAT(ListNames(install_->TempDir()), IsEmpty());
}

TEST_F(WindowsE2eTest, FilesOtherProgramsHoldOpenEndTheRunWithTheirResult) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  // A leftover download another program holds cannot be replaced.
  Offer(service, MakeWindowsInstaller(WindowsInstallerRun(ArgumentsFile())));
  WriteFileBytes(Download(), "held by another program");
  EXPECT_EQ(RunWhileHeld(Download(), InstalledArguments()), 15);
  EXPECT_EQ(ReadFileBytes(Download()), "held by another program");
  EXPECT_FALSE(Exists(ArgumentsFile()));
  fs::remove(Download());

  // A held "old_brelix.exe" keeps the browser as it is.
  Offer(service, MakeWindowsInstaller(WindowsPackageRun(ArgumentsFile(), StandardPackage())));
  WriteFileBytes(Installed("old_brelix.exe"), "stale");
  WriteFileBytes(Installed("resources.pak"), "old resources");
  EXPECT_EQ(RunWhileHeld(Installed("old_brelix.exe"), PortableArguments()), 21);
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "old browser");
  EXPECT_EQ(ReadFileBytes(Installed("old_brelix.exe")), "stale");
  EXPECT_EQ(ReadFileBytes(Installed("resources.pak")), "old resources");
  // A held file of the package stays; the new browser is in place anyway.
  EXPECT_EQ(RunWhileHeld(Installed("resources.pak"), PortableArguments()), 22);
  EXPECT_EQ(ReadFileBytes(Installed("brelix.exe")), "new browser");
  EXPECT_EQ(ReadFileBytes(Installed("old_brelix.exe")), "old browser");
  EXPECT_EQ(ReadFileBytes(Installed("resources.pak")), "old resources");
  EXPECT_EQ(ReadFileBytes(Installed("locales/en.pak")), "new english");
}

TEST_F(WindowsE2eTest, ARunningUpdaterKeepsTheSecondOneFromDoingAnything) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  service.Answer("/update.php", BrowserOffer("", ""));
  HeldEvent running("Global\\rivazeriduv_updater_singleton", HeldEvent::Kind::kAcquiredMutex,
                    WineKernelObjectTool());
  ASSERT_TRUE(running.IsHeld());
  EXPECT_EQ(Run(InstalledArguments()), 99);
  EXPECT_EQ(Run(PlugInArguments()), 99);
  EXPECT_THAT(service.requests(), IsEmpty());
  EXPECT_EQ(install_->ReadLog(), "");
}

// The dialog draws every letter of the ten languages: fonts the prefix
// linked badly showed Polish and Greek letters, or Chinese and Japanese ones,
// as boxes.
TEST_F(WindowsE2eTest, TheDialogFontDrawsEveryCharacterOfTheCatalog) {
  std::string catalog;
  for (const LocalizedText* entry : test_support::kCatalogEntries) {
    for (int language = 0; language < kLanguageCount; ++language)
      catalog += DialogText(*entry, language) + "\n";
  }
  EXPECT_THAT(DialogFontGaps(catalog), ElementsAre("MS Shell Dlg"));
}

// Dialog template 108, in dialog units.
constexpr DialogRect kDialogClient = {0, 0, 320, 148};
constexpr DialogRect kOpenFolderButton = {10, 120, 80, 18};
constexpr DialogRect kConfirmButton = {180, 120, 60, 18};
constexpr DialogRect kAbortButton = {250, 120, 60, 18};
constexpr int kJapanese = 6;
constexpr int kRussian = 3;

class WindowsDialogE2eTest : public WindowsE2eTest {
 protected:
  // The display first, then a new wine session: the prefix is prepared, and
  // every session begun from now on is begun, with the display set.
  void SetUp() override {
    WINE_E2E_REQUIRE_WINDOWS_BUILD();
    desktop_ = std::make_unique<DesktopSession>();
    ASSERT_EQ(desktop_->failure(), "");
    EndWineSession();
    WindowsE2eTest::SetUp();
  }
  void TearDown() override {
    if (desktop_) EndWineSession();
  }

  test_support::ChildProcess StartInteractive(const std::string& langid) const {
    std::vector<std::string> arguments = InstalledArguments(langid);
    arguments.insert(arguments.begin(), "--kr-check-update");
    return StartWindowsUpdater(*install_, arguments);
  }
  static int ExitCode(test_support::ChildProcess& updater) {
    const test_support::ExitStatus status = updater.Wait();
    return status.exited ? status.code : -1;
  }

  std::unique_ptr<DesktopSession> desktop_;
};

TEST_F(WindowsDialogE2eTest, InstallInTheCentredWindowRunsTheInstaller) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  Offer(service, MakeWindowsInstaller(WindowsInstallerRun(ArgumentsFile())));
  auto updater = StartInteractive("ja");

  const auto window = WineWindow::Find(DialogText(kTextWindowTitle, kJapanese), kDialogClient);
  ASSERT_TRUE(window);
  const WindowGeometry geometry = window->Geometry();
  // The client area: the frame wine draws without a window manager is
  // not part of the X window.
  EXPECT_NEAR(geometry.x + geometry.width / 2, DesktopSession::kScreenWidth / 2, 4);
  EXPECT_NEAR(geometry.y + geometry.height / 2, DesktopSession::kScreenHeight / 2, 16);
  // Install and Open folder appear with the prompt; nothing runs before Install.
  ASSERT_TRUE(WaitUntil([&] { return window->Shows(kOpenFolderButton); }));
  EXPECT_TRUE(window->Shows(kConfirmButton));
  EXPECT_FALSE(Exists(ArgumentsFile()));

  ASSERT_TRUE(window->ClickUntil(kConfirmButton, [&] { return Exists(ArgumentsFile()); }));
  EXPECT_THAT(InstallerArguments(), ElementsAre("\"" + WindowsDownload() + "\" --kr-auto-update",
                                                WindowsDownload(), "--kr-auto-update"));
  EXPECT_EQ(window->ClickUntilEnded(kAbortButton, updater), 0);
  EXPECT_FALSE(window->Exists());
}

TEST_F(WindowsDialogE2eTest, AbortDuringASlowDownloadEndsWithOneAndStartsNothing) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  service.Handle(kInstallerPath, [](const httplib::Request&, httplib::Response& response) {
    response.set_content_provider(size_t{64} << 20, "application/octet-stream",
                                  [](size_t, size_t, httplib::DataSink& sink) {
                                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                                    const std::string chunk(4096, 'z');
                                    return sink.write(chunk.data(), chunk.size());
                                  });
  });
  service.Answer("/update.php", BrowserOffer(kOfferedVersion, WindowsServiceUrl(kInstallerPath)));
  auto updater = StartInteractive("en");

  const auto window = WineWindow::Find(DialogText(kTextWindowTitle, 0), kDialogClient);
  ASSERT_TRUE(window);
  ASSERT_TRUE(WaitUntil([&] { return service.CountRequests(kInstallerPath) == 1; }));
  EXPECT_EQ(window->ClickUntilEnded(kAbortButton, updater), 1);
  EXPECT_FALSE(window->Exists());
  EXPECT_FALSE(Exists(ArgumentsFile()));
}

TEST_F(WindowsDialogE2eTest, AbortWhileTheInstallerRunsWaitsForItWithTheMutexHeld) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  const Hold hold{install_->Path("started"), install_->Path("release")};
  Offer(service, MakeWindowsInstaller(WindowsInstallerRun(ArgumentsFile(), 0, &hold)));
  const std::string under_upgrade =
      WindowsKernelObjectName(install_->WindowsBrowserExe(), "_under_upgrade");
  auto updater = StartInteractive("en");

  const auto window = WineWindow::Find(DialogText(kTextWindowTitle, 0), kDialogClient);
  ASSERT_TRUE(window);
  ASSERT_TRUE(WaitUntil([&] { return window->Shows(kOpenFolderButton); }));
  ASSERT_TRUE(window->ClickUntil(kConfirmButton, [&] { return Exists(hold.started_file); }));
  ASSERT_TRUE(window->ClickUntil(kAbortButton, [&] { return !window->IsVisible(); }));
  // Well past the grace a run stopped before its installer gets.
  for (int i = 0; i < 10; ++i) {
    EXPECT_TRUE(KernelObjectExists(under_upgrade, WineKernelObjectTool()));
    EXPECT_FALSE(updater.Poll().exited);
  }
  WriteFileBytes(hold.release_file, "");
  EXPECT_EQ(ExitCode(updater), 0);
  EXPECT_FALSE(window->Exists());
  EXPECT_FALSE(KernelObjectExists(under_upgrade, WineKernelObjectTool()));
}

TEST_F(WindowsDialogE2eTest, ASecondUpdaterShowsTheBusyMessageAndExitsAfterOk) {
  UpdateService service;
  ASSERT_TRUE(service.IsUp());
  const HeldEvent running("Global\\rivazeriduv_updater_singleton", HeldEvent::Kind::kAcquiredMutex,
                          WineKernelObjectTool());
  ASSERT_TRUE(running.IsHeld());
  auto updater = StartInteractive("ru");

  const auto message = WineWindow::Find(DialogText(kTextWindowTitle, kRussian));
  ASSERT_TRUE(message);
  // Now and then wine lets the first key pass: press until the box goes.
  EXPECT_TRUE(WaitUntil([&] {
    message->PressKey("Return");
    return !message->Exists();
  }));
  EXPECT_EQ(ExitCode(updater), 99);
  EXPECT_THAT(service.requests(), IsEmpty());
  EXPECT_FALSE(KernelObjectExists("Global\\rivazeriduv_updater_continue_or_cancel_0",
                                  WineKernelObjectTool()));
}

}  // namespace
}  // namespace updater::e2e
