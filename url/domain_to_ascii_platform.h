#ifndef URL_DOMAIN_TO_ASCII_PLATFORM_H_
#define URL_DOMAIN_TO_ASCII_PLATFORM_H_

#include <optional>
#include <string>
#include <string_view>

namespace updater::platform {

// UTS #46 processing of a domain name (UTF-8) to its ASCII form: mapping
// (NFKC, case folding), nontransitional processing, Punycode, with the bidi
// and joiner checks but without the hyphen, STD3 and DNS length rules, as
// URLs require. Nothing when the name holds a disallowed character, an
// invalid label, or maps to nothing.
std::optional<std::string> DomainToASCII(std::string_view domain);

}  // namespace updater::platform

#endif  // URL_DOMAIN_TO_ASCII_PLATFORM_H_
