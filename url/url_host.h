#ifndef URL_URL_HOST_H_
#define URL_URL_HOST_H_

#include <optional>
#include <string>
#include <string_view>

namespace updater {

// The host of a special URL (http, https, ws, wss, ftp, file): "[...]" is an
// IPv6 address; anything else is percent-decoded, run through UTS #46, and
// then refused if it holds a forbidden code point, or read as IPv4 when its
// last label is a number. Nothing when the host is invalid, empty, or
// longer than 4096 bytes as written.
std::optional<std::string> CanonicalizeSpecialHost(std::string_view host);

// The host of any other scheme: IPv6 as above, otherwise kept opaque (only
// controls and non-ASCII escaped) unless it holds a forbidden code point.
std::optional<std::string> CanonicalizeOpaqueHost(std::string_view host);

}  // namespace updater

#endif  // URL_URL_HOST_H_
