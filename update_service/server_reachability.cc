#include "update_service/server_reachability.h"

#include <optional>
#include <string>

#include "update_service/server_reachability_platform.h"
#include "url/canonical_url.h"

namespace updater {
namespace {

// As long as the HTTP client waits for a connection.
constexpr uint32_t kConnectTimeoutMs = 60000;

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

}  // namespace

bool IsServerReachable(std::u16string_view url) {
  const std::optional<HostAndPort> target = SplitHostAndPort(url);
  return target && platform::CanConnect(target->host, target->port, kConnectTimeoutMs);
}

}  // namespace updater
