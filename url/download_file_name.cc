#include "url/download_file_name.h"

#include <optional>

#include "base/string_util.h"
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

// Wildcards would make the name a pattern to whoever deletes by it; the rest
// cannot be part of one file's name on Windows, where the same service is
// asked.
constexpr std::string_view kForbiddenCharacters = "*?<>:\"|";

bool HoldsForbiddenCharacter(std::string_view name) {
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || kForbiddenCharacters.find(c) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

// Windows opens a device for these, with any extension and in any case.
bool IsReservedDeviceName(std::string_view name) {
  const std::string base = ToLowerASCII(name.substr(0, name.find('.')));
  static constexpr std::string_view kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
  for (const std::string_view device : kDevices) {
    if (base == device) return true;
  }
  return base.size() == 4 && (base.starts_with("com") || base.starts_with("lpt")) &&
         base[3] >= '1' && base[3] <= '9';
}

bool IsUsableFileName(std::string_view name) {
  // A trailing dot or blank is dropped by Windows, which also makes "." and
  // ".." and every name of dots alone unusable.
  return !name.empty() && name.back() != '.' && name.back() != ' ' && !HoldsEscapedControl(name) &&
         !HoldsForbiddenCharacter(name) && !IsReservedDeviceName(name);
}

}  // namespace

std::string DownloadFileName(std::u16string_view download_url) {
  const std::optional<CanonicalUrl> url = CanonicalizeUrl(download_url);
  if (!url) return {};
  const std::string_view name = LastPathSegment(url->Text(url->path));
  return IsUsableFileName(name) ? std::string(name) : std::string();
}

}  // namespace updater
