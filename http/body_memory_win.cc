#include <windows.h>

#include "http/body_memory_platform.h"

namespace updater::platform {

// The process heap serves large blocks straight from fresh pages of their own
// (VirtualAlloc), so a large body costs no copy through the heap's free lists.
void* ResizeBodyMemory(void* block, size_t size) {
  HANDLE heap = GetProcessHeap();
  // HeapReAlloc leaves the old block as it was when it fails.
  return block ? HeapReAlloc(heap, 0, block, size) : HeapAlloc(heap, 0, size);
}

void FreeBodyMemory(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace updater::platform
