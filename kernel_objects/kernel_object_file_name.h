#ifndef KERNEL_OBJECTS_KERNEL_OBJECT_FILE_NAME_H_
#define KERNEL_OBJECTS_KERNEL_OBJECT_FILE_NAME_H_

// The names of the files that hold named kernel objects where objects are
// files (see kernel_objects.h). Hex digits are lower case.

#include <cstdint>
#include <string>
#include <string_view>

namespace updater {

inline constexpr std::string_view kKernelObjectFilePrefix = "rivazeriduv_kernel_object.";
// A file being prepared; never the name of an object.
inline constexpr std::string_view kKernelObjectTemporaryFilePrefix =
    "rivazeriduv_kernel_object.tmp.";

// The 64-bit FNV-1a hash of the name's UTF-16 code units, each as two bytes,
// low byte first.
uint64_t KernelObjectNameHash(std::u16string_view name);

// kKernelObjectFilePrefix, 16 hex digits of the name's hash and a dot: how
// every file of objects of this name starts.
std::string KernelObjectFileNameStart(std::u16string_view name);

// The start followed by 16 hex digits of `unique`.
std::string KernelObjectFileName(std::u16string_view name, uint64_t unique);

// kKernelObjectTemporaryFilePrefix followed by 16 hex digits of `unique`.
std::string KernelObjectTemporaryFileName(uint64_t unique);

// Whether a file name has the form of KernelObjectFileName, for some name.
bool IsKernelObjectFileName(std::string_view file_name);

}  // namespace updater

#endif  // KERNEL_OBJECTS_KERNEL_OBJECT_FILE_NAME_H_
