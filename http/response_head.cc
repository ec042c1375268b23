#include "http/response_head.h"

#include <limits>
#include <vector>

#include "http/header_values.h"

namespace updater {
namespace {

constexpr char16_t kCharsetPattern[] = u"charset={[A-Za-z0-9\\-_]+}";
constexpr char16_t kContentLengthPattern[] = u"Content-Length: {[0-9]+}";
constexpr char16_t kLocationPattern[] = u"Location:\\b*{.+?}[\r\n]";
constexpr char16_t kSetCookiePattern[] = u"Set-Cookie:\\b*{.+?}\\n";
constexpr char16_t kHeaderValuePattern[] = u":\\b*{.+?}[\r\n]";

// Decimal digits as a signed 32-bit number, saturating at its maximum.
uint32_t ParseClampedLength(std::u16string_view digits) {
  constexpr uint32_t kMax = std::numeric_limits<int32_t>::max();
  uint64_t value = 0;
  for (char16_t c : digits) {
    value = value * 10 + static_cast<uint32_t>(c - u'0');
    if (value > kMax) return kMax;
  }
  return static_cast<uint32_t>(value);
}

std::u16string_view TrimSpaces(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

// An empty value leaves the pattern's one required character to the line's
// own CR: what is only blanks and line ends is no value, and the next line
// that matches (a name also matches as the tail of a longer one) is asked.
std::u16string FirstNonBlankValue(std::u16string_view pattern, std::u16string_view headers) {
  for (std::u16string& value : FindHeaderValues(pattern, headers)) {
    if (value.find_first_not_of(u" \t\r\n") != std::u16string::npos) return std::move(value);
  }
  return std::u16string();
}

void AppendCookies(const std::vector<std::u16string>& values, std::u16string& cookies) {
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) cookies += u"; ";
    cookies += values[i];
  }
  cookies = std::u16string(TrimSpaces(cookies));
  if (!cookies.empty() && cookies.back() != u';') cookies += u';';
}

}  // namespace

void ReadResponseHeadFields(std::u16string_view headers,
                            bool force_charset,
                            ResponseHeadFields& fields) {
  if (!force_charset) {
    if (auto charset = FindFirstHeaderValue(kCharsetPattern, headers); !charset.empty()) {
      fields.charset = std::move(charset);
    }
  }
  if (auto length = FindFirstHeaderValue(kContentLengthPattern, headers); !length.empty()) {
    fields.content_length = ParseClampedLength(length);
  }
  if (auto location = FirstNonBlankValue(kLocationPattern, headers); !location.empty()) {
    fields.location = std::move(location);
  }
  if (auto cookies = FindHeaderValues(kSetCookiePattern, headers); !cookies.empty()) {
    AppendCookies(cookies, fields.cookies);
  }
}

std::u16string FindResponseHeader(std::u16string_view headers, std::u16string_view name) {
  std::u16string pattern(name);
  pattern += kHeaderValuePattern;
  return FirstNonBlankValue(pattern, headers);
}

std::u16string WidenHeaderBlock(std::string_view raw) {
  std::u16string block;
  block.reserve(raw.size());
  size_t start = 0;
  while (start < raw.size()) {
    size_t end = raw.find('\n', start);
    if (end == std::string_view::npos) end = raw.size();
    std::string_view line = raw.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    for (char c : line) block.push_back(static_cast<unsigned char>(c));
    block += u"\r\n";
  }
  return block;
}

}  // namespace updater
