#include "http/body_buffer.h"

#include <cstring>
#include <limits>

#include "http/body_memory_platform.h"

namespace updater {
namespace {

// The body size is kept as an unsigned 32-bit number.
constexpr size_t kMaxCapacity = std::numeric_limits<uint32_t>::max();

}  // namespace

BodyBuffer::~BodyBuffer() {
  Release();
}

bool BodyBuffer::Reset(size_t expected_size) {
  Release();
  if (expected_size >= kInitialCapacity && expected_size < kMaxCapacity &&
      Reserve(expected_size + 1)) {
    return true;
  }
  return Reserve(kInitialCapacity);
}

bool BodyBuffer::Append(std::span<const uint8_t> bytes) {
  if (!data_) return false;
  if (bytes.size() >= kMaxCapacity - size_) return false;
  const size_t needed = size_ + bytes.size() + 1;
  if (needed > capacity_) {
    size_t capacity = capacity_;
    while (capacity < needed) capacity = capacity > kMaxCapacity / 2 ? kMaxCapacity : capacity * 2;
    if (!Reserve(capacity)) return false;
  }
  std::memcpy(data_ + size_, bytes.data(), bytes.size());
  size_ += bytes.size();
  data_[size_] = 0;
  return true;
}

void BodyBuffer::Release() {
  platform::FreeBodyMemory(data_);
  data_ = nullptr;
  size_ = 0;
  capacity_ = 0;
}

// Pages beyond the zero byte are never written, so a reservation for a
// Content-Length that lies costs address space, not memory.
bool BodyBuffer::Reserve(size_t capacity) {
  void* grown = platform::ResizeBodyMemory(data_, capacity);
  if (!grown) return false;
  data_ = static_cast<uint8_t*>(grown);
  capacity_ = capacity;
  data_[size_] = 0;
  return true;
}

}  // namespace updater
