#include "base/os_version.h"

#include <atomic>

#include "base/process_facts_platform.h"

namespace updater {
namespace {

constexpr int kNotComputed = -1;
constexpr int kFirstBuildOfLaterWin10 = 10586;

std::atomic<int> g_os_version_class{kNotComputed};

}  // namespace

OsVersionClass ClassifyOsVersion(int major, int minor, int build) {
  if (major < 5 || (major == 5 && minor == 0)) return kOsPreXp;
  if (major == 5) return minor == 1 ? kOsXp : kOsServer2003;
  if (major == 6) {
    if (minor == 0) return kOsVista;
    if (minor == 1) return kOsWin7;
    if (minor == 2) return kOsWin8;
    return kOsWin81;
  }
  if (major == 10) return build < kFirstBuildOfLaterWin10 ? kOsWin10 : kOsWin10Build10586;
  return kOsLater;
}

OsVersionClass GetOsVersionClass() {
  int known = g_os_version_class.load(std::memory_order_acquire);
  if (known == kNotComputed) {
    // Two threads may both compute; the first value published stays.
    const int computed = platform::ReadOsVersionClass();
    if (g_os_version_class.compare_exchange_strong(known, computed, std::memory_order_acq_rel)) {
      known = computed;
    }
  }
  return static_cast<OsVersionClass>(known);
}

}  // namespace updater
