#include "auto_update/update_worker.h"

#include "auto_update/browser_update.h"
#include "auto_update/flash_update.h"
#include "auto_update/language.h"
#include "auto_update/notification.h"
#include "auto_update/server_reachability.h"
#include "auto_update/server_set.h"
#include "auto_update/updater_state.h"
#include "base/command_line.h"

namespace updater {

UpdateResult UpdateWorker() {
  const ParsedCommandLine& command_line = CurrentProcessCommandLine();
  const bool interactive = GetUpdaterState().interactive;
  const bool browser_wanted = interactive || command_line.IsPresent("current");
  const bool flash_wanted = interactive || command_line.IsPresent("pepper-version");

  if (browser_wanted) {
    PostNotification(kNotifyBrowserCurrentVersion, command_line.GetValue("current"));
    PostNotification(kNotifyBrowserChecking, int64_t{0});
  }
  const int set_index = ChooseServerSet();
  UpdateResult result = kResultNothingToInstall;
  if (browser_wanted) {
    result = RunBrowserUpdate(command_line, set_index);
    PostNotification(kNotifyBrowserResult, int64_t{result});
    // A browser installation, failure or cancellation ends the run.
    if (result != kResultNothingToInstall) {
      PostNotification(kNotifyFinished, int64_t{0});
      return result;
    }
  }
  if (flash_wanted) {
    result = RunFlashUpdate(command_line, set_index);
    PostNotification(kNotifyFlashResult, int64_t{result});
  }
  PostNotification(kNotifyFinished, int64_t{0});
  return result;
}

int ChooseServerSet() {
  const int preferred = GetUpdaterState().language_index == kLanguageSimplifiedChinese
                            ? kMirrorServerSet
                            : kPrimaryServerSet;
  if (IsServerReachable(GetServerSet(preferred).site_root_url)) return preferred;
  return preferred == kMirrorServerSet ? kPrimaryServerSet : kMirrorServerSet;
}

}  // namespace updater
