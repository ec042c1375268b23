#include "tests/support/machine_isolation.h"

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

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
  std::string contents = "127.0.0.1 localhost\n";
  for (const std::string& host : hosts) contents += "127.0.0.1 " + host + "\n";
  WriteFileBytes(kHostsFile, contents);
  return mount(kHostsFile, "/etc/hosts", nullptr, MS_BIND, nullptr) == 0;
}

bool Isolate(const std::vector<std::string>& hosts) {
  if (unshare(CLONE_NEWNS | CLONE_NEWNET) != 0) return false;
  // Nothing mounted here may reach the machine's namespace.
  return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         mount("tmpfs", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") == 0 &&
         BringUpLoopback() && ReplaceHostsFile(hosts);
}

}  // namespace

bool IsolateFromMachine(const std::vector<std::string>& hosts) {
  static const bool isolated = Isolate(hosts);
  return isolated;
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
