// Canonicalises arbitrary UTF-16 text as a URL and takes its download file
// name. The first byte picks a start the text is appended to, so that most
// runs reach past the scheme. A canonical URL must be printable ASCII with
// its components inside it, and a name must be printable ASCII that one file
// can hold on Linux and Windows: no separator, wildcard or <>:"|, and no
// trailing dot or blank (so never "." or "..").
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "url/canonical_url.h"
#include "url/download_file_name.h"

namespace {

constexpr const char16_t* kStarts[] = {u"", u"http://", u"https://h/", u"file:", u"foo:", u"ws:\\"};

void CheckRange(const updater::CanonicalUrl& url, const std::optional<updater::UrlRange>& range) {
  if (range && (range->begin > url.serialized.size() ||
                range->length > url.serialized.size() - range->begin)) {
    std::abort();
  }
}

void CheckCanonicalUrl(const updater::CanonicalUrl& url) {
  for (char c : url.serialized) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) std::abort();
  }
  for (const auto& range : {std::optional(url.scheme), url.username, url.password, url.host,
                            url.port, std::optional(url.path), url.query, url.fragment}) {
    CheckRange(url, range);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::u16string text = kStarts[data[0] % std::size(kStarts)];
  for (size_t i = 1; i + 1 < size; i += 2) {
    text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  if (const std::optional<updater::CanonicalUrl> url = updater::CanonicalizeUrl(text)) {
    CheckCanonicalUrl(*url);
  }
  const std::string name = updater::DownloadFileName(text);
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E ||
        std::string_view("/\\*?<>:\"|").find(c) != std::string::npos) {
      std::abort();
    }
  }
  if (!name.empty() && (name.back() == '.' || name.back() == ' ')) std::abort();
  return 0;
}
