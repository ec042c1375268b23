#ifndef AUTO_UPDATE_UPDATE_CONTEXT_H_
#define AUTO_UPDATE_UPDATE_CONTEXT_H_

#include "auto_update/notification.h"
#include "auto_update/updater_state.h"
#include "base/command_line.h"

namespace updater {

// Everything the worker and the update flows read, and where they report,
// handed to them rather than reached for: the entry point makes the run's
// one, and a test can make its own to drive and watch a run in-process.
struct UpdateContext {
  const UpdaterState& state;
  const ParsedCommandLine& command_line;
  // The dialog's receiver of notifications, in the order they are posted.
  NotificationPoster poster;

  // Posts through `poster` in interactive mode; a silent run posts nothing.
  void Post(NotifyCode code, NotificationValue value) const;
};

}  // namespace updater

#endif  // AUTO_UPDATE_UPDATE_CONTEXT_H_
