// Shows one portable update from end to end: a loopback update service
// offers a signed portable package and a signed plug-in installer, the real
// updater (built for that service) runs silently in a scratch installation,
// and the demo prints what the service was asked, the exit code, the log and
// the installation before and after. A second run, with the browser now up
// to date, lets the plug-in flow run. Then an interactive run on a virtual
// display, with screenshots of its dialog; "update_demo screenshots DIR"
// saves the dialog at the install prompt in every language instead.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tests/e2e/e2e_harness.h"
#include "tests/e2e/interactive_demo.h"

namespace updater::e2e {
namespace {

constexpr char kNewVersion[] = "2.0.0.0";
constexpr char kPackagePath[] = "/files/brelix_portable_2.0.0.0.exe";
constexpr char kPluginPath[] = "/files/pepper_flash_2.0.0.0.exe";

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

int RunAndShow(const ScratchInstallation& install,
               const UpdateService& service,
               size_t requests_before,
               const std::vector<std::string>& arguments) {
  Section("Run: " + CommandText(arguments));
  const int exit_code = RunUpdater(install, arguments);
  std::cout << "exit code " << exit_code << " (" << Describe(exit_code) << ")\n";
  std::cout << "requests the service got:\n";
  const auto requests = service.requests();
  for (size_t i = requests_before; i < requests.size(); ++i) {
    std::cout << "  " << requests[i].method << " " << requests[i].target
              << "   [Accept: " << requests[i].Header("Accept")
              << ", User-Agent: " << requests[i].Header("User-Agent") << "]\n";
  }
  Section("Installation after");
  PrintTree(install.install_dir());
  return exit_code;
}

int Demo() {
  if (const std::string reason = InstallerRunnerUnavailableReason(); !reason.empty()) {
    std::cerr << "update_demo: " << reason << "\n";
    return 1;
  }
  UpdateService service;
  if (!service.IsUp()) {
    std::cerr << "update_demo: ports " << kPrimaryPort << " and " << kMirrorPort
              << " must be free\n";
    return 1;
  }
  ScratchInstallation install("1.0.0.0");
  WriteFileBytes(install.Path("install/resources.pak"), "resources 1.0");
  WriteFileBytes(install.Path("install/0.9.0.0/old_part.dll"), "left by 0.9");
  WriteFileBytes(install.updater_dir() + "/PepperFlash/pepflashplayer.so", "plug-in 1.0");

  std::vector<PackageEntry> package = StandardPackage("browser 2.0");
  package[1].content = "resources 2.0";
  service.Answer(
      "/update.php",
      BrowserOffer(kNewVersion,
                   service.Serve(kPackagePath, MakeScriptedInstaller(PortablePackageScript(
                                                   install.Path("package_arguments"), package)))));
  ServiceAnswer plugin_offer;
  plugin_offer.headers = {
      {"Kora-Flash-Version", kNewVersion},
      {"Kora-Flash-Location",
       service.Serve(kPluginPath, MakeScriptedInstaller(PluginInstallerScript()))}};
  service.Answer("/update_pepper.php", plugin_offer);

  Section("Update service");
  std::cout << "  primary https://127.0.0.1:" << kPrimaryPort << "/update.php offers browser "
            << kNewVersion << " at " << service.Url(kPackagePath) << "\n"
            << "  mirror  http://127.0.0.1:" << kMirrorPort << " answers the same\n"
            << "  both offer plug-in " << kNewVersion << " at " << service.Url(kPluginPath) << "\n";
  Section("Installation before (" + install.install_dir() + ")");
  PrintTree(install.install_dir());

  const std::string real_exe = "--real-exe-path=" + install.browser_exe();
  const int first =
      RunAndShow(install, service, 0,
                 {real_exe, "--current=1.0.0.0", "--portable", "--pepper-version=1.0.0.0"});
  std::cout << "the package was started with (one per line):\n"
            << ReadFileBytes(install.Path("package_arguments"));
  Section("debug.log");
  std::cout << install.ReadLog() << "(a successful run logs nothing)\n";

  const int second =
      RunAndShow(install, service, service.requests().size(),
                 {real_exe, "--current=2.0.0.0", "--portable", "--pepper-version=1.0.0.0"});
  return first == 0 && second == 0 ? 0 : 1;
}

}  // namespace
}  // namespace updater::e2e

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  try {
    if (arguments.size() == 2 && arguments[0] == "screenshots") {
      return updater::e2e::SaveDialogScreenshots(arguments[1]);
    }
    const int silent = updater::e2e::Demo();
    const int interactive = updater::e2e::RunInteractiveDemo(
        arguments.size() == 1 ? arguments[0] : std::string("demo_screenshots"));
    return silent == 0 && interactive == 0 ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << "update_demo: " << error.what() << "\n";
    return 1;
  }
}
