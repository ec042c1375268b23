#ifndef URL_CANONICAL_URL_H_
#define URL_CANONICAL_URL_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace updater {

// Where a component lies in the canonical text, delimiters excluded.
struct UrlRange {
  size_t begin = 0;
  size_t length = 0;
};

// An absolute URL in canonical form: ASCII text, and the place of each
// component in it. Absent components are empty optionals; a present one may
// still be empty ("http://h/?" has an empty query).
struct CanonicalUrl {
  std::string serialized;
  UrlRange scheme;  // lower case, without ":"
  std::optional<UrlRange> username;
  std::optional<UrlRange> password;
  std::optional<UrlRange> host;
  std::optional<UrlRange> port;  // absent when it is the scheme's default
  UrlRange path;
  std::optional<UrlRange> query;     // without "?"
  std::optional<UrlRange> fragment;  // without "#"

  std::string_view Text(UrlRange range) const {
    return std::string_view(serialized).substr(range.begin, range.length);
  }
};

// Parses UTF-16 text as an absolute URL and canonicalises it the way web
// browsers do. For http, https, ws, wss, ftp and file, "\" separates path
// segments like "/", "." and ".." segments are resolved, the host goes
// through UTS #46 (international names become "xn--" labels) or is read as
// an IPv4 or IPv6 address, and default ports are dropped. Every component
// escapes what lies outside the URL character set as %XX of its UTF-8 bytes
// and keeps existing escapes. Nothing when the text is no absolute URL.
std::optional<CanonicalUrl> CanonicalizeUrl(std::u16string_view text);

}  // namespace updater

#endif  // URL_CANONICAL_URL_H_
