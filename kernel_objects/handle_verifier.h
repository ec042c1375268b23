#ifndef KERNEL_OBJECTS_HANDLE_VERIFIER_H_
#define KERNEL_OBJECTS_HANDLE_VERIFIER_H_

#include <cstddef>
#include <cstdint>

namespace updater {

// A process-wide record of the kernel handles that the named-object library
// has open. Code in another module of the same process (the executable
// exports GetHandleVerifier for it) can ask whether a handle value is one of
// the library's, which it must then neither use nor close behind the
// library's back, and how many are open. It carries no update logic.
struct HandleVerifier {
  uint32_t size;  // of this structure, for callers built against another one
  size_t (*open_handle_count)();
  bool (*is_library_handle)(const void* handle);
};

// The record of this process; it lives as long as the process.
const HandleVerifier* GetProcessHandleVerifier();

// Kept by the library's platform code as it opens and closes handles.
void RecordOpenedHandle(const void* handle);
void RecordClosedHandle(const void* handle);

}  // namespace updater

#endif  // KERNEL_OBJECTS_HANDLE_VERIFIER_H_
