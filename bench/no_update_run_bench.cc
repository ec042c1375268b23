// A silent run that finds nothing newer, against one curl request: both a
// process that starts, asks the loopback update service once and ends. The
// updater pays for what its loader brings in before main; the goal is at
// most 1.2 times curl.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 31;
constexpr int kExitNothingToInstall = 4;
// The newest version is the one the run already has.
constexpr char kNoUpdateReply[] =
    "HTTP/1.1 200 OK\r\nKora-Version: 1.0.0.0\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";

// Answers every request on the bench updater's primary site; a connection
// that sends nothing (the reachability check) is just closed.
class NoUpdateService {
 public:
  NoUpdateService() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int reuse = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(BENCH_SERVICE_PORT);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    up_ = bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
          listen(listener_, 16) == 0;
    if (up_) acceptor_ = std::thread([this] { AcceptLoop(); });
  }
  ~NoUpdateService() {
    stopping_ = true;
    shutdown(listener_, SHUT_RDWR);
    if (acceptor_.joinable()) acceptor_.join();
    close(listener_);
  }
  bool up() const { return up_; }

 private:
  void AcceptLoop() {
    while (!stopping_) {
      const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) continue;
      std::string head;
      char buffer[4096];
      ssize_t got = 0;
      while (head.find("\r\n\r\n") == std::string::npos &&
             (got = read(connection, buffer, sizeof(buffer))) > 0) {
        head.append(buffer, static_cast<size_t>(got));
      }
      if (!head.empty() && write(connection, kNoUpdateReply, sizeof(kNoUpdateReply) - 1) < 0) {
        std::perror("write");
      }
      close(connection);
    }
  }

  int listener_ = -1;
  bool up_ = false;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
};

// Seconds from spawn to exit, and the exit code.
std::pair<double, int> TimeRun(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const std::string& item : command) argv.push_back(const_cast<char*>(item.c_str()));
  argv.push_back(nullptr);
  const auto start = Clock::now();
  pid_t child = 0;
  if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return {-1, -1};
  int status = 0;
  waitpid(child, &status, 0);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return {seconds, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

double Median(std::vector<double> seconds) {
  std::sort(seconds.begin(), seconds.end());
  return seconds[seconds.size() / 2];
}

}  // namespace

int main() {
  const NoUpdateService service;
  if (!service.up()) {
    std::fprintf(stderr, "port %d is taken\n", BENCH_SERVICE_PORT);
    return 1;
  }
  // A copy of its own, so that its debug.log lands in a scratch directory.
  char pattern[] = "/tmp/no_update_run_bench_XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path scratch = pattern;
  const fs::path updater = scratch / "updater" / fs::path(BENCH_UPDATER).filename();
  fs::create_directories(updater.parent_path());
  fs::copy_file(BENCH_UPDATER, updater);
  const std::vector<std::string> run = {updater.string(), "--current=1.0.0.0",
                                        "--real-exe-path=" + (scratch / "brelix.exe").string()};
  const std::string url =
      "http://127.0.0.1:" + std::to_string(BENCH_SERVICE_PORT) + "/update.php?v=1.0.0.0";
  const std::vector<std::string> curl = {"/usr/bin/curl", "-s", "-o", "/dev/null", url};

  std::vector<double> updater_seconds, curl_seconds;
  bool failed = false;
  for (int round = 0; round < kRounds; ++round) {
    const auto [updater_time, updater_code] = TimeRun(run);
    const auto [curl_time, curl_code] = TimeRun(curl);
    failed |= updater_code != kExitNothingToInstall || curl_code != 0;
    updater_seconds.push_back(updater_time);
    curl_seconds.push_back(curl_time);
  }
  fs::remove_all(scratch);
  if (failed) {
    std::fprintf(stderr, "a run did not end as expected\n");
    return 1;
  }
  const double updater_ms = Median(updater_seconds) * 1000;
  const double curl_ms = Median(curl_seconds) * 1000;
  std::printf("silent run, nothing newer       %8.1f ms  (median of %d)\n", updater_ms, kRounds);
  std::printf("curl, one request               %8.1f ms\n", curl_ms);
  std::printf("  ratio                         %8.2f  (goal <= 1.20)\n", updater_ms / curl_ms);
  return 0;
}
