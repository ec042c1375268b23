// Shows one portable update from end to end: a loopback update site (nginx,
// configured by tools/update-site) offers a signed portable package and a
// signed plug-in installer, the real updater (built for that site) runs
// silently in a scratch installation, and the demo prints where the site's
// configuration is, what the site was asked, the exit code, the log and
// the installation before and after. A second run, with the browser now up
// to date, lets the plug-in flow run. Then an interactive run on a virtual
// display, with screenshots of its dialog; "update_demo screenshots DIR"
// saves the dialog at the install prompt in every language instead, the GTK
// one in DIR/gtk and the Win32 one under wine in DIR/win32, and
// "update_demo windows DIR" runs the two updates and the interactive one with
// the Windows updater under wine and Windows installers.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/demo_site.h"
#include "tests/e2e/e2e_harness.h"
#include "tests/e2e/interactive_demo.h"
#include "tests/e2e/wine_harness.h"

namespace updater::e2e {
namespace {

constexpr char kNewVersion[] = "2.0.0.0";
constexpr char kPackageName[] = "brelix_portable_2.0.0.0.exe";
constexpr char kPluginName[] = "pepper_flash_2.0.0.0.exe";

std::string Describe(int exit_code) {
  switch (exit_code) {
    case 0:
      return "installed";
    case 4:
      return "nothing to install";
    case 99:
      return "another updater is running";
    case -1:
      return "did not end in time";
    default:
      return "failed";
  }
}

void Section(const std::string& title) {
  std::cout << "\n=== " << title << " ===\n";
}

// Small files are shown with their text, others by their size.
void PrintTree(const std::string& dir) {
  namespace fs = std::filesystem;
  std::vector<std::string> lines;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    std::string line = fs::relative(entry.path(), dir).string();
    if (entry.is_directory()) {
      line += "/";
    } else {
      const std::string bytes = ReadFileBytes(entry.path());
      line += bytes.size() <= 40 ? "  \"" + bytes + "\""
                                 : "  (" + std::to_string(bytes.size()) + " bytes)";
    }
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  for (const std::string& line : lines) std::cout << "  " << line << "\n";
}

std::string CommandText(const std::vector<std::string>& arguments) {
  std::string text = "rivazeriduv_updater";
  for (const std::string& argument : arguments) text += " " + argument;
  return text;
}

// The plug-in installer unpacks a new plug-in into the directory that
// follows -d in quotation marks.
std::string PluginInstallerScript() {
  return "# plug-in installer\n"
         "dir=${2#-d\\\"}; dir=${dir%\\\"}\n"
         "[ \"$1\" = -s ] && [ \"$2\" = \"-d\\\"$dir\\\"\" ] || exit 3\n"
         "mkdir -p \"$dir\" && printf 'plug-in 2.0' >\"$dir/pepflashplayer.so\"\n";
}

// What differs between the Linux updater and the Windows one under wine.
class DemoPlatform {
 public:
  virtual ~DemoPlatform() = default;
  virtual const ScratchInstallation& install() const = 0;
  virtual std::string PluginFile() const = 0;
  // How the updater's build names the loopback sites.
  virtual std::string SiteHost() const = 0;
  virtual std::string PackageInstaller(const std::vector<PackageEntry>& package) const = 0;
  virtual std::string PluginInstaller() const = 0;
  virtual std::string RealExePath() const = 0;
  virtual int Run(const std::vector<std::string>& arguments) const = 0;
};

class LinuxDemo : public DemoPlatform {
 public:
  const ScratchInstallation& install() const override { return install_; }
  std::string PluginFile() const override { return "pepflashplayer.so"; }
  std::string SiteHost() const override { return "127.0.0.1"; }
  std::string PackageInstaller(const std::vector<PackageEntry>& package) const override {
    return MakeScriptedInstaller(
        PortablePackageScript(install_.Path("package_arguments"), package));
  }
  std::string PluginInstaller() const override {
    return MakeScriptedInstaller(PluginInstallerScript());
  }
  std::string RealExePath() const override { return install_.browser_exe(); }
  int Run(const std::vector<std::string>& arguments) const override {
    return RunUpdater(install_, arguments);
  }

 private:
  ScratchInstallation install_{"1.0.0.0"};
};

class WindowsDemo : public DemoPlatform {
 public:
  const ScratchInstallation& install() const override { return install_; }
  std::string PluginFile() const override { return "pepflashplayer.dll"; }
  std::string SiteHost() const override { return "localhost"; }
  std::string PackageInstaller(const std::vector<PackageEntry>& package) const override {
    return MakeWindowsInstaller(WindowsPackageRun(install_.Path("package_arguments"), package));
  }
  std::string PluginInstaller() const override {
    return MakeWindowsInstaller(
        WindowsPackageRun(install_.Path("plugin_arguments"), {{PluginFile(), "plug-in 2.0"}}));
  }
  std::string RealExePath() const override { return install_.WindowsBrowserExe(); }
  int Run(const std::vector<std::string>& arguments) const override {
    return RunWindowsUpdater(install_, arguments);
  }

 private:
  WindowsInstallation install_{"1.0.0.0"};
};

int RunAndShow(const DemoPlatform& platform,
               const DemoSite& site,
               size_t requests_before,
               const std::vector<std::string>& arguments) {
  Section("Run: " + CommandText(arguments));
  const int exit_code = platform.Run(arguments);
  std::cout << "exit code " << exit_code << " (" << Describe(exit_code) << ")\n";
  std::cout << "requests the service got (from nginx's access log):\n";
  const std::vector<std::string> requests = site.requests();
  for (size_t i = requests_before; i < requests.size(); ++i)
    std::cout << "  " << requests[i] << "\n";
  Section("Installation after");
  PrintTree(platform.install().install_dir());
  return exit_code;
}

std::string UnavailableReason(bool windows) {
  return windows ? WindowsBuildUnavailableReason() : InstallerRunnerUnavailableReason();
}

int Demo(bool windows) {
  if (const std::string reason = UnavailableReason(windows); !reason.empty()) {
    std::cerr << "update_demo: " << reason << "\n";
    return 1;
  }
  const std::unique_ptr<DemoPlatform> platform =
      windows ? std::unique_ptr<DemoPlatform>(std::make_unique<WindowsDemo>())
              : std::make_unique<LinuxDemo>();
  const ScratchInstallation& install = platform->install();
  WriteFileBytes(install.Path("install/resources.pak"), "resources 1.0");
  WriteFileBytes(install.Path("install/0.9.0.0/old_part.dll"), "left by 0.9");
  WriteFileBytes(install.updater_dir() + "/PepperFlash/" + platform->PluginFile(), "plug-in 1.0");

  std::vector<PackageEntry> package = StandardPackage("browser 2.0");
  package[1].content = "resources 2.0";
  const DemoSite site(windows ? "windows" : "linux", platform->SiteHost(),
                      {kNewVersion, kPackageName, platform->PackageInstaller(package)},
                      {kNewVersion, kPluginName, platform->PluginInstaller()});
  if (!site.failure().empty()) {
    std::cerr << "update_demo: " << site.failure() << "\n";
    return 1;
  }

  Section(windows ? "Update service: nginx (the Windows updater runs under wine)"
                  : "Update service: nginx");
  std::cout << "  site configuration: " << site.configuration() << " (written by "
            << "tools/update-site from " << site.description() << ")\n"
            << "  primary https on port " << kPrimaryPort << ": /update.php offers browser "
            << kNewVersion << " at " << site.Url(kPackageName) << "\n"
            << "  mirror  http on port " << kMirrorPort << " answers the same from its own "
            << "/files/\n"
            << "  /update_pepper.php offers plug-in " << kNewVersion << " at "
            << site.Url(kPluginName) << "\n";
  Section("Installation before (" + install.install_dir() + ")");
  PrintTree(install.install_dir());

  const std::string real_exe = "--real-exe-path=" + platform->RealExePath();
  const int first =
      RunAndShow(*platform, site, 0,
                 {real_exe, "--current=1.0.0.0", "--portable", "--pepper-version=1.0.0.0"});
  std::cout << "the package was started with (one per line"
            << (windows ? ", the whole command line first" : "") << "):\n"
            << ReadFileBytes(install.Path("package_arguments"));
  Section("debug.log");
  std::cout << install.ReadLog() << "(a successful run logs nothing)\n";

  const int second =
      RunAndShow(*platform, site, site.requests().size(),
                 {real_exe, "--current=2.0.0.0", "--portable", "--pepper-version=1.0.0.0"});
  return first == 0 && second == 0 ? 0 : 1;
}

}  // namespace
}  // namespace updater::e2e

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  try {
    if (arguments.size() == 2 && arguments[0] == "screenshots") {
      const int gtk = updater::e2e::SaveDialogScreenshots(arguments[1] + "/gtk");
      const int win32 = updater::e2e::SaveWin32DialogScreenshots(arguments[1] + "/win32");
      return gtk == 0 && win32 == 0 ? 0 : 1;
    }
    if (arguments.size() == 2 && arguments[0] == "windows") {
      const int silent = updater::e2e::Demo(true);
      const int interactive = updater::e2e::RunWin32InteractiveDemo(arguments[1]);
      return silent == 0 && interactive == 0 ? 0 : 1;
    }
    const int silent = updater::e2e::Demo(false);
    const int interactive = updater::e2e::RunInteractiveDemo(
        arguments.size() == 1 ? arguments[0] : std::string("demo_screenshots"));
    return silent == 0 && interactive == 0 ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << "update_demo: " << error.what() << "\n";
    return 1;
  }
}
