#include "tests/e2e/interactive_demo.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/demo_site.h"
#include "tests/e2e/dialog_reader.h"
#include "tests/e2e/e2e_harness.h"
#include "tests/e2e/wine_dialog.h"
#include "tests/e2e/wine_harness.h"
#include "tests/support/desktop_session.h"
#include "text/language.h"
#include "text/localized_text.h"

namespace updater::e2e {
namespace {

using test_support::DesktopSession;

constexpr char kUpdaterProgram[] = "rivazeriduv_updater";
constexpr char kWindowsUpdaterProgram[] = "rivazeriduv_updater.exe";
constexpr char kOfferedVersion[] = "2.0.0.0";
constexpr char kInstallerName[] = "brelix_setup_2.0.0.0.exe";
// Dialog template 108, in dialog units.
constexpr DialogRect kDialogClient = {0, 0, 320, 148};
constexpr DialogRect kOpenFolderButton = {10, 120, 80, 18};
constexpr DialogRect kConfirmButton = {180, 120, 60, 18};
constexpr DialogRect kAbortButton = {250, 120, 60, 18};

constexpr const char* kLanguageTags[kLanguageCount] = {"en", "zh-CN", "zh-TW", "ru",    "de",
                                                       "fr", "ja",    "pl",    "pt-BR", "el"};

// An installation of 1.5.0.1, and a loopback site offering browser 2.0.0.0.
struct InteractiveSetup {
  ScratchInstallation install{"1.5.0.1"};
  DemoSite site{
      "interactive",
      "127.0.0.1",
      {kOfferedVersion, kInstallerName,
       MakeScriptedInstaller(BrowserInstallerScript(install.Path("installer_arguments")))}};

  std::unique_ptr<UpdaterProcess> Start(const std::string& language_tag) const {
    Environment environment = DefaultEnvironment(install);
    for (const char* name : {"DISPLAY", "DBUS_SESSION_BUS_ADDRESS"})
      environment[name] = getenv(name);
    environment["HOME"] = install.root();
    environment["ASAN_OPTIONS"] = "detect_leaks=0";
    return std::make_unique<UpdaterProcess>(
        install,
        std::vector<std::string>{"--kr-check-update", "--current=1.5.0.1",
                                 "--langid=" + language_tag,
                                 "--real-exe-path=" + install.browser_exe()},
        environment);
  }
};

std::optional<WindowView> WaitForLastLine(const std::string& line) {
  return WaitForWindow([&line](const WindowView& window) {
    return !window.lines.empty() && window.lines.back() == line;
  });
}

void PrintLines(const WindowView& window) {
  std::cout << "  title: " << window.title << "\n";
  for (const std::string& line : window.lines) std::cout << "  | " << line << "\n";
  for (const ButtonView& button : window.buttons) {
    if (!button.showing) continue;
    std::cout << "  [" << button.label << "]" << (button.enabled ? "" : " (disabled)") << "\n";
  }
}

bool Problem(const std::string& text) {
  std::cerr << "update_demo: " << text << "\n";
  return false;
}

// Runs the updater in `language` to the install prompt and saves the dialog.
bool SaveAtPrompt(const DesktopSession& desktop,
                  const InteractiveSetup& setup,
                  int language,
                  const std::string& png_path) {
  const auto updater = setup.Start(kLanguageTags[language]);
  const auto prompt = WaitForLastLine(DialogText(kTextBrowserInstallPrompt, language));
  if (!prompt) return Problem("no install prompt in " + std::string(kLanguageTags[language]));
  const bool saved = desktop.SaveWindow(png_path, kUpdaterProgram);
  PressButton(DialogText(kTextAbortButton, language));
  updater->Wait();
  return saved || Problem("could not save " + png_path);
}

// The same offer for the Windows updater under wine, on a desktop of its own.
struct Win32InteractiveSetup {
  const DesktopSession desktop{/*window_manager=*/true};
  WindowsInstallation install{"1.5.0.1"};
  DemoSite site{"win32_interactive",
                "localhost",
                {kOfferedVersion, kInstallerName,
                 MakeWindowsInstaller(WindowsInstallerRun(install.Path("installer_arguments")))}};

  Win32InteractiveSetup() {
    EndWineSession();  // a session begun elsewhere keeps its own display
  }
  ~Win32InteractiveSetup() { EndWineSession(); }

  test_support::ChildProcess Start(int language) const {
    return StartWindowsUpdater(install, {"--kr-check-update", "--current=1.5.0.1",
                                         std::string("--langid=") + kLanguageTags[language],
                                         "--real-exe-path=" + install.WindowsBrowserExe()});
  }
  // The dialog in `language` once it asks; Open folder appears with the prompt.
  std::optional<WineWindow> WaitForPrompt(int language) const {
    const auto window = WineWindow::Find(DialogText(kTextWindowTitle, language), kDialogClient);
    if (!window || !WaitUntil([&] { return window->Shows(kOpenFolderButton); }))
      return std::nullopt;
    return window;
  }
  bool Save(const std::string& png_path) const {
    return desktop.SaveWindow(png_path, kWindowsUpdaterProgram) ||
           Problem("could not save " + png_path);
  }
};

bool SaveWin32AtPrompt(const Win32InteractiveSetup& setup,
                       int language,
                       const std::string& png_path) {
  test_support::ChildProcess updater = setup.Start(language);
  const auto window = setup.WaitForPrompt(language);
  if (!window) return Problem("no Win32 prompt in " + std::string(kLanguageTags[language]));
  const bool saved = setup.Save(png_path);
  window->ClickUntilEnded(kAbortButton, updater);
  return saved;
}

// The setup, with `shots_dir` made; null (after saying why) when the Windows
// programs or the virtual display are missing.
std::unique_ptr<Win32InteractiveSetup> OpenWin32Setup(const std::string& shots_dir) {
  if (const std::string reason = WindowsBuildUnavailableReason(); !reason.empty()) {
    Problem(reason);
    return nullptr;
  }
  std::filesystem::create_directories(shots_dir);
  auto setup = std::make_unique<Win32InteractiveSetup>();
  for (const std::string& failure : {setup->desktop.failure(), setup->site.failure()}) {
    if (!failure.empty()) {
      Problem(failure);
      return nullptr;
    }
  }
  return setup;
}

}  // namespace

int RunInteractiveDemo(const std::string& shots_dir) {
  std::filesystem::create_directories(shots_dir);
  const DesktopSession desktop(/*window_manager=*/true);
  if (!desktop.failure().empty()) return Problem(desktop.failure()), 1;
  const InteractiveSetup setup;
  if (!setup.site.failure().empty()) return Problem(setup.site.failure()), 1;
  std::cout << "\n=== Interactive run: rivazeriduv_updater --kr-check-update --current=1.5.0.1 "
               "--real-exe-path=... (virtual display "
            << getenv("DISPLAY") << ") ===\n"
            << "served by nginx: " << setup.site.configuration() << "\n";
  const auto updater = setup.Start("en");
  const auto prompt = WaitForLastLine(DialogText(kTextBrowserInstallPrompt, 0));
  if (!prompt) return Problem("the dialog never asked"), 1;
  std::cout << "the dialog asks (read through the accessibility interface):\n";
  PrintLines(*prompt);
  desktop.SaveWindow(shots_dir + "/at_prompt.png", kUpdaterProgram);

  std::cout << "pressing Install\n";
  PressButton(DialogText(kTextInstallButton, 0));
  const auto done = WaitForLastLine(DialogText(kTextBrowserInstalled, 0));
  if (!done) return Problem("the installation did not finish"), 1;
  PrintLines(*done);
  desktop.SaveWindow(shots_dir + "/at_end.png", kUpdaterProgram);
  std::cout << "the installer was started with (one per line):\n"
            << ReadFileBytes(setup.install.Path("installer_arguments"));
  PressButton(DialogText(kTextAbortButton, 0));
  const int exit_code = updater->Wait();
  std::cout << "closed by the user; exit code " << exit_code << "\n"
            << "screenshots: " << std::filesystem::absolute(shots_dir).string()
            << "/at_prompt.png, at_end.png\n";
  return exit_code;
}

int SaveDialogScreenshots(const std::string& shots_dir) {
  std::filesystem::create_directories(shots_dir);
  const DesktopSession desktop(/*window_manager=*/true);
  if (!desktop.failure().empty()) return Problem(desktop.failure()), 1;
  const InteractiveSetup setup;
  if (!setup.site.failure().empty()) return Problem(setup.site.failure()), 1;
  int saved = 0;
  for (int language = 0; language < kLanguageCount; ++language) {
    const std::string path =
        shots_dir + "/" + std::to_string(language) + "_" + kLanguageTags[language] + ".png";
    if (SaveAtPrompt(desktop, setup, language, path)) {
      std::cout << std::filesystem::absolute(path).string() << "\n";
      ++saved;
    }
  }
  return saved == kLanguageCount ? 0 : 1;
}

int RunWin32InteractiveDemo(const std::string& shots_dir) {
  const std::unique_ptr<Win32InteractiveSetup> opened = OpenWin32Setup(shots_dir);
  if (!opened) return 1;
  const Win32InteractiveSetup& setup = *opened;
  std::cout << "\n=== Interactive run under wine: rivazeriduv_updater.exe --kr-check-update "
               "--current=1.5.0.1 --real-exe-path=Z:\\... (virtual display "
            << getenv("DISPLAY") << ") ===\n"
            << "served by nginx: " << setup.site.configuration() << "\n";
  test_support::ChildProcess updater = setup.Start(0);
  const auto window = setup.WaitForPrompt(0);
  if (!window) return Problem("the Win32 dialog never asked"), 1;
  setup.Save(shots_dir + "/at_prompt.png");
  std::cout << "the dialog asks; pressing Install\n";
  const std::string arguments = setup.install.Path("installer_arguments");
  if (!window->ClickUntil(kConfirmButton, [&] { return Exists(arguments); }))
    return Problem("the installer did not run"), 1;
  std::cout << "the installer was started with (the command line, then one argument a line):\n"
            << ReadFileBytes(arguments);
  // The result line follows the installer's end.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  setup.Save(shots_dir + "/at_end.png");
  const int exit_code = window->ClickUntilEnded(kAbortButton, updater);
  std::cout << "closed by the user; exit code " << exit_code << "\n"
            << "screenshots: " << std::filesystem::absolute(shots_dir).string()
            << "/at_prompt.png, at_end.png\n";
  return exit_code;
}

int SaveWin32DialogScreenshots(const std::string& shots_dir) {
  const std::unique_ptr<Win32InteractiveSetup> opened = OpenWin32Setup(shots_dir);
  if (!opened) return 1;
  const Win32InteractiveSetup& setup = *opened;
  int saved = 0;
  for (int language = 0; language < kLanguageCount; ++language) {
    const std::string path =
        shots_dir + "/" + std::to_string(language) + "_" + kLanguageTags[language] + ".png";
    if (SaveWin32AtPrompt(setup, language, path)) {
      std::cout << std::filesystem::absolute(path).string() << "\n";
      ++saved;
    }
  }
  return saved == kLanguageCount ? 0 : 1;
}

}  // namespace updater::e2e
