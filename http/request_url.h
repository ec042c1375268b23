#ifndef HTTP_REQUEST_URL_H_
#define HTTP_REQUEST_URL_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace updater {

// An absolute http or https URL split into the parts a request needs. The
// path keeps its "?" query, as written.
struct RequestUrl {
  bool secure = false;
  std::u16string host;
  uint16_t port = 0;
  std::u16string path;
};

// Longest host name and path (query included) the request accepts, in
// UTF-16 code units; longer ones do not fit the buffers the platform uses.
constexpr size_t kMaxHostLength = 259;
constexpr size_t kMaxPathLength = 1299;

// Splits `url`; on failure returns nothing and sets `error`.
std::optional<RequestUrl> CrackRequestUrl(std::u16string_view url, uint32_t& error);

// The request target as it travels: UTF-8, with blanks, control characters,
// non-ASCII characters and "#" percent-encoded; every other printable
// character, "%", "&" and "=" included, stays as written.
std::string EncodeRequestTarget(std::u16string_view path);

// "scheme://host:port" followed by the encoded request target.
std::string ToTransportUrl(const RequestUrl& url);

}  // namespace updater

#endif  // HTTP_REQUEST_URL_H_
