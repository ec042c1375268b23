// Parses arbitrary text as a version; a valid one compares equal to itself
// and to its own decimal rendering.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const updater::Version version =
      updater::ParseVersion(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!version.IsValid()) return 0;
  std::string rendered;
  for (uint32_t component : version.components()) {
    if (!rendered.empty()) rendered += '.';
    rendered += std::to_string(component);
  }
  const updater::Version reparsed = updater::ParseVersion(rendered);
  if (reparsed.components() != version.components() || version.CompareTo(reparsed) != 0) {
    std::abort();
  }
  return 0;
}
