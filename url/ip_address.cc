#include "url/ip_address.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace updater {
namespace {

using IPv6Pieces = std::array<uint16_t, 8>;

// Saturates here: anything above 2^32 is as invalid as any larger value.
constexpr uint64_t kNumberCeiling = uint64_t{1} << 33;

bool IsDecimalDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexDigitValue(char c) {
  if (IsDecimalDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::vector<std::string_view> SplitLabels(std::string_view host) {
  std::vector<std::string_view> labels;
  size_t start = 0;
  for (size_t dot = host.find('.'); dot != std::string_view::npos; dot = host.find('.', start)) {
    labels.push_back(host.substr(start, dot - start));
    start = dot + 1;
  }
  labels.push_back(host.substr(start));
  return labels;
}

// One part of an IPv4 host in its radix; nothing when it holds other digits.
std::optional<uint64_t> ParseIPv4Number(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int radix = 10;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    radix = 16;
    text.remove_prefix(2);
  } else if (text.size() >= 2 && text[0] == '0') {
    radix = 8;
    text.remove_prefix(1);
  }
  uint64_t value = 0;
  for (char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0 || digit >= radix) return std::nullopt;
    value = std::min(value * static_cast<uint64_t>(radix) + static_cast<uint64_t>(digit),
                     kNumberCeiling);
  }
  return value;
}

std::string SerializeIPv4(uint32_t address) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    if (!text.empty()) text += '.';
    text += std::to_string((address >> shift) & 0xFF);
  }
  return text;
}

// Reads the dotted IPv4 tail of an IPv6 address into two pieces.
bool ParseEmbeddedIPv4(std::string_view text, IPv6Pieces& pieces, size_t& piece_index) {
  if (piece_index > 6) return false;
  int numbers_seen = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (numbers_seen > 0) {
      if (text[i] != '.' || numbers_seen >= 4) return false;
      ++i;
    }
    if (i == text.size() || !IsDecimalDigit(text[i])) return false;
    int part = -1;
    for (; i < text.size() && IsDecimalDigit(text[i]); ++i) {
      if (part == 0) return false;  // no leading zeros
      part = (part < 0 ? 0 : part * 10) + (text[i] - '0');
      if (part > 255) return false;
    }
    pieces[piece_index] = static_cast<uint16_t>(pieces[piece_index] * 0x100 + part);
    ++numbers_seen;
    if (numbers_seen == 2 || numbers_seen == 4) ++piece_index;
  }
  return numbers_seen == 4;
}

std::optional<IPv6Pieces> ParseIPv6(std::string_view text) {
  IPv6Pieces pieces{};
  size_t piece_index = 0;
  std::optional<size_t> compress;
  size_t i = 0;
  if (!text.empty() && text[0] == ':') {
    if (text.size() < 2 || text[1] != ':') return std::nullopt;
    i = 2;
    compress = ++piece_index;
  }
  while (i < text.size()) {
    if (piece_index == 8) return std::nullopt;
    if (text[i] == ':') {
      if (compress) return std::nullopt;
      ++i;
      compress = ++piece_index;
      continue;
    }
    unsigned value = 0;
    size_t length = 0;
    for (; length < 4 && i < text.size() && HexDigitValue(text[i]) >= 0; ++length, ++i) {
      value = value * 16 + static_cast<unsigned>(HexDigitValue(text[i]));
    }
    if (i < text.size() && text[i] == '.') {
      if (length == 0 || !ParseEmbeddedIPv4(text.substr(i - length), pieces, piece_index)) {
        return std::nullopt;
      }
      break;
    }
    if (i < text.size() && text[i] == ':') {
      if (++i == text.size()) return std::nullopt;
    } else if (i < text.size()) {
      return std::nullopt;
    }
    pieces[piece_index++] = static_cast<uint16_t>(value);
  }
  if (!compress) {
    if (piece_index != 8) return std::nullopt;
    return pieces;
  }
  // Moves the pieces after "::" to the end of the address.
  size_t swaps = piece_index - *compress;
  for (size_t last = 7; last != 0 && swaps > 0; --last, --swaps) {
    std::swap(pieces[last], pieces[*compress + swaps - 1]);
  }
  return pieces;
}

// The first longest run of at least two zero pieces, as [begin, end).
std::pair<size_t, size_t> LongestZeroRun(const IPv6Pieces& pieces) {
  std::pair<size_t, size_t> best{8, 8};
  size_t best_length = 1;
  for (size_t begin = 0; begin < 8;) {
    if (pieces[begin] != 0) {
      ++begin;
      continue;
    }
    size_t end = begin;
    while (end < 8 && pieces[end] == 0) ++end;
    if (end - begin > best_length) {
      best = {begin, end};
      best_length = end - begin;
    }
    begin = end;
  }
  return best;
}

std::string SerializeIPv6(const IPv6Pieces& pieces) {
  static constexpr char kHexDigits[] = "0123456789abcdef";
  const auto [zero_begin, zero_end] = LongestZeroRun(pieces);
  std::string text;
  for (size_t index = 0; index < 8; ++index) {
    if (index == zero_begin) {
      text += index == 0 ? "::" : ":";
      index = zero_end - 1;
      continue;
    }
    bool leading = true;
    for (int shift = 12; shift >= 0; shift -= 4) {
      const unsigned digit = (pieces[index] >> shift) & 0xF;
      if (leading && digit == 0 && shift != 0) continue;
      leading = false;
      text += kHexDigits[digit];
    }
    if (index != 7) text += ':';
  }
  return text;
}

}  // namespace

bool EndsInANumber(std::string_view host) {
  std::vector<std::string_view> labels = SplitLabels(host);
  if (labels.back().empty()) {
    if (labels.size() == 1) return false;
    labels.pop_back();
  }
  const std::string_view last = labels.back();
  if (!last.empty() && last.find_first_not_of("0123456789") == std::string_view::npos) {
    return true;
  }
  return ParseIPv4Number(last).has_value();
}

std::optional<std::string> CanonicalizeIPv4(std::string_view host) {
  std::vector<std::string_view> parts = SplitLabels(host);
  if (parts.back().empty() && parts.size() > 1) parts.pop_back();
  if (parts.size() > 4) return std::nullopt;
  std::vector<uint64_t> numbers;
  for (std::string_view part : parts) {
    const std::optional<uint64_t> number = ParseIPv4Number(part);
    if (!number) return std::nullopt;
    numbers.push_back(*number);
  }
  for (size_t i = 0; i + 1 < numbers.size(); ++i) {
    if (numbers[i] > 255) return std::nullopt;
  }
  const size_t tail_bytes = 5 - numbers.size();
  if (numbers.back() >= (uint64_t{1} << (8 * tail_bytes))) return std::nullopt;
  uint64_t address = numbers.back();
  for (size_t i = 0; i + 1 < numbers.size(); ++i) {
    address += numbers[i] << (8 * (3 - i));
  }
  return SerializeIPv4(static_cast<uint32_t>(address));
}

std::optional<std::string> CanonicalizeIPv6(std::string_view address) {
  const std::optional<IPv6Pieces> pieces = ParseIPv6(address);
  if (!pieces) return std::nullopt;
  return SerializeIPv6(*pieces);
}

}  // namespace updater
