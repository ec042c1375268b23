#ifndef HTTP_PROXY_LIST_H_
#define HTTP_PROXY_LIST_H_

#include <string>
#include <string_view>

namespace updater {

// Longest proxy list the client accepts, in UTF-16 code units.
constexpr size_t kMaxProxyListLength = 259;

// Picks the proxy for a request from a platform-style proxy list: entries
// separated by ";" or blanks, each "[scheme=][http://]host[:port]". An entry
// for the request's scheme wins over one without a scheme. The result is a
// proxy URL ("http://host:port"), or empty when no entry applies.
std::string SelectProxy(std::u16string_view list, bool secure);

}  // namespace updater

#endif  // HTTP_PROXY_LIST_H_
