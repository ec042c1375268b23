#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "auto_update/update_worker.h"
#include "url/canonical_url.h"

namespace updater {
namespace {

// As long as the HTTP client waits for a connection.
constexpr int kConnectTimeoutMs = 60000;

struct HostAndPort {
  std::string host;
  std::string port;
};

std::optional<HostAndPort> SplitHostAndPort(std::u16string_view url) {
  const std::optional<CanonicalUrl> canonical = CanonicalizeUrl(url);
  if (!canonical || !canonical->host || canonical->host->length == 0) return std::nullopt;
  std::string host(canonical->Text(*canonical->host));
  if (host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (canonical->port) return HostAndPort{host, std::string(canonical->Text(*canonical->port))};
  const std::string_view scheme = canonical->Text(canonical->scheme);
  if (scheme == "http") return HostAndPort{host, "80"};
  if (scheme == "https") return HostAndPort{host, "443"};
  return std::nullopt;
}

bool ConnectWithin(const addrinfo& address, int timeout_ms) {
  const int fd = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                        address.ai_protocol);
  if (fd < 0) return false;
  bool connected = connect(fd, address.ai_addr, address.ai_addrlen) == 0;
  if (!connected && errno == EINPROGRESS) {
    pollfd waiting{fd, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof(error);
    connected = poll(&waiting, 1, timeout_ms) == 1 &&
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
  }
  close(fd);
  return connected;
}

}  // namespace

bool IsServerReachable(std::u16string_view url) {
  const std::optional<HostAndPort> target = SplitHostAndPort(url);
  if (!target) return false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* addresses = nullptr;
  if (getaddrinfo(target->host.c_str(), target->port.c_str(), &hints, &addresses) != 0) {
    return false;
  }
  bool reachable = false;
  for (const addrinfo* address = addresses; address && !reachable; address = address->ai_next) {
    reachable = ConnectWithin(*address, kConnectTimeoutMs);
  }
  freeaddrinfo(addresses);
  return reachable;
}

}  // namespace updater
