#include "http/proxy_list.h"

#include "base/string_util.h"

namespace updater {
namespace {

bool IsSeparator(char c) {
  return c == ';' || c == ' ' || c == '\t';
}

std::string ToProxyUrl(std::string_view server) {
  if (server.find("://") != std::string_view::npos) return std::string(server);
  return "http://" + std::string(server);
}

}  // namespace

std::string SelectProxy(std::u16string_view list, bool secure) {
  const std::string text = UTF16ToUTF8(list);
  const std::string_view wanted_scheme = secure ? "https" : "http";
  std::string fallback;
  size_t start = 0;
  while (start < text.size()) {
    if (IsSeparator(text[start])) {
      ++start;
      continue;
    }
    size_t end = start;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    const std::string_view entry(text.data() + start, end - start);
    start = end;
    const size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      if (fallback.empty()) fallback = ToProxyUrl(entry);
    } else if (EqualsCaseInsensitiveASCII(entry.substr(0, equals), wanted_scheme) &&
               equals + 1 < entry.size()) {
      return ToProxyUrl(entry.substr(equals + 1));
    }
  }
  return fallback;
}

}  // namespace updater
