#ifndef HTTP_HEADER_VALUES_H_
#define HTTP_HEADER_VALUES_H_

#include <string>
#include <string_view>
#include <vector>

namespace updater {

// The distinct values captured by the single group of `pattern` in `text`,
// in the order found, letter case ignored; empty when nothing matches or the
// pattern is invalid.
std::vector<std::u16string> FindHeaderValues(std::u16string_view pattern, std::u16string_view text);

// The first of them, or an empty string.
std::u16string FindFirstHeaderValue(std::u16string_view pattern, std::u16string_view text);

}  // namespace updater

#endif  // HTTP_HEADER_VALUES_H_
