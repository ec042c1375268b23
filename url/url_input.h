#ifndef URL_URL_INPUT_H_
#define URL_URL_INPUT_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace updater {

// Longer input is refused rather than parsed (the size browsers accept).
inline constexpr size_t kMaxUrlLength = 2 * 1024 * 1024;

// Turns URL text into the UTF-8 bytes the parser reads: leading and trailing
// C0 controls and spaces are trimmed and every tab, LF and CR is removed.
// Text longer than kMaxUrlLength or with an unpaired surrogate names no URL.
std::optional<std::string> PrepareUrlInput(std::u16string_view text);

}  // namespace updater

#endif  // URL_URL_INPUT_H_
