#ifndef BASE_BUILD_CONFIG_H_
#define BASE_BUILD_CONFIG_H_

#include <cstdint>
#include <string_view>

namespace updater {

// What a program was configured with when it was built. The command line is
// the updater's only run-time configuration; everything else is fixed here.
// Each program links exactly one build configuration (see
// cmake/BuildConfig.cmake).

// Site roots of the two server sets: scheme, host and optional port.
std::string_view ConfiguredPrimarySite();
std::string_view ConfiguredMirrorSite();

// PEM text of the Authenticode trust anchors; empty: the machine's roots.
std::string_view EmbeddedTrustedRootsPem();

// CA bundle for HTTPS server certificates; empty: the system's default.
std::string_view ConfiguredTlsCaBundle();

// Largest response body the HTTP client keeps; a larger one, announced or
// received, ends the request as unanswered. An update service that sends
// without end would otherwise grow the updater until memory runs out.
uint64_t ConfiguredMaxBodyBytes();

// A transfer that receives fewer than `bytes_per_second` on average for
// `seconds` is abandoned: a server trickling a byte at a time would otherwise
// hold the updater, and its single-instance mutex, for as long as it liked.
struct MinimumTransferRate {
  uint32_t bytes_per_second;
  uint32_t seconds;
};
MinimumTransferRate ConfiguredMinimumTransferRate();

}  // namespace updater

#endif  // BASE_BUILD_CONFIG_H_
