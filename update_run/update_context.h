#ifndef UPDATE_RUN_UPDATE_CONTEXT_H_
#define UPDATE_RUN_UPDATE_CONTEXT_H_

#include "base/command_line.h"
#include "update_run/notification.h"
#include "update_run/updater_state.h"
#include "update_run/worker_stop.h"

namespace updater {

// Everything the worker and the update flows read, and where they report,
// handed to them rather than reached for: the entry point makes the run's
// one, and a test can make its own to drive and watch a run in-process.
struct UpdateContext {
  const UpdaterState& state;
  const ParsedCommandLine& command_line;
  // The dialog's receiver of notifications, in the order they are posted.
  NotificationPoster poster;
  // Set by whoever may stop the run before it ends; null: it runs to its end.
  const WorkerStop* stop = nullptr;

  // Posts through `poster` in interactive mode; a silent run posts nothing.
  void PostNotification(NotifyCode code, NotificationValue value) const;
  bool IsStopped() const { return stop && stop->IsStopped(); }
  // Runs `start` (see WorkerStop::StartInstallation) unless the run was
  // stopped; true when it ran.
  bool StartInstallation(const std::function<bool()>& start) const;
};

}  // namespace updater

#endif  // UPDATE_RUN_UPDATE_CONTEXT_H_
