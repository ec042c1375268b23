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

bool StartsWithAcePrefix(std::string_view label) {
  return label.size() >= 4 && (label[0] | 0x20) == 'x' && (label[1] | 0x20) == 'n' &&
         label[2] == '-' && label[3] == '-';
}

// An ASCII domain none of whose labels starts with "xn--" comes out of
// UTS #46 (with the options URLs use) lowercased and otherwise unchanged:
// such a host, every host the updater's own sites have, needs no Unicode
// tables.
std::optional<std::string> AsciiDomainToASCII(std::string_view domain) {
  if (domain.empty()) return std::nullopt;  // UTS #46 refuses it
  std::string lowered;
  size_t label_start = 0;
  for (size_t i = 0; i <= domain.size(); ++i) {
    if (i == domain.size() || domain[i] == '.') {
      if (StartsWithAcePrefix(domain.substr(label_start, i - label_start))) return std::nullopt;
      label_start = i + 1;
      if (i == domain.size()) break;
    }
    const auto byte = static_cast<unsigned char>(domain[i]);
    if (byte > 0x7F) return std::nullopt;
    lowered.push_back(static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte | 0x20 : byte));
  }
  return lowered;
}

std::optional<std::string> DomainToASCII(const std::string& domain) {
  std::optional<std::string> ascii = AsciiDomainToASCII(domain);
  return ascii ? ascii : platform::DomainToASCII(domain);
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
