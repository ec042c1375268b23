#include "url/canonical_url.h"

#include <array>

#include "base/string_util.h"
#include "url/percent_encode.h"
#include "url/url_host.h"
#include "url/url_input.h"
#include "url/url_path.h"

namespace updater {
namespace {

enum class SchemeKind { kSpecial, kFile, kOther };

struct SchemeInfo {
  SchemeKind kind = SchemeKind::kOther;
  std::optional<uint32_t> default_port;
};

SchemeInfo LookUpScheme(std::string_view scheme) {
  struct KnownScheme {
    std::string_view name;
    SchemeInfo info;
  };
  static constexpr std::array<KnownScheme, 6> kKnownSchemes = {{
      {"http", {SchemeKind::kSpecial, 80}},
      {"https", {SchemeKind::kSpecial, 443}},
      {"ws", {SchemeKind::kSpecial, 80}},
      {"wss", {SchemeKind::kSpecial, 443}},
      {"ftp", {SchemeKind::kSpecial, 21}},
      {"file", {SchemeKind::kFile, std::nullopt}},
  }};
  for (const KnownScheme& known : kKnownSchemes) {
    if (known.name == scheme) return known.info;
  }
  return {};
}

bool IsAsciiAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsSchemeCharacter(char c) {
  return IsAsciiAlpha(c) || IsAsciiDigit(c) || c == '+' || c == '-' || c == '.';
}

// The port's digits as a number; nothing when it is not one or exceeds 65535.
std::optional<uint32_t> ParsePort(std::string_view digits) {
  uint32_t port = 0;
  for (char c : digits) {
    if (!IsAsciiDigit(c)) return std::nullopt;
    port = port * 10 + static_cast<uint32_t>(c - '0');
    if (port > 65535) return std::nullopt;
  }
  return port;
}

// Where the host ends in "host[:port]": the first ":" outside brackets.
size_t FindPortColon(std::string_view host_and_port) {
  bool inside_brackets = false;
  for (size_t i = 0; i < host_and_port.size(); ++i) {
    if (host_and_port[i] == '[') inside_brackets = true;
    if (host_and_port[i] == ']') inside_brackets = false;
    if (host_and_port[i] == ':' && !inside_brackets) return i;
  }
  return std::string_view::npos;
}

// Reads the prepared input from left to right and writes the canonical URL
// as it goes; any invalid component makes the whole URL invalid.
class UrlCanonicalizer {
 public:
  explicit UrlCanonicalizer(std::string_view input) : input_(input) {}

  std::optional<CanonicalUrl> Run() {
    if (!ParseScheme()) return std::nullopt;
    if (!ParseHierarchy()) return std::nullopt;
    ParseQueryAndFragment();
    return std::move(url_);
  }

 private:
  bool IsSpecial() const { return scheme_.kind != SchemeKind::kOther; }

  bool IsAuthorityEnd(char c) const {
    return c == '/' || c == '?' || c == '#' || (c == '\\' && IsSpecial());
  }

  bool IsSlash(char c) const { return c == '/' || (c == '\\' && IsSpecial()); }

  bool Remaining(std::string_view prefix) const { return input_.substr(pos_).starts_with(prefix); }

  size_t FindAuthorityEnd() const {
    size_t end = pos_;
    while (end < input_.size() && !IsAuthorityEnd(input_[end])) ++end;
    return end;
  }

  bool ParseScheme() {
    const size_t colon = input_.find(':');
    if (colon == std::string_view::npos || colon == 0 || !IsAsciiAlpha(input_[0])) return false;
    const std::string_view scheme = input_.substr(0, colon);
    for (char c : scheme) {
      if (!IsSchemeCharacter(c)) return false;
    }
    url_.serialized = ToLowerASCII(scheme);
    url_.scheme = {0, colon};
    url_.serialized += ':';
    scheme_ = LookUpScheme(Text(url_.scheme));
    pos_ = colon + 1;
    return true;
  }

  bool ParseHierarchy() {
    switch (scheme_.kind) {
      case SchemeKind::kSpecial:
        while (pos_ < input_.size() && IsSlash(input_[pos_])) ++pos_;
        if (!ParseAuthority()) return false;
        ParsePath(PathStyle::kSpecial);
        return true;
      case SchemeKind::kFile:
        if (!ParseFileHost()) return false;
        ParsePath(PathStyle::kFile);
        return true;
      case SchemeKind::kOther:
        if (Remaining("//")) {
          pos_ += 2;
          if (!ParseAuthority()) return false;
          ParsePath(PathStyle::kOther);
        } else if (Remaining("/")) {
          ParsePath(PathStyle::kOther);
          KeepPathFromReadingAsHost();
        } else {
          ParseOpaquePath();
        }
        return true;
    }
    return false;
  }

  bool ParseAuthority() {
    const size_t end = FindAuthorityEnd();
    std::string_view authority = input_.substr(pos_, end - pos_);
    pos_ = end;
    std::string_view userinfo;
    const size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
      userinfo = authority.substr(0, at);
      authority.remove_prefix(at + 1);
      if (authority.empty()) return false;
    }
    const size_t colon = FindPortColon(authority);
    const std::string_view host_text = authority.substr(0, colon);
    std::optional<uint32_t> port;
    if (colon != std::string_view::npos) {
      if (host_text.empty()) return false;
      const std::string_view port_text = authority.substr(colon + 1);
      port = ParsePort(port_text);
      if (!port) return false;
      if (port_text.empty() || port == scheme_.default_port) port.reset();
    }
    if (host_text.empty() && IsSpecial()) return false;
    const std::optional<std::string> host =
        IsSpecial() ? CanonicalizeSpecialHost(host_text) : CanonicalizeOpaqueHost(host_text);
    if (!host) return false;
    url_.serialized += "//";
    AppendUserinfo(userinfo);
    AppendHost(*host);
    if (port) AppendPort(*port);
    return true;
  }

  void AppendUserinfo(std::string_view userinfo) {
    const size_t colon = userinfo.find(':');
    const std::string_view username = userinfo.substr(0, colon);
    const std::string_view password =
        colon == std::string_view::npos ? std::string_view() : userinfo.substr(colon + 1);
    if (username.empty() && password.empty()) return;
    url_.username = AppendEncoded(username, EncodeSet::kUserinfo);
    if (!password.empty()) {
      url_.serialized += ':';
      url_.password = AppendEncoded(password, EncodeSet::kUserinfo);
    }
    url_.serialized += '@';
  }

  void AppendHost(std::string_view host) {
    url_.host = UrlRange{url_.serialized.size(), host.size()};
    url_.serialized += host;
  }

  void AppendPort(uint32_t port) {
    url_.serialized += ':';
    const std::string digits = std::to_string(port);
    url_.port = UrlRange{url_.serialized.size(), digits.size()};
    url_.serialized += digits;
  }

  // A file URL always has a host, often empty; "localhost" means the same.
  // A drive letter where the host would be ("file://C:/") starts the path.
  bool ParseFileHost() {
    url_.serialized += "//";
    if (pos_ + 1 < input_.size() && IsSlash(input_[pos_]) && IsSlash(input_[pos_ + 1])) {
      const size_t host_begin = pos_ + 2;
      pos_ = host_begin;
      const size_t end = FindAuthorityEnd();
      const std::string_view host_text = input_.substr(host_begin, end - host_begin);
      if (IsWindowsDriveLetter(host_text)) {
        AppendHost("");
        return true;
      }
      pos_ = end;
      if (host_text.empty()) {
        AppendHost("");
        return true;
      }
      const std::optional<std::string> host = CanonicalizeSpecialHost(host_text);
      if (!host) return false;
      AppendHost(*host == "localhost" ? "" : *host);
      return true;
    }
    AppendHost("");
    return true;
  }

  void ParsePath(PathStyle style) {
    const size_t end = input_.find_first_of("?#", pos_);
    const std::string_view path = input_.substr(pos_, end - pos_);
    pos_ = end == std::string_view::npos ? input_.size() : end;
    const size_t begin = url_.serialized.size();
    AppendCanonicalPath(path, style, url_.serialized);
    url_.path = UrlRange{begin, url_.serialized.size() - begin};
  }

  // Without a host, a path starting with "//" would read back as one; "/."
  // in front keeps the meaning and is not part of the path.
  void KeepPathFromReadingAsHost() {
    if (!Text(url_.path).starts_with("//")) return;
    url_.serialized.insert(url_.path.begin, "/.");
    url_.path.begin += 2;
  }

  void ParseOpaquePath() {
    const size_t end = input_.find_first_of("?#", pos_);
    const std::string_view path = input_.substr(pos_, end - pos_);
    pos_ = end == std::string_view::npos ? input_.size() : end;
    url_.path = AppendEncoded(path, EncodeSet::kC0Control);
  }

  void ParseQueryAndFragment() {
    if (pos_ < input_.size() && input_[pos_] == '?') {
      const size_t end = input_.find('#', pos_);
      const std::string_view query = input_.substr(pos_ + 1, end - pos_ - 1);
      pos_ = end == std::string_view::npos ? input_.size() : end;
      url_.serialized += '?';
      url_.query = AppendEncoded(query, IsSpecial() ? EncodeSet::kSpecialQuery : EncodeSet::kQuery);
    }
    if (pos_ < input_.size() && input_[pos_] == '#') {
      url_.serialized += '#';
      url_.fragment = AppendEncoded(input_.substr(pos_ + 1), EncodeSet::kFragment);
      pos_ = input_.size();
    }
  }

  UrlRange AppendEncoded(std::string_view text, EncodeSet set) {
    const size_t begin = url_.serialized.size();
    AppendPercentEncoded(text, set, url_.serialized);
    return {begin, url_.serialized.size() - begin};
  }

  std::string_view Text(UrlRange range) const { return url_.Text(range); }

  const std::string_view input_;
  size_t pos_ = 0;
  SchemeInfo scheme_;
  CanonicalUrl url_;
};

}  // namespace

std::optional<CanonicalUrl> CanonicalizeUrl(std::u16string_view text) {
  const std::optional<std::string> input = PrepareUrlInput(text);
  if (!input) return std::nullopt;
  return UrlCanonicalizer(*input).Run();
}

}  // namespace updater
