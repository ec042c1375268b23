#include "url/url_host.h"

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

}  // namespace

std::optional<std::string> CanonicalizeSpecialHost(std::string_view host) {
  if (IsBracketed(host)) return CanonicalizeBracketedIPv6(host);
  if (host.size() > kMaxHostLength) return std::nullopt;
  const std::optional<std::string> domain = platform::DomainToASCII(PercentDecode(host));
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
