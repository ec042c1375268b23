#include "kernel_objects/kernel_object_file_name.h"

#include <algorithm>
#include <cstddef>

namespace updater {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr size_t kHexLength = 16;

std::string Hex(uint64_t value) {
  std::string out(kHexLength, '0');
  for (size_t i = kHexLength; i-- > 0; value >>= 4) {
    out[i] = kHexDigits[value & 0xF];
  }
  return out;
}

bool IsHex(std::string_view text) {
  return text.size() == kHexLength && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

}  // namespace

uint64_t KernelObjectNameHash(std::u16string_view name) {
  uint64_t hash = 0xCBF29CE484222325ULL;
  for (const char16_t unit : name) {
    for (const unsigned byte : {unit & 0xFFu, static_cast<unsigned>(unit) >> 8}) {
      hash = (hash ^ byte) * 0x100000001B3ULL;
    }
  }
  return hash;
}

std::string KernelObjectFileNameStart(std::u16string_view name) {
  return std::string(kKernelObjectFilePrefix) + Hex(KernelObjectNameHash(name)) + ".";
}

std::string KernelObjectFileName(std::u16string_view name, uint64_t unique) {
  return KernelObjectFileNameStart(name) + Hex(unique);
}

std::string KernelObjectTemporaryFileName(uint64_t unique) {
  return std::string(kKernelObjectTemporaryFilePrefix) + Hex(unique);
}

bool IsKernelObjectFileName(std::string_view file_name) {
  if (!file_name.starts_with(kKernelObjectFilePrefix)) {
    return false;
  }
  file_name.remove_prefix(kKernelObjectFilePrefix.size());
  return file_name.size() == 2 * kHexLength + 1 && IsHex(file_name.substr(0, kHexLength)) &&
         file_name[kHexLength] == '.' && IsHex(file_name.substr(kHexLength + 1));
}

}  // namespace updater
