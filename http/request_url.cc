#include "http/request_url.h"

#include "base/string_util.h"
#include "http/http_errors.h"

namespace updater {
namespace {

constexpr uint16_t kHttpPort = 80;
constexpr uint16_t kHttpsPort = 443;

bool IsHostCharacter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'-' || c == u'.' || c == u'_' || c >= 0x80;
}

bool IsValidHost(std::u16string_view host) {
  if (host.empty()) return false;
  if (host.front() == u'[') {
    if (host.size() < 3 || host.back() != u']') return false;
    for (char16_t c : host.substr(1, host.size() - 2)) {
      const bool hex =
          (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
      if (!hex && c != u':' && c != u'.') return false;
    }
    return true;
  }
  for (char16_t c : host) {
    if (!IsHostCharacter(c)) return false;
  }
  return true;
}

std::optional<uint16_t> ParsePort(std::u16string_view text, uint16_t default_port) {
  if (text.empty()) return default_port;
  if (text.size() > 5) return std::nullopt;
  uint32_t port = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    port = port * 10 + (c - u'0');
  }
  if (port == 0 || port > 65535) return std::nullopt;
  return static_cast<uint16_t>(port);
}

// Splits "host[:port]", where the host may be a bracketed IPv6 literal.
bool SplitHostAndPort(std::u16string_view authority, RequestUrl& url) {
  size_t colon = std::u16string_view::npos;
  if (!authority.empty() && authority.front() == u'[') {
    const size_t bracket = authority.find(u']');
    if (bracket == std::u16string_view::npos) return false;
    if (bracket + 1 < authority.size()) {
      if (authority[bracket + 1] != u':') return false;
      colon = bracket + 1;
    }
  } else {
    colon = authority.rfind(u':');
  }
  const std::u16string_view host = authority.substr(0, colon);
  const auto port = ParsePort(
      colon == std::u16string_view::npos ? std::u16string_view() : authority.substr(colon + 1),
      url.secure ? kHttpsPort : kHttpPort);
  if (!port || !IsValidHost(host)) return false;
  url.host = std::u16string(host);
  url.port = *port;
  return true;
}

void AppendPercentEncoded(unsigned char byte, std::string& out) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  out.push_back('%');
  out.push_back(kHexDigits[byte >> 4]);
  out.push_back(kHexDigits[byte & 0x0F]);
}

}  // namespace

std::optional<RequestUrl> CrackRequestUrl(std::u16string_view url, uint32_t& error) {
  error = kErrorHttpInvalidUrl;
  const size_t scheme_end = url.find(u"://");
  if (scheme_end == std::u16string_view::npos) return std::nullopt;
  RequestUrl result;
  const std::u16string scheme = ToLowerASCII(url.substr(0, scheme_end));
  if (scheme == u"https") {
    result.secure = true;
  } else if (scheme != u"http") {
    error = kErrorHttpUnrecognizedScheme;
    return std::nullopt;
  }
  const std::u16string_view rest = url.substr(scheme_end + 3);
  const size_t authority_end = rest.find_first_of(u"/?#");
  std::u16string_view authority = rest.substr(0, authority_end);
  // Credentials in the URL are never sent.
  if (const size_t at = authority.rfind(u'@'); at != std::u16string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  if (!SplitHostAndPort(authority, result)) return std::nullopt;
  const std::u16string_view path = authority_end == std::u16string_view::npos
                                       ? std::u16string_view()
                                       : rest.substr(authority_end);
  if (path.empty() || path.front() != u'/') result.path.push_back(u'/');
  result.path.append(path);
  if (result.host.size() > kMaxHostLength || result.path.size() > kMaxPathLength) {
    error = kErrorInsufficientBuffer;
    return std::nullopt;
  }
  error = 0;
  return result;
}

std::string EncodeRequestTarget(std::u16string_view path) {
  const std::string utf8 = UTF16ToUTF8(path);
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || byte == '#') {
      AppendPercentEncoded(byte, out);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string ToTransportUrl(const RequestUrl& url) {
  std::string result = url.secure ? "https://" : "http://";
  result.append(UTF16ToUTF8(url.host));
  result.push_back(':');
  result.append(std::to_string(url.port));
  result.append(EncodeRequestTarget(url.path));
  return result;
}

}  // namespace updater
