#ifndef HTTP_BODY_TEXT_H_
#define HTTP_BODY_TEXT_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace updater {

// The body as wide text up to its first zero character: UTF-8 when `charset`
// begins with "utf-8" (any letter case), else the fixed single-byte character
// set that stands in for the system code page (Windows-1252).
std::u16string DecodeBodyText(std::span<const uint8_t> body, std::u16string_view charset);

}  // namespace updater

#endif  // HTTP_BODY_TEXT_H_
