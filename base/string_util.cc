#include "base/string_util.h"

#include <algorithm>

namespace updater {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

bool IsContinuationByte(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Decodes one code point at `pos`, advancing it; returns U+FFFD for a
// malformed sequence and then skips only its first byte.
char32_t DecodeUTF8(std::string_view text, size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos++]);
  if (lead < 0x80) return lead;
  size_t length;
  char32_t code_point;
  char32_t minimum;
  if ((lead & 0xE0) == 0xC0) {
    length = 1, code_point = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 2, code_point = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 3, code_point = lead & 0x07, minimum = 0x10000;
  } else {
    return kReplacementCharacter;
  }
  if (text.size() - pos < length) return kReplacementCharacter;
  for (size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[pos + i]);
    if (!IsContinuationByte(byte)) return kReplacementCharacter;
    code_point = (code_point << 6) | (byte & 0x3F);
  }
  if (code_point < minimum || code_point > 0x10FFFF ||
      (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return kReplacementCharacter;
  }
  pos += length;
  return code_point;
}

void AppendUTF8(char32_t code_point, std::string& out) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

std::u16string UTF8ToUTF16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t code_point = DecodeUTF8(utf8, pos);
    if (code_point < 0x10000) {
      out.push_back(static_cast<char16_t>(code_point));
    } else {
      const char32_t offset = code_point - 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
    }
  }
  return out;
}

std::string UTF16ToUTF8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    const char16_t c = utf16[i];
    if (IsHighSurrogate(c) && i + 1 < utf16.size() && IsLowSurrogate(utf16[i + 1])) {
      AppendUTF8(0x10000 + ((char32_t{c} - 0xD800) << 10) + (utf16[i + 1] - 0xDC00), out);
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      AppendUTF8(kReplacementCharacter, out);
    } else {
      AppendUTF8(c, out);
    }
  }
  return out;
}

std::u16string ASCIIToUTF16(std::string_view ascii) {
  std::u16string out(ascii.size(), u'\0');
  std::transform(ascii.begin(), ascii.end(), out.begin(),
                 [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
  return out;
}

bool IsStringASCII(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
}

bool IsUnicodeWhitespace(char16_t c) {
  return (c >= 0x0009 && c <= 0x000D) || c == 0x0020 || c == 0x0085 || c == 0x00A0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

std::u16string_view TrimWhitespace(std::u16string_view text) {
  while (!text.empty() && IsUnicodeWhitespace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsUnicodeWhitespace(text.back())) text.remove_suffix(1);
  return text;
}

std::u16string ToLowerASCII(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = ToLowerASCII(c);
  return out;
}

std::string ToLowerASCII(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ToLowerASCII(c);
  return out;
}

bool EqualsCaseInsensitiveASCII(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return ToLowerASCII(x) == ToLowerASCII(y);
         });
}

}  // namespace updater
