#ifndef UPDATE_SERVICE_SERVER_REACHABILITY_PLATFORM_H_
#define UPDATE_SERVICE_SERVER_REACHABILITY_PLATFORM_H_

#include <cstdint>
#include <string>

namespace updater::platform {

// Whether a TCP connection to `host` (a name or an address literal) at
// `port` opens within `timeout_ms`, trying each address the name resolves
// to; the connection is closed at once.
bool CanConnect(const std::string& host, const std::string& port, uint32_t timeout_ms);

}  // namespace updater::platform

#endif  // UPDATE_SERVICE_SERVER_REACHABILITY_PLATFORM_H_
