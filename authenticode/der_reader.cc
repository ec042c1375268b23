#include "authenticode/der_reader.h"

#include <cstddef>

namespace updater {
namespace {

constexpr uint8_t kHighTagNumber = 0x1f;
constexpr uint8_t kLongLengthForm = 0x80;
constexpr size_t kMaxLengthBytes = 4;

}  // namespace

std::optional<DerElement> DerReader::Next() {
  if (rest_.size() < 2 || (rest_[0] & kHighTagNumber) == kHighTagNumber) return std::nullopt;
  const uint8_t tag = rest_[0];
  size_t length = rest_[1];
  size_t header = 2;
  if (length & kLongLengthForm) {
    const size_t length_bytes = length & ~kLongLengthForm;
    if (length_bytes == 0 || length_bytes > kMaxLengthBytes || rest_.size() < 2 + length_bytes) {
      return std::nullopt;  // indefinite or oversized
    }
    length = 0;
    for (size_t i = 0; i < length_bytes; ++i) length = (length << 8) | rest_[2 + i];
    header += length_bytes;
  }
  if (length > rest_.size() - header) return std::nullopt;
  DerElement element{tag, rest_.subspan(header, length)};
  rest_ = rest_.subspan(header + length);
  return element;
}

std::optional<DerElement> DerReader::Next(uint8_t tag) {
  if (rest_.empty() || rest_[0] != tag) return std::nullopt;
  return Next();
}

void DerReader::SkipOptional(uint8_t tag) {
  if (!rest_.empty() && rest_[0] == tag) Next();
}

}  // namespace updater
