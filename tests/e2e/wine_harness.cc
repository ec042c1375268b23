#include "tests/e2e/wine_harness.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <stdexcept>
#include <utility>

namespace updater::e2e {
namespace {

namespace fs = std::filesystem;
using test_support::ChildOptions;
using test_support::ChildProcess;
using test_support::ExitStatus;

constexpr char kWindowsBuildDir[] = UPDATER_WINDOWS_BUILD_DIR;
constexpr char kWineRun[] = UPDATER_WINE_RUN;
constexpr char kInstructionsMarker[] = "\n#rz-test-installer-instructions\n";
// A face, and the "file,face" that wine links to it.
constexpr std::pair<const char*, const char*> kDialogFontLinks[] = {
    {"Tahoma", "NotoSansCJK-Regular.ttc,Noto Sans CJK JP"},
    {"Noto Sans CJK JP", "NotoSans-Regular.ttf,Noto Sans"}};

std::string WindowsProgram(const std::string& relative) {
  return std::string(kWindowsBuildDir) + "/" + relative;
}

// A Windows program under wine in the Windows build's prefix.
ToolCommand UnderWine(const std::string& program) {
  return {"/usr/bin/env", std::string("UPDATER_WINE_BUILD_DIR=") + kWindowsBuildDir, kWineRun,
          program};
}

// A Windows program under wine, its standard streams on /dev/null.
ChildProcess StartUnderWine(const std::string& program, const std::vector<std::string>& arguments) {
  ToolCommand command = UnderWine(program);
  command.insert(command.end(), arguments.begin(), arguments.end());
  ChildOptions options;
  options.pipes = false;
  return ChildProcess(command[0], {command.begin() + 1, command.end()}, options);
}

// The dialog font's substitute (Tahoma) is not installed: wine takes the
// font linked to its name in its place (Noto Sans CJK, for Chinese and
// Japanese), and what that font lacks (Polish and Greek letters) from the
// font linked to the name of the font itself. A link is followed from the
// face actually drawn, never from the second entry of a missing face's list.
bool LinkDialogFont() {
  for (const auto& [face, linked] : kDialogFontLinks) {
    ToolCommand command = UnderWine("reg");
    command.insert(
        command.end(),
        {"add", R"(HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink)", "/v",
         face, "/t", "REG_MULTI_SZ", "/d", linked, "/f"});
    if (RunTool(command) != 0) return false;
  }
  return true;
}

// The prefix keeps them across runs; adding them again changes nothing.
void PreparePrefix() {
  static const bool prepared = [] {
    for (const char* root : {"tls_ca.pem", "signing_root.pem"}) {
      ToolCommand command = UnderWine(WindowsProgram("tests/http/trust_root.exe"));
      command.push_back(WindowsPath(PkiFile(root)));
      if (RunTool(command) != 0) return false;
    }
    return LinkDialogFont();
  }();
  if (!prepared) throw std::runtime_error("could not prepare the wine prefix (test roots, fonts)");
}

std::string PrefixUserName() {
  const passwd* user = getpwuid(geteuid());
  return user != nullptr ? user->pw_name : "root";
}

std::string Field(const std::string& text) {
  if (text.find_first_of("\t\n") != std::string::npos)
    throw std::invalid_argument("instruction field with a tab or line end: " + text);
  return text;
}

std::string Instruction(std::initializer_list<std::string> fields) {
  std::string line;
  for (const std::string& field : fields) line += (line.empty() ? "" : "\t") + Field(field);
  return line;
}

std::vector<std::string> HoldInstructions(const Hold* hold) {
  if (hold == nullptr) return {};
  return {Instruction({"hold", WindowsPath(hold->started_file), WindowsPath(hold->release_file)})};
}

// The test installer with `instructions` appended, as it goes to be signed.
std::string InstallerImage(const std::vector<std::string>& instructions) {
  std::string image = ReadFileBytes(WindowsProgram("tests/e2e/test_installer.exe"));
  image += kInstructionsMarker;
  for (const std::string& line : instructions) image += line + "\n";
  return image + "end\n";
}

uint32_t ReadLittleEndian32(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 4; i-- > 0;)
    value = (value << 8) | static_cast<unsigned char>(bytes.at(offset + i));
  return value;
}

}  // namespace

std::string WindowsBuildUnavailableReason() {
  if (kWindowsBuildDir[0] == '\0')
    return "UPDATER_WINDOWS_BUILD_DIR is empty: no Windows programs to run under wine";
  for (const char* program :
       {"tests/e2e/updater/rivazeriduv_updater.exe", "tests/e2e/test_installer.exe",
        "tools/kernel_object_tool.exe", "tests/kernel_objects/wait_only_event.exe",
        "tests/http/trust_root.exe", "tests/e2e/font_coverage.exe"}) {
    if (!fs::exists(WindowsProgram(program)))
      return WindowsProgram(program) + " is missing: build the Windows tree first";
  }
  return "";
}

std::string WindowsPath(const std::string& linux_path) {
  std::string path = "Z:" + linux_path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string WindowsServiceUrl(const std::string& path) {
  return "https://localhost:" + std::to_string(kPrimaryPort) + path;
}

WindowsInstallation::WindowsInstallation(const std::string& updater_version,
                                         const std::string& install_dir_name)
    : ScratchInstallation(updater_version,
                          WindowsProgram("tests/e2e/updater/rivazeriduv_updater.exe"),
                          install_dir_name) {
  PreparePrefix();
  std::error_code ignored;
  for (const fs::directory_entry& entry : fs::directory_iterator(TempDir(), ignored))
    fs::remove_all(entry.path(), ignored);
}

std::string WindowsInstallation::TempDir() const {
  return std::string(kWindowsBuildDir) + "/wineprefix/drive_c/users/" + PrefixUserName() + "/Temp";
}

std::string WindowsInstallation::WindowsTempDir() const {
  return "C:\\users\\" + PrefixUserName() + "\\Temp";
}

ChildProcess StartWindowsUpdater(const WindowsInstallation& installation,
                                 const std::vector<std::string>& arguments) {
  return StartUnderWine(installation.updater(), arguments);
}

int RunWindowsUpdater(const WindowsInstallation& installation,
                      const std::vector<std::string>& arguments) {
  const ExitStatus status = StartWindowsUpdater(installation, arguments).Wait();
  return status.exited ? status.code : -1;
}

// A program that was still starting when its server went starts a session of
// its own: that one is ended too, until no server answers.
void EndWineSession() {
  constexpr int kMostSessions = 10;
  const std::string prefix = std::string("WINEPREFIX=") + kWindowsBuildDir + "/wineprefix";
  for (int ended = 0;
       ended < kMostSessions && RunTool({"/usr/bin/env", prefix, "wineserver", "-k"}) == 0;
       ++ended) {
    RunTool({"/usr/bin/env", prefix, "wineserver", "-w"});
  }
}

namespace {

ChildProcess StartLockHolder(const std::string& work, const std::string& path, const Hold& hold) {
  const std::string program = work + "/lock_holder.exe";
  WriteFileBytes(program, InstallerImage({Instruction({"lock", WindowsPath(path)}),
                                          HoldInstructions(&hold).front()}));
  return StartUnderWine(program, {});
}

}  // namespace

WineFileLock::WineFileLock(const std::string& path)
    : work_(test_support::MakeScratchDirectory("rz-wine-lock-")),
      hold_{work_ + "/locked", work_ + "/release"},
      holder_(StartLockHolder(work_, path, hold_)) {
  held_ = WaitForPath(hold_.started_file);
}

WineFileLock::~WineFileLock() {
  WriteFileBytes(hold_.release_file, "");
  holder_.Wait();
  std::error_code ignored;
  fs::remove_all(work_, ignored);
}

std::vector<std::string> DialogFontGaps(const std::string& text) {
  PreparePrefix();
  const std::string work = test_support::MakeScratchDirectory("rz-wine-font-");
  WriteFileBytes(work + "/text", text);
  ToolCommand command = UnderWine(WindowsProgram("tests/e2e/font_coverage.exe"));
  command.push_back(WindowsPath(work + "/text"));
  ChildProcess probe(command[0], {command.begin() + 1, command.end()});
  std::vector<std::string> lines;
  for (std::string line = probe.ReadLine(); !line.empty(); line = probe.ReadLine())
    lines.push_back(line);
  probe.Wait();
  fs::remove_all(work);
  return lines;
}

ToolCommand WineKernelObjectTool() {
  return UnderWine(WindowsProgram("tools/kernel_object_tool.exe"));
}

ToolCommand WineWaitOnlyEventTool() {
  return UnderWine(WindowsProgram("tests/kernel_objects/wait_only_event.exe"));
}

std::string WindowsKernelObjectName(const std::string& windows_path, const std::string& suffix) {
  return KernelObjectName(windows_path, suffix, '\\');
}

std::string MakeWindowsInstaller(const std::vector<std::string>& instructions, Signer signer) {
  const std::string work = test_support::MakeScratchDirectory("rz-e2e-windows-installer-");
  const std::string image = work + "/installer.exe";
  WriteFileBytes(image, InstallerImage(instructions));
  std::string result = SignedImage(image, signer);
  fs::remove_all(work);
  return result;
}

std::vector<std::string> WindowsInstallerRun(const std::string& arguments_file,
                                             int exit_code,
                                             const Hold* hold) {
  std::vector<std::string> instructions = {Instruction({"record", WindowsPath(arguments_file)})};
  for (const std::string& line : HoldInstructions(hold)) instructions.push_back(line);
  instructions.push_back(Instruction({"exit", std::to_string(exit_code)}));
  return instructions;
}

std::vector<std::string> WindowsPackageRun(const std::string& arguments_file,
                                           const std::vector<PackageEntry>& entries,
                                           const Hold* hold) {
  std::vector<std::string> instructions = {Instruction({"record", WindowsPath(arguments_file)}),
                                           "extract"};
  for (const PackageEntry& entry : entries) {
    if (entry.kind == PackageEntry::kFifo)
      throw std::invalid_argument("Windows packages hold no FIFOs");
    instructions.push_back(entry.kind == PackageEntry::kDirectory
                               ? Instruction({"dir", entry.path})
                               : Instruction({"file", entry.path, entry.content}));
  }
  for (const std::string& line : HoldInstructions(hold)) instructions.push_back(line);
  instructions.push_back(Instruction({"exit", "0"}));
  return instructions;
}

std::string TamperedWindowsInstaller(std::string installer) {
  // The first byte of the first section's data: e_lfanew, then the section
  // table after the 24-byte file header and the optional header.
  const uint32_t pe = ReadLittleEndian32(installer, 0x3c);
  const uint32_t optional_size = ReadLittleEndian32(installer, pe + 20) & 0xffff;
  const uint32_t first_section = pe + 24 + optional_size;
  const uint32_t data = ReadLittleEndian32(installer, first_section + 20);
  installer.at(data) ^= 0x20;
  return installer;
}

}  // namespace updater::e2e
