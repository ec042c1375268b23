#include "kernel_objects/handle_verifier.h"

#include <mutex>
#include <unordered_set>

namespace updater {
namespace {

struct HandleRecord {
  std::mutex mutex;
  std::unordered_set<const void*> handles;
};

// Never destroyed: other modules may ask while the process ends.
HandleRecord& Record() {
  static HandleRecord* const record = new HandleRecord;
  return *record;
}

size_t OpenHandleCount() {
  HandleRecord& record = Record();
  const std::lock_guard<std::mutex> lock(record.mutex);
  return record.handles.size();
}

bool IsLibraryHandle(const void* handle) {
  HandleRecord& record = Record();
  const std::lock_guard<std::mutex> lock(record.mutex);
  return record.handles.count(handle) != 0;
}

constexpr HandleVerifier kHandleVerifier{sizeof(HandleVerifier), &OpenHandleCount,
                                         &IsLibraryHandle};

}  // namespace

const HandleVerifier* GetProcessHandleVerifier() {
  return &kHandleVerifier;
}

void RecordOpenedHandle(const void* handle) {
  HandleRecord& record = Record();
  const std::lock_guard<std::mutex> lock(record.mutex);
  record.handles.insert(handle);
}

void RecordClosedHandle(const void* handle) {
  HandleRecord& record = Record();
  const std::lock_guard<std::mutex> lock(record.mutex);
  record.handles.erase(handle);
}

}  // namespace updater
