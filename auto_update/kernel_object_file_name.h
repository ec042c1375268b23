#ifndef AUTO_UPDATE_KERNEL_OBJECT_FILE_NAME_H_
#define AUTO_UPDATE_KERNEL_OBJECT_FILE_NAME_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace updater {

// Longest file name that a kernel object name maps to (NAME_MAX).
inline constexpr size_t kMaxKernelObjectFileNameLength = 255;

// The file name under which a named kernel object lives where objects are
// files. Different names give different file names:
// - characters are kept as UTF-8, except "/", "%", the control characters and
//   a leading "." (which could make "." or ".."), which become "%" and two
//   upper-case hex digits of the byte;
// - an unpaired surrogate becomes "%u" and four hex digits;
// - a result longer than 255 bytes keeps its start, cut on a character
//   boundary, followed by "%h" and the 16 hex digits of a 64-bit hash of the
//   whole escaped name. Such names can collide in principle; whoever uses the
//   file must compare the full name it stores.
// An empty name gives an empty file name.
std::string KernelObjectFileName(std::u16string_view name);

}  // namespace updater

#endif  // AUTO_UPDATE_KERNEL_OBJECT_FILE_NAME_H_
