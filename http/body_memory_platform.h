#ifndef HTTP_BODY_MEMORY_PLATFORM_H_
#define HTTP_BODY_MEMORY_PLATFORM_H_

#include <cstddef>

namespace updater::platform {

// Memory for response bodies, which can be hundreds of megabytes: the
// platform may back large blocks in a way that makes filling them cheaper.
// Resizing keeps the contents; on failure it returns null and the old block
// stays valid.
void* ResizeBodyMemory(void* block, size_t size);
void FreeBodyMemory(void* block);

}  // namespace updater::platform

#endif  // HTTP_BODY_MEMORY_PLATFORM_H_
