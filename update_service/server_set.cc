#include "update_service/server_set.h"

#include <array>

#include "base/build_config.h"
#include "base/string_util.h"

namespace updater {
namespace {

constexpr std::u16string_view kUpdateScriptPath = u"/update.php";
constexpr std::u16string_view kFlashScriptPath = u"/update_pepper.php";

const std::array<ServerSet, 2> kServerSets = {
    MakeServerSet(ASCIIToUTF16(ConfiguredPrimarySite())),
    MakeServerSet(ASCIIToUTF16(ConfiguredMirrorSite())),
};

}  // namespace

ServerSet MakeServerSet(std::u16string_view site_root_url) {
  std::u16string root(site_root_url);
  while (!root.empty() && root.back() == u'/') root.pop_back();
  return ServerSet{root, root + std::u16string(kUpdateScriptPath),
                   root + std::u16string(kFlashScriptPath)};
}

const ServerSet& GetServerSet(int index) {
  return kServerSets[index == kMirrorServerSet ? kMirrorServerSet : kPrimaryServerSet];
}

}  // namespace updater
