#include "tests/support/tinyproxy_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/raw_server.h"

extern char** environ;

namespace updater::test_support {
namespace {

bool AcceptsConnections(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool connected =
      fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  if (fd >= 0) close(fd);
  return connected;
}

}  // namespace

TinyproxyProcess::TinyproxyProcess(const std::string& user_name, const std::string& password) {
  std::string pattern = std::filesystem::temp_directory_path() / "tinyproxy_XXXXXX";
  if (!mkdtemp(pattern.data())) return;
  directory_ = pattern;
  port_ = UnusedLoopbackPort();
  const std::string config = directory_ + "/tinyproxy.conf";
  std::ofstream(config) << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\n"
                        << "MaxClients 20\nAllow 127.0.0.1\nLogLevel Critical\n"
                        << "BasicAuth " << user_name << " " << password << "\n";
  const char* argv[] = {"tinyproxy", "-d", "-c", config.c_str(), nullptr};
  if (posix_spawnp(&pid_, "tinyproxy", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    pid_ = -1;
    return;
  }
  for (int i = 0; i < 200 && !running_; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    running_ = AcceptsConnections(port_);
  }
}

TinyproxyProcess::~TinyproxyProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  if (!directory_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }
}

}  // namespace updater::test_support
