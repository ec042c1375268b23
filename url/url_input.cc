#include "url/url_input.h"

#include "base/string_util.h"

namespace updater {
namespace {

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

bool IsWellFormedUTF16(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsLowSurrogate(text[i])) return false;
    if (!IsHighSurrogate(text[i])) continue;
    if (i + 1 == text.size() || !IsLowSurrogate(text[i + 1])) return false;
    ++i;
  }
  return true;
}

bool IsC0ControlOrSpace(char16_t c) {
  return c <= u' ';
}

bool IsTabOrNewline(char c) {
  return c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

std::optional<std::string> PrepareUrlInput(std::u16string_view text) {
  if (text.size() > kMaxUrlLength || !IsWellFormedUTF16(text)) return std::nullopt;
  while (!text.empty() && IsC0ControlOrSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsC0ControlOrSpace(text.back())) text.remove_suffix(1);
  std::string prepared = UTF16ToUTF8(text);
  std::erase_if(prepared, IsTabOrNewline);
  return prepared;
}

}  // namespace updater
