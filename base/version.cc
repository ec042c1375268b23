#include "base/version.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace updater {
namespace {

bool ParsePiece(std::string_view piece, bool first, uint32_t& value) {
  if (piece.empty() ||
      !std::all_of(piece.begin(), piece.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  if (first && piece.size() > 1 && piece.front() == '0') return false;
  // Later pieces may carry any number of leading zeros.
  const std::string_view digits =
      piece.substr(std::min(piece.find_first_not_of('0'), piece.size()));
  constexpr size_t kMaxDigits = std::numeric_limits<uint32_t>::digits10 + 1;
  if (digits.size() > kMaxDigits) return false;
  uint64_t wide = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), wide);
  if (wide > std::numeric_limits<uint32_t>::max()) return false;
  value = static_cast<uint32_t>(wide);
  return true;
}

bool AnyAboveZero(const std::vector<uint32_t>& list, size_t from) {
  return std::any_of(list.begin() + static_cast<std::ptrdiff_t>(from), list.end(),
                     [](uint32_t c) { return c > 0; });
}

}  // namespace

Version ParseVersion(std::string_view text) {
  if (text.empty()) return Version();
  std::vector<uint32_t> components;
  size_t start = 0;
  while (true) {
    const size_t dot = text.find('.', start);
    const std::string_view piece = text.substr(start, dot - start);
    uint32_t value;
    if (!ParsePiece(piece, components.empty(), value)) return Version();
    components.push_back(value);
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return Version(std::move(components));
}

int Version::CompareTo(const Version& other) const {
  const std::vector<uint32_t>& a = components_;
  const std::vector<uint32_t>& b = other.components_;
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    if (a[i] > b[i]) return 1;
    if (a[i] < b[i]) return -1;
  }
  if (a.size() > common) return AnyAboveZero(a, common) ? 1 : 0;
  if (b.size() > common) return AnyAboveZero(b, common) ? -1 : 0;
  return 0;
}

}  // namespace updater
