#include "url/percent_encode.h"

#include <optional>

namespace updater {
namespace {

bool InFragmentSet(unsigned char byte) {
  return byte == ' ' || byte == '"' || byte == '<' || byte == '>' || byte == '`';
}

bool InQuerySet(unsigned char byte) {
  return byte == ' ' || byte == '"' || byte == '#' || byte == '<' || byte == '>';
}

bool InPathSet(unsigned char byte) {
  return InQuerySet(byte) || byte == '?' || byte == '`' || byte == '{' || byte == '}';
}

bool InUserinfoSet(unsigned char byte) {
  return InPathSet(byte) || byte == '/' || byte == ':' || byte == ';' || byte == '=' ||
         byte == '@' || (byte >= '[' && byte <= '^') || byte == '|';
}

std::optional<unsigned char> HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned char>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned char>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<unsigned char>(c - 'A' + 10);
  return std::nullopt;
}

}  // namespace

bool ShouldPercentEncode(unsigned char byte, EncodeSet set) {
  if (byte < 0x20 || byte > 0x7E) return true;
  switch (set) {
    case EncodeSet::kC0Control:
      return false;
    case EncodeSet::kFragment:
      return InFragmentSet(byte);
    case EncodeSet::kQuery:
      return InQuerySet(byte);
    case EncodeSet::kSpecialQuery:
      return InQuerySet(byte) || byte == '\'';
    case EncodeSet::kPath:
      return InPathSet(byte);
    case EncodeSet::kUserinfo:
      return InUserinfoSet(byte);
  }
  return true;
}

void AppendPercentEncoded(std::string_view text, EncodeSet set, std::string& out) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (!ShouldPercentEncode(byte, set)) {
      out += c;
      continue;
    }
    out += '%';
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
  }
}

std::string PercentDecode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const bool escape_fits = text[i] == '%' && i + 2 < text.size();
    const std::optional<unsigned char> high =
        escape_fits ? HexDigitValue(text[i + 1]) : std::nullopt;
    const std::optional<unsigned char> low = high ? HexDigitValue(text[i + 2]) : std::nullopt;
    if (high && low) {
      decoded += static_cast<char>((*high << 4) | *low);
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

}  // namespace updater
