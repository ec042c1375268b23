#include "auto_update/update_worker.h"

#include "base/command_line.h"
#include "flows/browser_update.h"
#include "flows/flash_update.h"
#include "text/language.h"
#include "update_run/notification.h"
#include "update_run/update_context.h"
#include "update_service/server_reachability.h"
#include "update_service/server_set.h"

namespace updater {

UpdateResult UpdateWorker(const UpdateContext& context) {
  const ParsedCommandLine& command_line = context.command_line;
  const bool interactive = context.state.interactive;
  const bool browser_wanted = interactive || command_line.IsPresent("current");
  const bool flash_wanted = interactive || command_line.IsPresent("pepper-version");

  if (browser_wanted) {
    context.PostNotification(kNotifyBrowserCurrentVersion, command_line.GetValue("current"));
    context.PostNotification(kNotifyBrowserChecking, int64_t{0});
  }
  const int set_index = ChooseServerSet(context.state.language_index);
  UpdateResult result = kResultNothingToInstall;
  if (browser_wanted) {
    result = RunBrowserUpdate(context, set_index);
    context.PostNotification(kNotifyBrowserResult, int64_t{result});
    // A browser installation, failure or cancellation ends the run.
    if (result != kResultNothingToInstall) {
      context.PostNotification(kNotifyFinished, int64_t{0});
      return result;
    }
  }
  // A stopped run begins nothing more.
  if (flash_wanted && !context.IsStopped()) {
    result = RunFlashUpdate(context, set_index);
    context.PostNotification(kNotifyFlashResult, int64_t{result});
  }
  context.PostNotification(kNotifyFinished, int64_t{0});
  return result;
}

int ChooseServerSet(int language_index) {
  const int preferred =
      language_index == kLanguageSimplifiedChinese ? kMirrorServerSet : kPrimaryServerSet;
  if (IsServerReachable(GetServerSet(preferred).site_root_url)) return preferred;
  return preferred == kMirrorServerSet ? kPrimaryServerSet : kMirrorServerSet;
}

}  // namespace updater
