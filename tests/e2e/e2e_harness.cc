#include "tests/e2e/e2e_harness.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/test_certificates.h"
#include "tests/support/test_server.h"

namespace updater::e2e {

const int kPrimaryPort = UPDATER_E2E_PRIMARY_PORT;
const int kMirrorPort = UPDATER_E2E_MIRROR_PORT;

std::string PkiFile(const std::string& name) {
  return std::string(UPDATER_E2E_PKI_DIR) + "/" + name;
}

namespace {

namespace fs = std::filesystem;
using test_support::ChildOptions;
using test_support::ChildProcess;
using test_support::ExitStatus;
using test_support::MakeScratchDirectory;
using test_support::RecordedRequest;
using test_support::ServerCertificate;
using test_support::TestServer;

constexpr char kUpdaterExecutable[] = UPDATER_E2E_UPDATER;
constexpr char kWriteTestPe[] = UPDATER_E2E_WRITE_TEST_PE;
constexpr char kKernelObjectTool[] = UPDATER_E2E_KERNEL_OBJECT_TOOL;
constexpr char kBinfmtName[] = UPDATER_E2E_BINFMT_NAME;
constexpr char kBinfmtDirectory[] = "/proc/sys/fs/binfmt_misc/";

constexpr auto kPollInterval = std::chrono::milliseconds(10);
constexpr auto kWaitLimit = std::chrono::seconds(60);
constexpr int kHoldPolls = 1200;  // of 0.05 s: the scripts' limit of a minute
constexpr size_t kMaxRequestHead = 1 << 16;
constexpr int kRawReadTimeoutMs = 5000;

// 200 with <prefix>Version and <prefix>Location, each left out when empty.
ServiceAnswer Offer(const std::string& prefix,
                    const std::string& version,
                    const std::string& location) {
  ServiceAnswer answer;
  if (!version.empty()) answer.headers.emplace(prefix + "Version", version);
  if (!location.empty()) answer.headers.emplace(prefix + "Location", location);
  return answer;
}

std::vector<std::string> EnvironmentStrings(const Environment& environment) {
  std::vector<std::string> strings;
  for (const auto& [name, value] : environment) strings.push_back(name + "=" + value);
  return strings;
}

// Standard streams on /dev/null; `environment` when given, else this process's.
ChildOptions Unattended(const Environment* environment = nullptr) {
  ChildOptions options;
  options.pipes = false;
  if (environment != nullptr) options.environment = EnvironmentStrings(*environment);
  return options;
}

// The exit code, or -1 after a signal or the time-out (then killed).
int ExitCode(const ExitStatus& status) {
  return status.timed_out ? -1 : status.code;
}

void RunToolOrThrow(const std::vector<std::string>& arguments) {
  if (RunTool(arguments) != 0)
    throw std::runtime_error("failed: " + arguments[0] + " " + arguments[1]);
}

std::string HoldSnippet(const Hold* hold) {
  if (hold == nullptr) return "";
  return ": >" + ShellQuote(hold->started_file) + "\ni=0\nwhile [ ! -e " +
         ShellQuote(hold->release_file) + " ] && [ \"$i\" -lt " + std::to_string(kHoldPolls) +
         " ]; do sleep 0.05; i=$((i+1)); done\n";
}

std::string RecordArgumentsSnippet(const std::string& arguments_file) {
  return "for argument in \"$0\" \"$@\"; do printf '%s\\n' \"$argument\"; done >" +
         ShellQuote(arguments_file) + "\n";
}

std::string CreateEntrySnippet(const PackageEntry& entry) {
  const std::string target = "\"$dir\"/" + ShellQuote(entry.path);
  switch (entry.kind) {
    case PackageEntry::kDirectory:
      return "mkdir -p " + target + " || exit 4\n";
    case PackageEntry::kFifo:
      return "mkfifo " + target + " || exit 4\n";
    case PackageEntry::kFile:
    case PackageEntry::kZeroes:
      break;
  }
  const std::string parent = fs::path(entry.path).parent_path().string();
  std::string snippet;
  if (!parent.empty()) snippet = "mkdir -p \"$dir\"/" + ShellQuote(parent) + " || exit 4\n";
  if (entry.kind == PackageEntry::kZeroes) {
    return snippet + "head -c " + std::to_string(entry.zeroes) + " /dev/zero >" + target +
           " || exit 4\n";
  }
  return snippet + "printf '%s' " + ShellQuote(entry.content) + " >" + target + " || exit 4\n";
}

// One line of ListTree for `entry`, named `relative`.
std::string DescribeEntry(const fs::directory_entry& entry, const std::string& relative) {
  const fs::file_status status = entry.symlink_status();
  if (fs::is_symlink(status)) return relative + " -> " + fs::read_symlink(entry.path()).string();
  if (fs::is_directory(status)) return relative + "/";
  std::ostringstream line;
  line << relative << " " << std::oct << (static_cast<unsigned>(status.permissions()) & 07777)
       << std::dec;
  if (fs::is_regular_file(status)) {
    const std::string bytes = ReadFileBytes(entry.path());
    line << " " << bytes.size() << " " << std::hex << std::hash<std::string>{}(bytes);
  } else {
    line << " special";
  }
  return line.str();
}

}  // namespace

// ---------------------------------------------------------------------------
// Files.

std::vector<std::string> ListTree(const std::string& dir) {
  std::vector<std::string> lines;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(dir, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    lines.push_back(DescribeEntry(*it, fs::relative(it->path(), dir).string()));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::string text = ReadFileBytes(path);
  for (size_t end; (end = text.find('\n')) != std::string::npos; text.erase(0, end + 1))
    lines.push_back(text.substr(0, end));
  return lines;
}

std::vector<std::string> ListNames(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool Exists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

int RunTool(const std::vector<std::string>& command) {
  const std::vector<std::string> arguments(command.begin() + 1, command.end());
  return ExitCode(ChildProcess(command[0], arguments, Unattended()).Wait());
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// ---------------------------------------------------------------------------
// Installers.

std::string SignedImage(const std::string& image_file, Signer signer) {
  if (signer == Signer::kUnsigned) return ReadFileBytes(image_file);
  const std::string publisher = signer == Signer::kTrusted  ? "signing"
                                : signer == Signer::kAnyUse ? "any_use"
                                                            : "stranger";
  const std::string signed_file = image_file + ".signed";
  RunToolOrThrow({"/usr/bin/osslsigncode", "sign", "-certs", PkiFile(publisher + "_chain.pem"),
                  "-key", PkiFile(publisher + "_leaf.key"), "-h", "sha256", "-in", image_file,
                  "-out", signed_file});
  std::string result = ReadFileBytes(signed_file);
  fs::remove(signed_file);
  return result;
}

std::string MakeScriptedInstaller(const std::string& script, Signer signer) {
  const std::string work = MakeScratchDirectory("rz-e2e-installer-");
  const std::string script_file = work + "/script.sh";
  const std::string image = work + "/image.exe";
  WriteFileBytes(script_file, script);
  RunToolOrThrow({kWriteTestPe, "scripted", script_file, image});
  std::string result = SignedImage(image, signer);
  fs::remove_all(work);
  return result;
}

std::string MakeUnrunnableInstaller() {
  const std::string work = MakeScratchDirectory("rz-e2e-installer-");
  const std::string image = work + "/plain.exe";
  RunToolOrThrow({kWriteTestPe, "pe32plus", "4096", image});
  std::string result = SignedImage(image, Signer::kTrusted);
  fs::remove_all(work);
  return result;
}

std::string Tampered(std::string installer) {
  // The first byte of the section, which the image digest covers.
  constexpr size_t kSectionStart = 0x200;
  if (installer.size() > kSectionStart) installer[kSectionStart] ^= 0x20;
  return installer;
}

std::string BrowserInstallerScript(const std::string& arguments_file,
                                   int exit_code,
                                   const Hold* hold) {
  return "# browser installer\n" + RecordArgumentsSnippet(arguments_file) + HoldSnippet(hold) +
         "exit " + std::to_string(exit_code) + "\n";
}

std::string PortablePackageScript(const std::string& arguments_file,
                                  const std::vector<PackageEntry>& entries,
                                  const Hold* hold) {
  std::string script = "# portable package\n" + RecordArgumentsSnippet(arguments_file) +
                       "[ \"$#\" -eq 2 ] && [ \"$1\" = -s ] || exit 3\n"
                       "dir=${2#-d\\\"}; dir=${dir%\\\"}\n"
                       "[ \"$2\" = \"-d\\\"$dir\\\"\" ] || exit 3\n"
                       "mkdir -p \"$dir\" || exit 4\n";
  for (const PackageEntry& entry : entries) script += CreateEntrySnippet(entry);
  return script + HoldSnippet(hold) + "exit 0\n";
}

std::vector<PackageEntry> StandardPackage(const std::string& browser_content) {
  return {
      {"brelix.exe", browser_content},   {"resources.pak", "new resources"},
      {"locales/en.pak", "new english"}, {"locales/extra/ru.pak", "new russian"},
      {"56.0.0.1/core.dll", "new core"},
  };
}

bool MachineHasBinfmtMisc() {
  return Exists(std::string(kBinfmtDirectory) + "register");
}

std::string InstallerRunnerUnavailableReason() {
  const std::string entry = std::string(kBinfmtDirectory) + kBinfmtName;
  const std::string state = ReadFileBytes(entry);
  if (state.rfind("enabled", 0) == 0) return "";
  return "the scripted-installer runner is not registered with binfmt_misc as " + entry +
         " (the CTest fixture registers it; that needs root and binfmt_misc), so no installer "
         "can run";
}

// ---------------------------------------------------------------------------
// The update service.

ServiceAnswer BrowserOffer(const std::string& version, const std::string& location) {
  return Offer("Kora-", version, location);
}

ServiceAnswer FlashOffer(const std::string& version, const std::string& location) {
  return Offer("Kora-Flash-", version, location);
}

std::vector<std::pair<std::string, int>> HostileServiceReplies(const std::string& mirror_url) {
  const std::string offer = "HTTP/1.1 200 OK\r\nKora-Version: 56.0.0.1\r\nKora-Location: ";
  const std::string empty_end = "\r\nContent-Length: 0\r\n\r\n";
  return {
      {"garbage that is no HTTP at all\r\n\r\n", 3},
      {"HTTP/1.1 200 OK\r\nX-Huge: " + std::string(1 << 20, 'a') + "\r\n\r\n", 3},
      {"HTTP/1.1 2000 OK\r\nContent-Length: 0\r\n\r\n", 3},
      // The download is answered with the same bytes.
      {offer + mirror_url + "/files/" + empty_end, 35},
      // Names that would be patterns, or that Windows cannot hold: never saved
      // or deleted by.
      {offer + mirror_url + "/*" + empty_end, 35},
      {offer + mirror_url + "/files/*.exe" + empty_end, 35},
      {offer + mirror_url + "/nul.exe" + empty_end, 35},
      {offer + mirror_url + "/" + std::string(70000, 'a') + empty_end, 24},
      {"HTTP/1.1 200 OK\r\nkora-version: 99.0\r\nKora-Location: nonsense" + empty_end, 24},
      {"HTTP/1.1 200 OK\r\nKora-Version: 99.0\r\nKora-Location: file:///etc/passwd" + empty_end,
       24},
  };
}

// Each path has one route; a test may change what it answers between runs.
struct UpdateService::Servers {
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  // Declared first so that they outlive the servers' threads.
  std::mutex mutex;
  std::map<std::string, Handler> handlers;
  std::unique_ptr<TestServer> primary;
  std::unique_ptr<TestServer> mirror;

  std::vector<TestServer*> running() const {
    std::vector<TestServer*> servers;
    for (TestServer* server : {primary.get(), mirror.get()}) {
      if (server != nullptr) servers.push_back(server);
    }
    return servers;
  }

  Handler CurrentHandler(const std::string& path) {
    std::lock_guard lock(mutex);
    return handlers[path];
  }

  void SetHandler(const std::string& path, Handler handler) {
    std::lock_guard lock(mutex);
    const bool routed = handlers.contains(path);
    handlers[path] = std::move(handler);
    if (routed) return;
    for (TestServer* server : running()) {
      server->Handle(path,
                     [this, path](const httplib::Request& request, httplib::Response& response) {
                       CurrentHandler(path)(request, response);
                     });
    }
  }
};

UpdateService::UpdateService(Sites sites) : servers_(std::make_unique<Servers>()) {
  if (sites != Sites::kMirrorOnly) {
    const ServerCertificate certificate{PkiFile("tls_server.pem"), PkiFile("tls_server.key")};
    servers_->primary = std::make_unique<TestServer>(certificate, kPrimaryPort);
  }
  if (sites != Sites::kPrimaryOnly) servers_->mirror = std::make_unique<TestServer>(kMirrorPort);
}

UpdateService::~UpdateService() = default;

bool UpdateService::IsUp() const {
  for (TestServer* server : servers_->running()) {
    if (!server->is_listening()) return false;
  }
  return true;
}

void UpdateService::Answer(const std::string& path, const ServiceAnswer& answer) {
  Handle(path, [answer](const httplib::Request&, httplib::Response& response) {
    response.status = answer.status;
    for (const auto& header : answer.headers) response.headers.insert(header);
    response.set_content(answer.body, "application/octet-stream");
  });
}

void UpdateService::Handle(
    const std::string& path,
    std::function<void(const httplib::Request&, httplib::Response&)> handler) {
  servers_->SetHandler(path, std::move(handler));
}

std::string UpdateService::Serve(const std::string& path, const std::string& bytes) {
  ServiceAnswer answer;
  answer.body = bytes;
  Answer(path, answer);
  return Url(path);
}

std::vector<RecordedRequest> UpdateService::requests() const {
  std::vector<RecordedRequest> all;
  for (TestServer* server : servers_->running()) {
    const std::vector<RecordedRequest> some = server->requests();
    all.insert(all.end(), some.begin(), some.end());
  }
  return all;
}

int UpdateService::CountRequests(const std::string& path) const {
  int count = 0;
  for (TestServer* server : servers_->running()) count += server->CountRequests(path);
  return count;
}

std::string UpdateService::Url(const std::string& path) const {
  return servers_->running().front()->Url(path);
}

struct RawReplySite::State {
  int listener = -1;
  int stop_pipe[2] = {-1, -1};
  std::string reply;
  std::thread thread;
  mutable std::mutex mutex;
  std::vector<std::string> requests;

  void Serve() {
    for (;;) {
      pollfd watched[2] = {{listener, POLLIN, 0}, {stop_pipe[0], POLLIN, 0}};
      if (poll(watched, 2, -1) < 0 && errno != EINTR) return;
      if (watched[1].revents != 0) return;
      if (watched[0].revents == 0) continue;
      const int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection >= 0) Answer(connection);
    }
  }

  void Answer(int connection) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestHead) {
      pollfd readable = {connection, POLLIN, 0};
      if (poll(&readable, 1, kRawReadTimeoutMs) <= 0) break;
      const ssize_t got = recv(connection, buffer, sizeof(buffer), 0);
      if (got <= 0) break;
      head.append(buffer, static_cast<size_t>(got));
    }
    {
      std::lock_guard lock(mutex);
      requests.push_back(head);
    }
    size_t sent = 0;
    while (sent < reply.size()) {
      const ssize_t wrote =
          send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
      if (wrote <= 0) break;
      sent += static_cast<size_t>(wrote);
    }
    shutdown(connection, SHUT_WR);
    close(connection);
  }
};

RawReplySite::RawReplySite(int port, std::string reply) : state_(std::make_unique<State>()) {
  state_->reply = std::move(reply);
  if (pipe2(state_->stop_pipe, O_CLOEXEC) != 0) return;
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int yes = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener, 16) != 0) {
    close(listener);
    return;
  }
  state_->listener = listener;
  state_->thread = std::thread([state = state_.get()] { state->Serve(); });
}

RawReplySite::~RawReplySite() {
  if (state_->thread.joinable()) {
    const char stop = 1;
    [[maybe_unused]] const ssize_t ignored = write(state_->stop_pipe[1], &stop, 1);
    state_->thread.join();
  }
  for (int fd : {state_->listener, state_->stop_pipe[0], state_->stop_pipe[1]}) {
    if (fd >= 0) close(fd);
  }
}

bool RawReplySite::IsUp() const {
  return state_->listener >= 0;
}

std::vector<std::string> RawReplySite::requests() const {
  std::lock_guard lock(state_->mutex);
  return state_->requests;
}

// ---------------------------------------------------------------------------
// The installation and the updater run.

ScratchInstallation::ScratchInstallation(const std::string& updater_version,
                                         const std::string& updater_binary,
                                         const std::string& install_dir_name)
    : installation_(updater_binary.empty() ? kUpdaterExecutable : updater_binary,
                    install_dir_name,
                    updater_version) {
  WriteFileBytes(browser_exe(), "old browser");
}

std::string ScratchInstallation::ReadLog() const {
  return ReadFileBytes(updater_dir() + "/debug.log");
}

Environment DefaultEnvironment(const ScratchInstallation& installation) {
  return {{"PATH", "/usr/local/bin:/usr/bin:/bin"}, {"TMPDIR", installation.temp_dir()}};
}

UpdaterProcess::UpdaterProcess(const ScratchInstallation& installation,
                               const std::vector<std::string>& arguments,
                               const Environment& environment)
    : process_(installation.updater(), arguments, Unattended(&environment)) {}

UpdaterProcess::~UpdaterProcess() {
  Wait();
}

void UpdaterProcess::Kill() {
  process_.Kill();
}

int UpdaterProcess::Wait() {
  if (process_.running()) exit_code_ = ExitCode(process_.Wait());
  return exit_code_;
}

int RunUpdater(const ScratchInstallation& installation,
               const std::vector<std::string>& arguments,
               const Environment& environment) {
  return UpdaterProcess(installation, arguments, environment).Wait();
}

int RunUpdater(const ScratchInstallation& installation, const std::vector<std::string>& arguments) {
  return RunUpdater(installation, arguments, DefaultEnvironment(installation));
}

bool WaitUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
  return true;
}

bool WaitForPath(const std::string& path) {
  return WaitUntil([&path] { return Exists(path); });
}

// ---------------------------------------------------------------------------
// Named kernel objects.

std::string KernelObjectPrefix(const std::string& real_exe_path, char separator) {
  std::string prefix = real_exe_path;
  for (char& c : prefix) {
    if (c == separator)
      c = '!';
    else if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return prefix;
}

std::string KernelObjectName(const std::string& real_exe_path,
                             const std::string& suffix,
                             char separator) {
  return "Global\\" + KernelObjectPrefix(real_exe_path, separator) + suffix;
}

ToolCommand NativeKernelObjectTool() {
  return {kKernelObjectTool};
}

namespace {

ChildProcess StartTool(ToolCommand command, const std::vector<std::string>& arguments) {
  command.insert(command.end(), arguments.begin(), arguments.end());
  const std::vector<std::string> rest(command.begin() + 1, command.end());
  return ChildProcess(command[0], rest);
}

}  // namespace

HeldEvent::HeldEvent(const std::string& name, Kind kind, const ToolCommand& tool)
    : holder_(StartTool(tool, {kind == Kind::kEvent ? "create-event" : "hold-mutex", name})) {
  // The tool says "created" (or "opened") and then "ready" once it holds it.
  for (;;) {
    const std::string line = holder_.ReadLine();
    if (line.empty()) return;
    if (line == "ready") break;
  }
  held_ = true;
}

HeldEvent::~HeldEvent() {
  holder_.CloseInput();
  holder_.Wait();
}

bool KernelObjectExists(const std::string& name, const ToolCommand& tool) {
  ToolCommand command = tool;
  command.insert(command.end(), {"exists", name});
  return RunTool(command) == 0;
}

bool EventIsSet(const std::string& name, const ToolCommand& tool) {
  ToolCommand command = tool;
  command.insert(command.end(), {"wait", "0", name});
  return RunTool(command) == 0;
}

}  // namespace updater::e2e
