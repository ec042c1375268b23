#ifndef AUTO_UPDATE_EMBEDDED_TRUSTED_ROOTS_H_
#define AUTO_UPDATE_EMBEDDED_TRUSTED_ROOTS_H_

#include <string_view>

namespace updater {

// The PEM text of the trust anchors chosen when the updater was built; empty
// when none were chosen.
std::string_view EmbeddedTrustedRootsPem();

}  // namespace updater

#endif  // AUTO_UPDATE_EMBEDDED_TRUSTED_ROOTS_H_
