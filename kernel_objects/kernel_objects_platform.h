#ifndef KERNEL_OBJECTS_KERNEL_OBJECTS_PLATFORM_H_
#define KERNEL_OBJECTS_KERNEL_OBJECTS_PLATFORM_H_

// What each platform provides under the named kernel objects; the handle
// classes in kernel_objects.cc add the nesting of mutex ownership.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "kernel_objects/kernel_object_types.h"

namespace updater::platform {

// Platform state of one open handle.
class KernelObjectHandle;
struct KernelObjectHandleCloser {
  void operator()(KernelObjectHandle* handle) const;
};
using KernelObjectHandlePtr = std::unique_ptr<KernelObjectHandle, KernelObjectHandleCloser>;

enum class KernelObjectDisposition {
  kOpenExisting,
  kCreate,
  kCreateOwned,  // owned only when this call creates it
};

struct OpenedKernelObject {
  KernelObjectHandlePtr handle;  // null on failure or when absent
  bool already_existed = false;
  bool owned = false;
};

OpenedKernelObject OpenKernelObject(std::u16string_view name,
                                    KernelObjectKind kind,
                                    KernelObjectDisposition disposition);

void SetEventState(KernelObjectHandle& event, bool signaled);
bool GetEventState(const KernelObjectHandle& event);
// Same contract as WaitForFirstEvent, on valid handles.
int WaitForFirstSignaled(std::span<const KernelObjectHandle* const> events, uint32_t timeout_ms);

// The first level of ownership; never waits.
MutexAcquireResult AcquireMutexOwnership(KernelObjectHandle& mutex);
void ReleaseMutexOwnership(KernelObjectHandle& mutex);

// Same contracts as KernelObjectExists, for a name of a valid length, and
// ListKernelObjects.
bool KernelObjectExists(std::u16string_view name);
bool WaitableEventExists(std::u16string_view name);
std::vector<KernelObjectInfo> ListKernelObjects();

}  // namespace updater::platform

#endif  // KERNEL_OBJECTS_KERNEL_OBJECTS_PLATFORM_H_
