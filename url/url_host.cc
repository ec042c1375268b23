#include "url/url_host.h"

#include <algorithm>

#include "base/string_util.h"
#include "url/domain_to_ascii_platform.h"
#include "url/ip_address.h"
#include "url/percent_encode.h"

namespace updater {
namespace {

// A DNS name has at most 253 characters; far longer text only costs time,
// and UTS #46 processing grows with the square of the number of labels.
constexpr size_t kMaxHostLength = 4096;

constexpr char kForbiddenHostCodePoints[] = "\0\t\n\r #/:<>?@[\\]^|";

bool IsForbiddenHostCodePoint(char c) {
  constexpr std::string_view kForbidden(kForbiddenHostCodePoints,
                                        sizeof(kForbiddenHostCodePoints) - 1);
  return kForbidden.find(c) != std::string_view::npos;
}

// Adds what a domain may not hold either: controls, "%", DEL and, since a
// domain is ASCII by now, anything else.
bool IsForbiddenDomainCodePoint(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return IsForbiddenHostCodePoint(c) || byte < 0x20 || byte > 0x7E || c == '%';
}

bool IsBracketed(std::string_view host) {
  return !host.empty() && host.front() == '[';
}

std::optional<std::string> CanonicalizeBracketedIPv6(std::string_view host) {
  if (host.size() < 2 || host.back() != ']') return std::nullopt;
  const std::optional<std::string> address = CanonicalizeIPv6(host.substr(1, host.size() - 2));
  if (!address) return std::nullopt;
  return "[" + *address + "]";
}

// An ASCII domain none of whose labels starts with "xn--" comes out of
// UTS #46 (with the options URLs use) lowercased and otherwise unchanged:
// such a host, every host the updater's own sites have, needs no Unicode
// tables.
bool IsAsciiWithoutAceLabel(std::string_view domain) {
  for (char c : domain) {
    if (static_cast<unsigned char>(c) > 0x7F) return false;
  }
  for (size_t start = 0; start <= domain.size();) {
    const size_t end = std::min(domain.find('.', start), domain.size());
    if (ToLowerASCII(domain.substr(start, end - start)).starts_with("xn--")) return false;
    start = end + 1;
  }
  return true;
}

// UTS #46 refuses an empty domain: it goes the long way to that answer.
std::optional<std::string> DomainToASCII(const std::string& domain) {
  if (!domain.empty() && IsAsciiWithoutAceLabel(domain)) return ToLowerASCII(domain);
  return platform::DomainToASCII(domain);
}

}  // namespace

std::optional<std::string> CanonicalizeSpecialHost(std::string_view host) {
  if (IsBracketed(host)) return CanonicalizeBracketedIPv6(host);
  if (host.size() > kMaxHostLength) return std::nullopt;
  const std::optional<std::string> domain = DomainToASCII(PercentDecode(host));
  if (!domain) return std::nullopt;
  for (char c : *domain) {
    if (IsForbiddenDomainCodePoint(c)) return std::nullopt;
  }
  if (EndsInANumber(*domain)) return CanonicalizeIPv4(*domain);
  return domain;
}

std::optional<std::string> CanonicalizeOpaqueHost(std::string_view host) {
  if (IsBracketed(host)) return CanonicalizeBracketedIPv6(host);
  for (char c : host) {
    if (IsForbiddenHostCodePoint(c)) return std::nullopt;
  }
  std::string canonical;
  AppendPercentEncoded(host, EncodeSet::kC0Control, canonical);
  return canonical;
}

}  // namespace updater
