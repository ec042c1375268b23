#ifndef AUTHENTICODE_BYTE_READING_H_
#define AUTHENTICODE_BYTE_READING_H_

#include <cstddef>
#include <cstdint>
#include <span>

namespace updater {

// Little-endian reads; the caller has checked that the bytes are there.
inline uint16_t ReadLittleEndian16(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

inline uint32_t ReadLittleEndian32(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint32_t>(bytes[offset]) | (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
         (static_cast<uint32_t>(bytes[offset + 2]) << 16) |
         (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

}  // namespace updater

#endif  // AUTHENTICODE_BYTE_READING_H_
