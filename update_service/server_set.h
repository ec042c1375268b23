#ifndef UPDATE_SERVICE_SERVER_SET_H_
#define UPDATE_SERVICE_SERVER_SET_H_

#include <string>
#include <string_view>

namespace updater {

// The three endpoints of one update server; all share scheme and host.
struct ServerSet {
  std::u16string site_root_url;  // scheme, host and optional port; no slash
  std::u16string update_script_url;
  std::u16string flash_script_url;
};

constexpr int kPrimaryServerSet = 0;
constexpr int kMirrorServerSet = 1;

ServerSet MakeServerSet(std::u16string_view site_root_url);

// The two sets, built once from the sites this program was configured with.
const ServerSet& GetServerSet(int index);

}  // namespace updater

#endif  // UPDATE_SERVICE_SERVER_SET_H_
