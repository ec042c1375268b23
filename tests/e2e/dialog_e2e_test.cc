// The interactive updater on a private X display, read through the
// accessibility interface as a screen reader reads it and driven as its
// user drives it: with the reader's button presses and the keyboard.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/dialog_reader.h"
#include "tests/e2e/e2e_harness.h"
#include "tests/support/child_process.h"
#include "tests/support/desktop_session.h"
#include "text/localized_text.h"

namespace updater::e2e {
namespace {

using test_support::DesktopSession;

constexpr char kTitle[] = "Check for update";
constexpr char kBrowserPrompt[] = "Browser installer downloaded, install now?";
constexpr char kFlashPrompt[] = "New flash player downloaded, install now?";

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool EndsWith(const std::vector<std::string>& lines, const std::string& line) {
  return !lines.empty() && lines.back() == line;
}

// A file manager on the session bus that records what it was asked to show.
class FakeFileManager {
 public:
  FakeFileManager() {
    thread_ = std::thread([this] {
      GMainContext* context = g_main_context_new();
      g_main_context_push_thread_default(context);
      loop_ = g_main_loop_new(context, FALSE);
      owner_ = g_bus_own_name(G_BUS_TYPE_SESSION, "org.freedesktop.FileManager1",
                              G_BUS_NAME_OWNER_FLAGS_NONE, &FakeFileManager::OnBus, nullptr,
                              nullptr, this, nullptr);
      g_main_loop_run(loop_);
      g_bus_unown_name(owner_);
      g_main_loop_unref(loop_);
      g_main_context_pop_thread_default(context);
      g_main_context_unref(context);
    });
  }
  ~FakeFileManager() {
    while (!loop_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    g_main_loop_quit(loop_);
    thread_.join();
  }

  std::vector<std::string> shown() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
  }

 private:
  static void OnBus(GDBusConnection* bus, const gchar*, gpointer data) {
    static const char kInterface[] =
        "<node><interface name='org.freedesktop.FileManager1'><method name='ShowItems'>"
        "<arg type='as' direction='in'/><arg type='s' direction='in'/></method>"
        "</interface></node>";
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
    static const GDBusInterfaceVTable kVTable = {&FakeFileManager::OnCall, nullptr, nullptr, {}};
    g_dbus_connection_register_object(bus, "/org/freedesktop/FileManager1", node->interfaces[0],
                                      &kVTable, data, nullptr, nullptr);
    g_dbus_node_info_unref(node);
  }

  static void OnCall(GDBusConnection*,
                     const gchar*,
                     const gchar*,
                     const gchar*,
                     const gchar*,
                     GVariant* parameters,
                     GDBusMethodInvocation* invocation,
                     gpointer data) {
    auto* self = static_cast<FakeFileManager*>(data);
    GVariantIter* uris = nullptr;
    const gchar* startup_id = nullptr;
    g_variant_get(parameters, "(as&s)", &uris, &startup_id);
    const gchar* uri = nullptr;
    while (g_variant_iter_loop(uris, "&s", &uri)) {
      const std::lock_guard<std::mutex> lock(self->mutex_);
      self->shown_.push_back(uri);
    }
    g_variant_iter_free(uris);
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }

  std::thread thread_;
  GMainLoop* loop_ = nullptr;
  guint owner_ = 0;
  std::mutex mutex_;
  std::vector<std::string> shown_;
};

class DialogE2eTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    desktop_ = new DesktopSession;
    // Starts the accessibility bus before the first updater looks for it.
    ReadUpdaterWindows();
  }
  static void TearDownTestSuite() {
    delete desktop_;
    desktop_ = nullptr;
  }

  void SetUp() override {
    ASSERT_EQ(desktop_->failure(), "");
    ASSERT_TRUE(service_.IsUp());
  }

  Environment DesktopEnvironment() const {
    Environment environment = DefaultEnvironment(install_);
    for (const char* name : {"DISPLAY", "DBUS_SESSION_BUS_ADDRESS"})
      environment[name] = getenv(name);
    environment["HOME"] = install_.root();
    environment["LSAN_OPTIONS"] = "suppressions=" UPDATER_E2E_GUI_LEAK_SUPPRESSIONS;
    return environment;
  }

  std::unique_ptr<UpdaterProcess> StartInteractive(const std::vector<std::string>& switches) {
    std::vector<std::string> arguments = {"--kr-check-update",
                                          "--real-exe-path=" + install_.browser_exe()};
    arguments.insert(arguments.end(), switches.begin(), switches.end());
    return std::make_unique<UpdaterProcess>(install_, arguments, DesktopEnvironment());
  }

  void OfferBrowser(const std::string& installer) {
    service_.Answer("/update.php",
                    BrowserOffer("2.0.0.0", service_.Serve("/brelix_setup.exe", installer)));
  }

  void OfferPlugIn(const std::string& installer) {
    service_.Answer("/update_pepper.php",
                    {200,
                     {{"Kora-Flash-Version", "2.0.0.0"},
                      {"Kora-Flash-Location", service_.Serve("/flash_setup.exe", installer)}},
                     ""});
  }

  std::string Installer() {
    return MakeScriptedInstaller(BrowserInstallerScript(install_.Path("arguments")));
  }

  static DesktopSession* desktop_;
  UpdateService service_;
  ScratchInstallation install_;
};

DesktopSession* DialogE2eTest::desktop_ = nullptr;

TEST_F(DialogE2eTest, InstallRunsTheInstallerAfterTheTypicalLinesInTheMiddleOfTheScreen) {
  E2E_REQUIRE_INSTALLER_RUNNER();
  OfferBrowser(Installer());
  FakeFileManager file_manager;
  const auto updater = StartInteractive({"--current=1.5.0.1"});

  const auto prompt = WaitForWindow(
      [](const WindowView& window) { return EndsWith(window.lines, kBrowserPrompt); });
  ASSERT_TRUE(prompt);
  EXPECT_EQ(prompt->title, kTitle);
  EXPECT_EQ(prompt->lines,
            (std::vector<std::string>{"Current browser version is 1.5.0.1", "Connecting server...",
                                      "Found new browser version(2.0.0.0), starting download...",
                                      "100% downloaded.", kBrowserPrompt}));
  EXPECT_EQ(prompt->rect.x, (DesktopSession::kScreenWidth - prompt->rect.width) / 2);
  EXPECT_EQ(prompt->rect.y, (DesktopSession::kScreenHeight - prompt->rect.height) / 2);
  ASSERT_TRUE(prompt->Button("Install") && prompt->Button("Open folder") &&
              prompt->Button("Abort"));
  EXPECT_TRUE(prompt->Button("Install")->showing && prompt->Button("Install")->enabled);
  // The template's order from left to right: Open folder, Install, Abort.
  EXPECT_LT(prompt->Button("Open folder")->rect.x, prompt->Button("Install")->rect.x);
  EXPECT_LT(prompt->Button("Install")->rect.x, prompt->Button("Abort")->rect.x);
  EXPECT_FALSE(Exists(install_.Path("arguments"))) << "nothing runs before the user says so";

  ASSERT_TRUE(PressButton("Open folder"));
  for (int i = 0; i < 100 && file_manager.shown().empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(file_manager.shown(),
            std::vector<std::string>{"file://" + install_.temp_dir() + "/brelix_setup.exe"});

  ASSERT_TRUE(PressButton("Install"));
  const auto done = WaitForWindow([](const WindowView& window) {
    return EndsWith(window.lines, "New browser version installed.");
  });
  ASSERT_TRUE(done);
  EXPECT_EQ(done->lines.size(), 7u);
  EXPECT_EQ(done->lines[5], "Installing...");
  EXPECT_EQ(ReadFileBytes(install_.Path("arguments")),
            install_.temp_dir() + "/brelix_setup.exe\n--kr-auto-update\n");
  ASSERT_TRUE(done->Button("Confirm"));
  EXPECT_FALSE(done->Button("Confirm")->enabled) << "no restart to confirm";

  // The finished dialog stays until the user closes it; the result stands.
  ASSERT_TRUE(PressButton("Abort"));
  EXPECT_EQ(updater->Wait(), 0);
}

TEST_F(DialogE2eTest, PlugInUpdateAfterNothingNewerAsksForTheRestartTheBrowserWants) {
  E2E_REQUIRE_INSTALLER_RUNNER();
  service_.Answer("/update.php", BrowserOffer("1.5.0.1", ""));
  OfferPlugIn(MakeScriptedInstaller(
      PortablePackageScript(install_.Path("arguments"), {{"plugin.so", "plug-in 2.0"}})));
  const std::string need_restart =
      KernelObjectName(install_.browser_exe(), "_updater_need_restart");
  const HeldEvent browser(need_restart);
  ASSERT_TRUE(browser.IsHeld());
  // German has no texts of its own: English.
  const auto updater =
      StartInteractive({"--current=1.5.0.1", "--pepper-version=1.0.0.0", "--langid=DE"});

  const auto prompt =
      WaitForWindow([](const WindowView& w) { return EndsWith(w.lines, kFlashPrompt); });
  ASSERT_TRUE(prompt);
  EXPECT_EQ(prompt->lines[2], "Your browser is already the latest version.");
  EXPECT_EQ(prompt->lines[3], "Current flash version is 1.0.0.0");
  ASSERT_TRUE(PressButton("Install"));
  const auto restart = WaitForWindow([](const WindowView& window) {
    return EndsWith(window.lines, "New flash player installed, restart now?");
  });
  ASSERT_TRUE(restart);
  EXPECT_EQ(ReadFileBytes(install_.updater_dir() + "/PepperFlash/plugin.so"), "plug-in 2.0");
  ASSERT_TRUE(restart->Button("Confirm"));
  EXPECT_TRUE(restart->Button("Confirm")->showing && restart->Button("Confirm")->enabled);
  EXPECT_FALSE(EventIsSet(need_restart));

  ASSERT_TRUE(PressButton("Confirm"));
  EXPECT_EQ(updater->Wait(), 0) << "Confirm closed the dialog";
  EXPECT_TRUE(EventIsSet(need_restart));
}

TEST_F(DialogE2eTest, EscapeAtThePlugInPromptStartsNothingAndEndsTheRun) {
  constexpr int kJapanese = 6;
  service_.Answer("/update.php", BrowserOffer("1.5.0.1", ""));
  OfferPlugIn(Installer());
  const auto updater =
      StartInteractive({"--current=1.5.0.1", "--pepper-version=1.0.0.0", "--langid=ja"});

  const std::string flash_prompt = DialogText(kTextFlashInstallPrompt, kJapanese);
  const auto prompt = WaitForWindow(
      [&flash_prompt](const WindowView& w) { return EndsWith(w.lines, flash_prompt); });
  ASSERT_TRUE(prompt);
  EXPECT_EQ(prompt->title, DialogText(kTextWindowTitle, kJapanese));
  EXPECT_EQ(prompt->rect.x, (DesktopSession::kScreenWidth - prompt->rect.width) / 2);
  // No file manager on the bus, and no handler for folders: nothing happens.
  ASSERT_TRUE(PressButton(DialogText(kTextOpenFolderButton, kJapanese)));
  ASSERT_TRUE(WaitForWindow(
      [&flash_prompt](const WindowView& w) { return EndsWith(w.lines, flash_prompt); }));

  test_support::ChildProcess focus("/usr/bin/xdotool",
                                   {"search", "--sync", "--onlyvisible", "--classname",
                                    "rivazeriduv_updater", "windowfocus", "--sync"});
  EXPECT_EQ(focus.Wait().code, 0);
  test_support::ChildProcess key("/usr/bin/xdotool", {"key", "Escape"});
  EXPECT_EQ(key.Wait().code, 0);
  // The user closed it while the flow waited: the run ends as stopped.
  EXPECT_EQ(updater->Wait(), 1);
  EXPECT_FALSE(Exists(install_.Path("arguments")));
  EXPECT_FALSE(Exists(install_.updater_dir() + "/PepperFlash_new"));
}

TEST_F(DialogE2eTest, AbortDuringASlowDownloadEndsTheRunAtOnce) {
  const std::string installer = Installer();
  service_.Handle(
      "/slow_setup.exe", [installer](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(installer.size() * 64, "application/octet-stream",
                                      [](size_t offset, size_t, httplib::DataSink& sink) {
                                        std::this_thread::sleep_for(std::chrono::milliseconds(100));
                                        const std::string chunk(4096, static_cast<char>(offset));
                                        return sink.write(chunk.data(), chunk.size());
                                      });
      });
  service_.Answer("/update.php", BrowserOffer("2.0.0.0", service_.Url("/slow_setup.exe")));
  const auto updater = StartInteractive({"--current=1.5.0.1"});

  ASSERT_TRUE(WaitForWindow([](const WindowView& window) {
    return !window.lines.empty() && window.lines.back().ends_with("% downloaded.");
  }));
  const auto pressed = std::chrono::steady_clock::now();
  ASSERT_TRUE(PressButton("Abort"));
  EXPECT_EQ(updater->Wait(), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - pressed, std::chrono::seconds(10));
  EXPECT_TRUE(ReadUpdaterWindows().empty());
  EXPECT_FALSE(Exists(install_.Path("arguments")));
}

// Once the installer or package runs, closing the dialog only takes the
// window away: the updater waits for the program and the swap, holding the
// mutexes the browser and a second updater look for, and ends with the
// installation's result.
TEST_F(DialogE2eTest, ClosingWhileTheInstallerRunsWaitsForItWithTheMutexesHeld) {
  E2E_REQUIRE_INSTALLER_RUNNER();
  const std::string under_upgrade = KernelObjectName(install_.browser_exe(), "_under_upgrade");
  const Hold hold{install_.Path("started"), install_.Path("release")};
  // Until the window goes: a key that comes before the window has the focus
  // is lost, and a focus change without a window manager may never be seen.
  const auto press_escape = [] {
    return WaitUntil([] {
      test_support::ChildProcess("/usr/bin/xdotool", {"search", "--onlyvisible", "--classname",
                                                      "rivazeriduv_updater", "windowfocus"})
          .Wait();
      test_support::ChildProcess("/usr/bin/xdotool", {"key", "Escape"}).Wait();
      return ReadUpdaterWindows().empty();
    });
  };
  // An installer closed with Abort, a portable package with Escape.
  for (const bool portable : {false, true}) {
    SCOPED_TRACE(portable ? "package" : "installer");
    std::filesystem::remove(hold.started_file);
    std::filesystem::remove(hold.release_file);
    OfferBrowser(MakeScriptedInstaller(
        portable ? PortablePackageScript(install_.Path("arguments"), StandardPackage(), &hold)
                 : BrowserInstallerScript(install_.Path("arguments"), 0, &hold)));
    const auto updater =
        StartInteractive(portable ? std::vector<std::string>{"--current=1.5.0.1", "--portable"}
                                  : std::vector<std::string>{"--current=1.5.0.1"});
    ASSERT_TRUE(WaitForWindow(
        [](const WindowView& window) { return EndsWith(window.lines, kBrowserPrompt); }));
    ASSERT_TRUE(PressButton("Install"));
    ASSERT_TRUE(WaitForPath(hold.started_file));
    ASSERT_TRUE(portable ? press_escape() : PressButton("Abort"));
    ASSERT_TRUE(WaitUntil([] { return ReadUpdaterWindows().empty(); }));
    // Well past the grace a run stopped before its installer gets.
    for (int i = 0; i < 20; ++i) {
      EXPECT_TRUE(KernelObjectExists(under_upgrade));
      EXPECT_TRUE(KernelObjectExists("Global\\rivazeriduv_updater_singleton"));
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    WriteFileBytes(hold.release_file, "");
    EXPECT_EQ(updater->Wait(), 0);
    EXPECT_FALSE(KernelObjectExists(under_upgrade));
    EXPECT_EQ(ReadFileBytes(install_.browser_exe()), portable ? "new browser" : "old browser");
  }
  EXPECT_EQ(service_.CountRequests("/update_pepper.php"), 0);
}

TEST_F(DialogE2eTest, ASecondUpdaterShowsTheBusyMessageAndExitsAfterOk) {
  const HeldEvent running_updater("Global\\rivazeriduv_updater_singleton",
                                  HeldEvent::Kind::kAcquiredMutex);
  ASSERT_TRUE(running_updater.IsHeld());
  const auto updater = StartInteractive({"--langid=ru"});

  const auto message = WaitForWindow(
      [](const WindowView& window) { return window.Button("OK") || window.Button("_OK"); });
  ASSERT_TRUE(message);
  EXPECT_EQ(message->title, "Проверить обновления");
  EXPECT_TRUE(Contains(message->lines, "Обновление уже запущено."));
  EXPECT_FALSE(KernelObjectExists("Global\\rivazeriduv_updater_continue_or_cancel_0"));
  EXPECT_EQ(ReadUpdaterWindows().size(), 1u) << "one message, no dialog";

  ASSERT_TRUE(PressButton(message->Button("OK") ? "OK" : "_OK"));
  EXPECT_EQ(updater->Wait(), 99);
}

// The toolkit comes from the module beside the updater. Missing or not a
// module, the run behaves as without a display: no dialog, no server asked,
// and a second updater ends without its busy message.
TEST_F(DialogE2eTest, WithoutItsToolkitModuleARunEndsAsWithoutADisplay) {
  for (const std::string module : {"", "not a shared object"}) {
    std::filesystem::remove(install_.toolkit_module());
    if (!module.empty()) WriteFileBytes(install_.toolkit_module(), module);
    EXPECT_EQ(StartInteractive({"--current=1.5.0.1"})->Wait(), 98);
  }
  EXPECT_TRUE(service_.requests().empty());

  const HeldEvent running_updater("Global\\rivazeriduv_updater_singleton",
                                  HeldEvent::Kind::kAcquiredMutex);
  ASSERT_TRUE(running_updater.IsHeld());
  EXPECT_EQ(StartInteractive({})->Wait(), 99);
  EXPECT_TRUE(ReadUpdaterWindows().empty());
}

}  // namespace
}  // namespace updater::e2e
