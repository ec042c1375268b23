#include "url/download_file_name.h"

#include <optional>

#include "url/canonical_url.h"

namespace updater {
namespace {

// Scanning back from the end: a ";" cuts off what follows it, the first
// slash ends the name.
std::string_view LastPathSegment(std::string_view path) {
  size_t end = path.size();
  for (size_t i = path.size(); i > 0; --i) {
    const char c = path[i - 1];
    if (c == ';') end = i - 1;
    if (c == '/' || c == '\\') return path.substr(i, end - i);
  }
  return path.substr(0, end);
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "%00" to "%1F" and "%7F": a name that decodes to a control character is
// never an installer's, and whoever decodes it later must not get one.
bool HoldsEscapedControl(std::string_view name) {
  for (size_t i = 0; i + 2 < name.size(); ++i) {
    if (name[i] != '%' || !IsHexDigit(name[i + 2])) continue;
    if (name[i + 1] == '0' || name[i + 1] == '1') return true;
    if (name[i + 1] == '7' && (name[i + 2] == 'f' || name[i + 2] == 'F')) return true;
  }
  return false;
}

bool IsUsableFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && !HoldsEscapedControl(name);
}

}  // namespace

std::string DownloadFileName(std::u16string_view download_url) {
  const std::optional<CanonicalUrl> url = CanonicalizeUrl(download_url);
  if (!url) return {};
  const std::string_view name = LastPathSegment(url->Text(url->path));
  return IsUsableFileName(name) ? std::string(name) : std::string();
}

}  // namespace updater
