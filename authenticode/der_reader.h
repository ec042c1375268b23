#ifndef AUTHENTICODE_DER_READER_H_
#define AUTHENTICODE_DER_READER_H_

#include <cstdint>
#include <optional>
#include <span>

namespace updater {

inline constexpr uint8_t kDerSequence = 0x30;
inline constexpr uint8_t kDerObjectIdentifier = 0x06;
inline constexpr uint8_t kDerOctetString = 0x04;
inline constexpr uint8_t kDerNull = 0x05;
inline constexpr uint8_t kDerInteger = 0x02;
inline constexpr uint8_t kDerSet = 0x31;

struct DerElement {
  uint8_t tag = 0;
  std::span<const uint8_t> value;
};

// Reads consecutive DER elements: one-byte tags and definite lengths only,
// each length checked against the bytes that are left.
class DerReader {
 public:
  explicit DerReader(std::span<const uint8_t> data) : rest_(data) {}

  // The next element, or nothing when it is malformed or missing.
  std::optional<DerElement> Next();
  // The next element when it carries `tag`.
  std::optional<DerElement> Next(uint8_t tag);
  // Skips the next element when it carries `tag`.
  void SkipOptional(uint8_t tag);

  bool AtEnd() const { return rest_.empty(); }
  // What has not been read yet.
  std::span<const uint8_t> rest() const { return rest_; }

 private:
  std::span<const uint8_t> rest_;
};

}  // namespace updater

#endif  // AUTHENTICODE_DER_READER_H_
