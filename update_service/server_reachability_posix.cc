#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "base/native_posix.h"
#include "update_service/server_reachability_platform.h"

namespace updater::platform {
namespace {

bool ConnectWithin(const addrinfo& address, uint32_t timeout_ms) {
  const posix::ScopedFd socket_fd(socket(
      address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol));
  if (!socket_fd.IsValid()) return false;
  if (connect(socket_fd.get(), address.ai_addr, address.ai_addrlen) == 0) return true;
  if (errno != EINPROGRESS) return false;
  pollfd waiting{socket_fd.get(), POLLOUT, 0};
  int error = 0;
  socklen_t length = sizeof(error);
  return poll(&waiting, 1, static_cast<int>(timeout_ms)) == 1 &&
         getsockopt(socket_fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

}  // namespace

bool CanConnect(const std::string& host, const std::string& port, uint32_t timeout_ms) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* addresses = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &addresses) != 0) return false;
  bool reachable = false;
  for (const addrinfo* address = addresses; address && !reachable; address = address->ai_next) {
    reachable = ConnectWithin(*address, timeout_ms);
  }
  freeaddrinfo(addresses);
  return reachable;
}

}  // namespace updater::platform
