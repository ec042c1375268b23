#ifndef URL_IP_ADDRESS_H_
#define URL_IP_ADDRESS_H_

#include <optional>
#include <string>
#include <string_view>

namespace updater {

// True when the last label of `host` (a trailing dot ignored) is a number in
// one of the forms IPv4 hosts are written in; such a host must then parse as
// an IPv4 address or the URL is invalid.
bool EndsInANumber(std::string_view host);

// Parses the IPv4 forms URLs allow: one to four parts, each decimal, octal
// (leading "0") or hexadecimal ("0x"), the last filling the remaining bytes
// ("127.1", "0x7f000001"). Gives dotted decimal, or nothing when invalid.
std::optional<std::string> CanonicalizeIPv4(std::string_view host);

// Parses the text between the brackets of an IPv6 host, including "::"
// compression and a trailing dotted IPv4 part. Gives the shortest form in
// lower case, with the longest run of zero pieces compressed, without the
// brackets; nothing when invalid.
std::optional<std::string> CanonicalizeIPv6(std::string_view address);

}  // namespace updater

#endif  // URL_IP_ADDRESS_H_
