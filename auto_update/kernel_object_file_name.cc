#include "auto_update/kernel_object_file_name.h"

#include <cstdint>

namespace updater {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kHashMarker[] = "%h";
constexpr size_t kHashDigits = 16;

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendHex(std::string& out, uint64_t value, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
    out += kHexDigits[(value >> shift) & 0xF];
  }
}

void AppendUTF8(std::string& out, char32_t code_point) {
  if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (code_point & 0x3F));
}

bool MustEscapeASCII(char16_t c, bool at_start) {
  return c < 0x20 || c == 0x7F || c == u'/' || c == u'%' || (at_start && c == u'.');
}

std::string EscapeName(std::u16string_view name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    if (c < 0x80) {
      if (MustEscapeASCII(c, i == 0)) {
        out += '%';
        AppendHex(out, c, 2);
      } else {
        out += static_cast<char>(c);
      }
    } else if (IsHighSurrogate(c) && i + 1 < name.size() && IsLowSurrogate(name[i + 1])) {
      AppendUTF8(out, 0x10000 + ((char32_t{c} - 0xD800) << 10) + (name[i + 1] - 0xDC00));
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      out += "%u";
      AppendHex(out, c, 4);
    } else {
      AppendUTF8(out, c);
    }
  }
  return out;
}

uint64_t Fnv1a64(std::string_view text) {
  uint64_t hash = 0xCBF29CE484222325ULL;
  for (const char c : text) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ULL;
  }
  return hash;
}

// The longest start of an escaped name that fits in `limit` bytes without
// splitting a UTF-8 sequence or an escape.
size_t CutPoint(std::string_view escaped, size_t limit) {
  size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(escaped[cut]) & 0xC0) == 0x80) {
    --cut;
  }
  const size_t percent = escaped.rfind('%', cut - 1);
  if (percent != std::string_view::npos) {
    const size_t escape_length = escaped[percent + 1] == 'u' ? 6 : 3;
    if (percent + escape_length > cut) {
      cut = percent;
    }
  }
  return cut;
}

}  // namespace

std::string KernelObjectFileName(std::u16string_view name) {
  std::string escaped = EscapeName(name);
  if (escaped.size() <= kMaxKernelObjectFileNameLength) {
    return escaped;
  }
  const uint64_t hash = Fnv1a64(escaped);
  escaped.resize(CutPoint(escaped, kMaxKernelObjectFileNameLength - 2 - kHashDigits));
  escaped += kHashMarker;
  AppendHex(escaped, hash, kHashDigits);
  return escaped;
}

}  // namespace updater
