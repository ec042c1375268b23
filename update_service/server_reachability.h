#ifndef UPDATE_SERVICE_SERVER_REACHABILITY_H_
#define UPDATE_SERVICE_SERVER_REACHABILITY_H_

#include <string_view>

namespace updater {

// Whether a connection to the host and port of `url` can be made now.
bool IsServerReachable(std::u16string_view url);

}  // namespace updater

#endif  // UPDATE_SERVICE_SERVER_REACHABILITY_H_
