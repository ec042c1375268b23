#ifndef KERNEL_OBJECTS_KERNEL_OBJECT_TYPES_H_
#define KERNEL_OBJECTS_KERNEL_OBJECT_TYPES_H_

// The values the named kernel objects (kernel_objects.h) take and give.

#include <cstddef>
#include <cstdint>
#include <string>

namespace updater {

inline constexpr size_t kMaxKernelObjectNameLength = 1024;

enum class KernelObjectKind { kEvent, kMutex };

inline constexpr uint32_t kInfiniteWait = 0xFFFFFFFF;
inline constexpr int kWaitTimedOut = -1;
inline constexpr int kWaitFailed = -2;
inline constexpr size_t kMaxWaitEvents = 64;

enum class MutexAcquireResult {
  kAcquired,
  kBusy,       // owned through another handle
  kAbandoned,  // acquired; the previous owner vanished without releasing
  kFailed,     // invalid handle or platform failure
};

struct KernelObjectInfo {
  std::u16string name;
  KernelObjectKind kind;
  bool signaled_or_owned;  // an event's state, or whether a mutex is owned
};

}  // namespace updater

#endif  // KERNEL_OBJECTS_KERNEL_OBJECT_TYPES_H_
