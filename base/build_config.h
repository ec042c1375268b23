#ifndef BASE_BUILD_CONFIG_H_
#define BASE_BUILD_CONFIG_H_

#include <string_view>

namespace updater {

// What a program was configured with when it was built. The command line is
// the updater's only run-time configuration; everything else is fixed here.
// Each program links exactly one build configuration (see
// cmake/BuildConfig.cmake).

// Site roots of the two server sets: scheme, host and optional port.
std::string_view ConfiguredPrimarySite();
std::string_view ConfiguredMirrorSite();

// PEM text of the Authenticode trust anchors; empty: the machine's CA bundle.
std::string_view EmbeddedTrustedRootsPem();

// CA bundle for HTTPS server certificates; empty: the system's default.
std::string_view ConfiguredTlsCaBundle();

}  // namespace updater

#endif  // BASE_BUILD_CONFIG_H_
