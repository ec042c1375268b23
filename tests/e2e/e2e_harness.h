#ifndef TESTS_E2E_E2E_HARNESS_H_
#define TESTS_E2E_E2E_HARNESS_H_

// Runs the real updater executable against a loopback update service, in a
// scratch installation of its own, for the end-to-end tests and the demo.
//
// The executable was built for this harness: its primary server set is
// https://127.0.0.1:kPrimaryPort (certificate from the build's key material),
// its mirror http://127.0.0.1:kMirrorPort, and it trusts installers signed
// by the build's signing key. The served installers are scripted PE images
// that the kernel runs through binfmt_misc (CTest registers the runner as a
// fixture); tests that need one to run call E2E_REQUIRE_INSTALLER_RUNNER().
//
// The updater's single-instance mutex and the ports are machine-wide, so
// these tests run one at a time.

#include <unistd.h>  // geteuid, for E2E_REQUIRE_INSTALLER_RUNNER

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/recorded_request.h"
#include "tests/support/scratch_installation.h"
#include "tests/support/test_files.h"

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace updater::e2e {

extern const int kPrimaryPort;  // HTTPS, the primary server set
extern const int kMirrorPort;   // HTTP, the mirror server set
// `name` in the build's key material: TLS keys, signing roots and publishers.
std::string PkiFile(const std::string& name);

// ---------------------------------------------------------------------------
// What the suites update, on Linux and under wine alike.

inline constexpr char kCurrentVersion[] = "55.0.2883.87";  // the installed browser
inline constexpr char kOfferedVersion[] = "56.0.0.1";      // the browser the service offers
inline constexpr char kPepperVersion[] = "20.0.0.286";     // the installed plug-in
inline constexpr char kOfferedPepperVersion[] = "20.0.0.306";
inline constexpr char kInstallerPath[] = "/files/setup.exe";  // the browser installer's
inline constexpr char kFlashInstallerPath[] = "/f/flash_setup.exe";
// Where the portable package is extracted, in the temporary directory.
inline constexpr char kExtractDirName[] = "KR_63DA7_PORTABLE.tmp";

// The query targets for those versions, then `rest`.
inline std::string BrowserQuery(const std::string& rest = "") {
  return std::string("/update.php?switches&current=") + kCurrentVersion + rest;
}
inline std::string FlashQuery(const std::string& rest = "") {
  return std::string("/update_pepper.php?switches&pepper-version=") + kPepperVersion + rest;
}
// The browser's arguments as it starts the updater silently for the browser
// at `real_exe_path`, installed or portable.
inline std::vector<std::string> InstalledBrowserArguments(const std::string& real_exe_path,
                                                          const std::string& langid = "ru") {
  return {std::string("--current=") + kCurrentVersion, "--langid=" + langid,
          "--real-exe-path=" + real_exe_path};
}
inline std::vector<std::string> PortableBrowserArguments(const std::string& real_exe_path) {
  return {std::string("--current=") + kCurrentVersion, "--langid=ru", "--portable",
          "--real-exe-path=" + real_exe_path};
}

// ---------------------------------------------------------------------------
// Files.

using test_support::ReadFileBytes;
using test_support::WriteFileBytes;
// One line per entry below `dir`, sorted, relative to it: "name/" for a
// directory, "name -> target" for a link, "name <mode> <size> <hash>" for
// anything else. Equal listings mean equal trees.
std::vector<std::string> ListTree(const std::string& dir);
// The file's lines without their ends; a last line without an end is left out.
std::vector<std::string> ReadLines(const std::string& path);
// The names directly inside `dir`, sorted.
std::vector<std::string> ListNames(const std::string& dir);
bool Exists(const std::string& path);  // without following a final link
// Runs `command` (the program, then its arguments) with its standard streams
// on /dev/null: its exit code, or -1 after a signal or the time-out.
int RunTool(const std::vector<std::string>& command);
// Single-quoted for /bin/sh.
std::string ShellQuote(const std::string& text);

// ---------------------------------------------------------------------------
// Installers: scripted PE images, signed or not.

enum class Signer {
  kTrusted,   // the publisher the e2e build trusts
  kStranger,  // a valid signature under a root nobody trusts
  kAnyUse,    // under the trusted root, a leaf that names no code signing
  kUnsigned,
};

// The PE image in `image_file` as `signer` leaves it.
std::string SignedImage(const std::string& image_file, Signer signer);
// An image whose script runs under /bin/sh with $0 = the image and $1... =
// the updater's arguments to it.
std::string MakeScriptedInstaller(const std::string& script, Signer signer = Signer::kTrusted);
// A correctly signed PE image that no runner knows: the kernel refuses to
// start it (ENOEXEC), as it would any foreign executable.
std::string MakeUnrunnableInstaller();
// `installer` with one byte of its signed content changed.
std::string Tampered(std::string installer);

// Lets a test watch an installer while it runs: the script creates
// `started_file`, then waits (at most a minute) until `release_file` exists.
struct Hold {
  std::string started_file;
  std::string release_file;
};

// The browser installer: writes its arguments, one per line, to
// `arguments_file` and exits with `exit_code`.
std::string BrowserInstallerScript(const std::string& arguments_file,
                                   int exit_code = 0,
                                   const Hold* hold = nullptr);

struct PackageEntry {
  enum Kind { kFile, kDirectory, kFifo, kZeroes };
  std::string path;  // relative to the extraction directory
  std::string content;
  Kind kind = kFile;
  size_t zeroes = 0;  // the size of a kZeroes file, made as it extracts
};

// The portable package: writes its arguments to `arguments_file`; when they
// are "-s" and "-d" + the quoted <dir> it creates `entries` in <dir>, else
// exits with 3.
std::string PortablePackageScript(const std::string& arguments_file,
                                  const std::vector<PackageEntry>& entries,
                                  const Hold* hold = nullptr);

// A package of a new browser: "brelix.exe" with `browser_content`, a file,
// a version directory and a nested directory.
std::vector<PackageEntry> StandardPackage(const std::string& browser_content = "new browser");

// Empty when the kernel runs scripted installers here; otherwise the reason.
std::string InstallerRunnerUnavailableReason();
// Whether this machine's kernel offers binfmt_misc at all.
bool MachineHasBinfmtMisc();

// Skips the test when scripted installers cannot run; as root on a machine
// with binfmt_misc the runner can always be registered, so its absence fails
// the test instead.
#define E2E_REQUIRE_INSTALLER_RUNNER()                                                    \
  do {                                                                                    \
    const std::string e2e_reason = ::updater::e2e::InstallerRunnerUnavailableReason();    \
    if (!e2e_reason.empty()) {                                                            \
      if (geteuid() == 0 && ::updater::e2e::MachineHasBinfmtMisc()) FAIL() << e2e_reason; \
      GTEST_SKIP() << e2e_reason;                                                         \
    }                                                                                     \
  } while (false)

// ---------------------------------------------------------------------------
// The update service.

struct ServiceAnswer {
  int status = 200;
  std::multimap<std::string, std::string> headers;
  std::string body;
};

// 200 with "Kora-Version" and "Kora-Location" (each left out when empty).
ServiceAnswer BrowserOffer(const std::string& version, const std::string& location);
// The same with the plug-in's "Kora-Flash-Version" and "Kora-Flash-Location".
ServiceAnswer FlashOffer(const std::string& version, const std::string& location);

// Answers no HTTP library would send, each with the browser flow's result
// when the site at `mirror_url` sends it to a query and to the download.
std::vector<std::pair<std::string, int>> HostileServiceReplies(const std::string& mirror_url);

class UpdateService {
 public:
  enum class Sites { kBoth, kPrimaryOnly, kMirrorOnly };

  explicit UpdateService(Sites sites = Sites::kBoth);
  ~UpdateService();
  UpdateService(const UpdateService&) = delete;
  UpdateService& operator=(const UpdateService&) = delete;

  // False when a port could not be bound (someone else listens there).
  bool IsUp() const;
  // Answers `path` (query ignored) on every site that runs.
  void Answer(const std::string& path, const ServiceAnswer& answer);
  void Handle(const std::string& path,
              std::function<void(const httplib::Request&, httplib::Response&)> handler);
  // Serves `bytes` at `path` and returns its URL on the primary site (the
  // mirror when only that runs).
  std::string Serve(const std::string& path, const std::string& bytes);
  // What each site received, the primary's requests first.
  std::vector<test_support::RecordedRequest> requests() const;
  int CountRequests(const std::string& path) const;
  std::string Url(const std::string& path) const;

 private:
  struct Servers;
  std::unique_ptr<Servers> servers_;
};

// A site on `port` that answers every request with `reply`, byte for byte,
// and closes: for answers no HTTP library would send.
class RawReplySite {
 public:
  RawReplySite(int port, std::string reply);
  ~RawReplySite();
  RawReplySite(const RawReplySite&) = delete;
  RawReplySite& operator=(const RawReplySite&) = delete;

  bool IsUp() const;
  // The request heads received, in order.
  std::vector<std::string> requests() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// ---------------------------------------------------------------------------
// The installation and the updater run.

// A scratch installation (see tests/support/scratch_installation.h) of the
// e2e updater, with <root>/install/brelix.exe (a plain file) beside it. Paths
// come as text, ready for the installers' scripts.
class ScratchInstallation {
 public:
  // `updater_binary`: this build's e2e updater when empty.
  explicit ScratchInstallation(const std::string& updater_version = kCurrentVersion,
                               const std::string& updater_binary = "",
                               const std::string& install_dir_name = "install");

  std::string root() const { return installation_.root().string(); }
  std::string install_dir() const { return installation_.install_dir().string(); }
  std::string browser_exe() const { return install_dir() + "/brelix.exe"; }
  std::string updater_dir() const { return installation_.updater_dir().string(); }
  std::string updater() const { return installation_.updater_path().string(); }
  std::string temp_dir() const { return installation_.temp_dir().string(); }
  std::string toolkit_module() const { return installation_.toolkit_module_path().string(); }
  std::string Path(const std::string& relative) const { return root() + "/" + relative; }
  std::string ReadLog() const;  // "" when there is none

 private:
  test_support::ScratchInstallation installation_;
};

using Environment = std::map<std::string, std::string>;
// PATH, and TMPDIR = the installation's temp_dir; no proxy variables.
Environment DefaultEnvironment(const ScratchInstallation& installation);

// A started updater. Wait() returns its exit code, or -1 when it ended by a
// signal or did not end within the generous time-out (it is killed then).
class UpdaterProcess {
 public:
  UpdaterProcess(const ScratchInstallation& installation,
                 const std::vector<std::string>& arguments,
                 const Environment& environment);
  ~UpdaterProcess();
  UpdaterProcess(const UpdaterProcess&) = delete;
  UpdaterProcess& operator=(const UpdaterProcess&) = delete;

  int Wait();
  // Sends SIGKILL unless it has ended; Wait() then tells which it was.
  void Kill();

 private:
  test_support::ChildProcess process_;
  int exit_code_ = -1;
};

int RunUpdater(const ScratchInstallation& installation,
               const std::vector<std::string>& arguments,
               const Environment& environment);
int RunUpdater(const ScratchInstallation& installation, const std::vector<std::string>& arguments);

// Waits (at most a minute) until `condition` holds; false when it never did.
bool WaitUntil(const std::function<bool()>& condition);
// Waits (at most a minute) until `path` exists.
bool WaitForPath(const std::string& path);

// ---------------------------------------------------------------------------
// Named kernel objects, as the browser would hold them.

// The per-installation prefix: the path's separator ("/", or "\" for a
// Windows path) turned into "!", ASCII letters lowered.
std::string KernelObjectPrefix(const std::string& real_exe_path, char separator = '/');
// "Global\" + prefix + suffix.
std::string KernelObjectName(const std::string& real_exe_path,
                             const std::string& suffix = "",
                             char separator = '/');

// How the kernel-object tool is started: the program, then any arguments
// before its own.
using ToolCommand = std::vector<std::string>;
// The tool of this build, for the objects of this build's updater.
ToolCommand NativeKernelObjectTool();

// What another process holds for a test until the object is destroyed. The
// holders own that process, so they are never copied.
class HeldElsewhere {
 public:
  bool IsHeld() const { return held_; }

 protected:
  bool held_ = false;
};

// Holds an event (as a running browser does), or an acquired mutex (as a
// running updater does), in another process until destroyed.
class HeldEvent : public HeldElsewhere {
 public:
  enum class Kind { kEvent, kAcquiredMutex };
  explicit HeldEvent(const std::string& name,
                     Kind kind = Kind::kEvent,
                     const ToolCommand& tool = NativeKernelObjectTool());
  ~HeldEvent();

 private:
  test_support::ChildProcess holder_;
};

// Asked from another process, as the browser would.
bool KernelObjectExists(const std::string& name,
                        const ToolCommand& tool = NativeKernelObjectTool());
bool EventIsSet(const std::string& name, const ToolCommand& tool = NativeKernelObjectTool());

}  // namespace updater::e2e

#endif  // TESTS_E2E_E2E_HARNESS_H_
