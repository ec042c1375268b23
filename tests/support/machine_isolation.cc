#include "tests/support/machine_isolation.h"

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/test_files.h"

namespace updater::test_support {
namespace {

// Files of the isolated machine live on the private tmpfs.
constexpr char kHostsFile[] = "/dev/shm/test_hosts";

bool BringUpLoopback() {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
  up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  close(fd);
  return up;
}

bool ReplaceHostsFile(const std::vector<std::string>& hosts) {
  if (hosts.empty()) return true;
  std::string contents = "127.0.0.1 localhost\n";
  for (const std::string& host : hosts) contents += "127.0.0.1 " + host + "\n";
  WriteFileBytes(kHostsFile, contents);
  return mount(kHostsFile, "/etc/hosts", nullptr, MS_BIND, nullptr) == 0;
}

std::string Failure(const char* step) {
  return std::string("no machine of its own: ") + step + ": " + std::strerror(errno);
}

// Empty when isolated, else why not.
std::string Isolate(const std::vector<std::string>& hosts) {
  if (unshare(CLONE_NEWNS | CLONE_NEWNET) != 0) return Failure("new namespaces (needs root)");
  // First the network, so that a later failure leaves a usable one.
  if (!BringUpLoopback()) return Failure("loopback");
  // Nothing mounted here may reach the machine's namespace.
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    return Failure("making \"/\" private (is it a mount point?)");
  }
  if (mount("tmpfs", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") != 0) {
    return Failure("a private /dev/shm");
  }
  if (!ReplaceHostsFile(hosts)) return Failure("replacing /etc/hosts");
  return "";
}

const std::string& IsolationOutcome(const std::vector<std::string>& hosts) {
  static const std::string failure = Isolate(hosts);
  return failure;
}

}  // namespace

bool IsolateFromMachine(const std::vector<std::string>& hosts) {
  return IsolationOutcome(hosts).empty();
}

const std::string& MachineIsolationFailure() {
  return IsolationOutcome({});
}

long AcceptedTcpConnections() {
  // Two "Tcp:" lines: the counters' names, then their values.
  std::ifstream snmp("/proc/self/net/snmp");
  std::string names;
  std::string values;
  while (std::getline(snmp, names) && names.rfind("Tcp:", 0) != 0) {
  }
  std::getline(snmp, values);
  std::istringstream name_words(names);
  std::istringstream value_words(values);
  std::string name;
  std::string value;
  while (name_words >> name && value_words >> value) {
    if (name == "PassiveOpens") return std::stol(value);
  }
  return -1;
}

}  // namespace updater::test_support
