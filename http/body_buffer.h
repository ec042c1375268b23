#ifndef HTTP_BODY_BUFFER_H_
#define HTTP_BODY_BUFFER_H_

#include <cstddef>
#include <cstdint>
#include <span>

namespace updater {

// A response body held once in memory, always followed by a zero byte.
// Unknown lengths grow by doubling; a known length is reserved up front so
// that a large download is not overshot.
class BodyBuffer {
 public:
  static constexpr size_t kInitialCapacity = 10240;

  BodyBuffer() = default;
  BodyBuffer(const BodyBuffer&) = delete;
  BodyBuffer& operator=(const BodyBuffer&) = delete;
  ~BodyBuffer();

  // Drops the earlier body and starts an empty one with room for
  // `expected_size` bytes when that can be had, else for the initial
  // capacity. False when not even that can be had.
  bool Reset(size_t expected_size);

  // Appends `bytes`; false, keeping the earlier bytes, when the buffer
  // cannot grow (the body may not exceed 4294967294 bytes).
  bool Append(std::span<const uint8_t> bytes);

  void Release();

  bool allocated() const { return data_ != nullptr; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  std::span<const uint8_t> bytes() const { return {data_, size_}; }

 private:
  bool Reserve(size_t capacity);

  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace updater

#endif  // HTTP_BODY_BUFFER_H_
