#include <windows.h>
// After windows.h.
#include <wininet.h>

#include <string>

#include "update_service/server_reachability_platform.h"

namespace updater::platform {

// WinINet's forced check opens a connection to the URL's host and port and
// closes it; it keeps its own time limit.
bool CanConnect(const std::string& host, const std::string& port, uint32_t /*timeout_ms*/) {
  const bool address_v6 = host.find(':') != std::string::npos;
  const std::string url = "http://" + (address_v6 ? "[" + host + "]" : host) + ":" + port + "/";
  const std::wstring wide_url(url.begin(), url.end());
  return InternetCheckConnectionW(wide_url.c_str(), FLAG_ICC_FORCE_CONNECTION, 0) != FALSE;
}

}  // namespace updater::platform
