#include "http/body_text.h"

#include <algorithm>

#include "base/string_util.h"

namespace updater {
namespace {

// Windows-1252 at 0x80-0x9F; the five unassigned bytes keep their value.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsUtf8Charset(std::u16string_view charset) {
  return charset.size() >= 5 && ToLowerASCII(charset.substr(0, 5)) == u"utf-8";
}

std::u16string DecodeWindows1252(std::span<const uint8_t> bytes) {
  std::u16string text(bytes.size(), u'\0');
  std::transform(bytes.begin(), bytes.end(), text.begin(), [](uint8_t byte) {
    return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80]
                                       : static_cast<char16_t>(byte);
  });
  return text;
}

}  // namespace

std::u16string DecodeBodyText(std::span<const uint8_t> body, std::u16string_view charset) {
  const auto zero = std::find(body.begin(), body.end(), uint8_t{0});
  const std::span<const uint8_t> text_bytes(body.begin(), zero);
  if (IsUtf8Charset(charset)) {
    return UTF8ToUTF16(
        std::string_view(reinterpret_cast<const char*>(text_bytes.data()), text_bytes.size()));
  }
  return DecodeWindows1252(text_bytes);
}

}  // namespace updater
