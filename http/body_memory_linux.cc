#include "http/body_memory_platform.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace updater::platform {
namespace {

// Below this a block is not worth huge pages.
constexpr size_t kHugePageThreshold = 4 * 1024 * 1024;

// Huge pages cut the page faults of filling a large body by a factor of 512.
void AdviseHugePages(void* block, size_t size) {
  const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<uintptr_t>(block);
  const uintptr_t begin = (start + page - 1) & ~(page - 1);
  const uintptr_t end = (start + size) & ~(page - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace

void* ResizeBodyMemory(void* block, size_t size) {
  void* resized = std::realloc(block, size);
  if (resized && size >= kHugePageThreshold) AdviseHugePages(resized, size);
  return resized;
}

void FreeBodyMemory(void* block) {
  std::free(block);
}

}  // namespace updater::platform
