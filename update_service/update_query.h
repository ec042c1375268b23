#ifndef UPDATE_SERVICE_UPDATE_QUERY_H_
#define UPDATE_SERVICE_UPDATE_QUERY_H_

#include <string>

#include "base/command_line.h"
#include "base/version.h"

namespace updater {

// What the update service offered; either field may be empty.
struct UpdateOffer {
  std::u16string offered_version;
  std::u16string download_url;
};

// The browser query: "?switches" and every switch of `command_line` but
// "real-exe-path", in byte order, unescaped, as the service expects them.
std::u16string BuildBrowserQueryUrl(const ParsedCommandLine& command_line, int set_index);

// The plug-in query: its version, "64bit" and the interactive flag only.
std::u16string BuildFlashQueryUrl(const ParsedCommandLine& command_line,
                                  int set_index,
                                  bool interactive);

enum class OfferVerdict { kNothingToInstall, kNoLocation, kInstall };

// Decides in a fixed order: no version or not newer, then no location.
OfferVerdict EvaluateOffer(const UpdateOffer& offer, const Version& current_version);

}  // namespace updater

#endif  // UPDATE_SERVICE_UPDATE_QUERY_H_
