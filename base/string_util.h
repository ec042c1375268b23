#ifndef BASE_STRING_UTIL_H_
#define BASE_STRING_UTIL_H_

#include <string>
#include <string_view>

namespace updater {

// UTF-8 <-> UTF-16. Malformed input never fails: each bad sequence (an
// invalid UTF-8 byte run, a lone surrogate) becomes U+FFFD.
std::u16string UTF8ToUTF16(std::string_view utf8);
std::string UTF16ToUTF8(std::u16string_view utf16);

// Widens each byte; meant for ASCII text.
std::u16string ASCIIToUTF16(std::string_view ascii);
bool IsStringASCII(std::u16string_view text);

// The 25 Unicode white-space characters.
bool IsUnicodeWhitespace(char16_t c);
std::u16string_view TrimWhitespace(std::u16string_view text);

constexpr char16_t ToLowerASCII(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}
constexpr char ToLowerASCII(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}
std::u16string ToLowerASCII(std::u16string_view text);
std::string ToLowerASCII(std::string_view text);

// Equal ignoring the case of ASCII letters only.
bool EqualsCaseInsensitiveASCII(std::string_view a, std::string_view b);

}  // namespace updater

#endif  // BASE_STRING_UTIL_H_
