#ifndef AUTO_UPDATE_UPDATE_WORKER_H_
#define AUTO_UPDATE_UPDATE_WORKER_H_

#include "update_run/update_result.h"

namespace updater {

struct UpdateContext;

// The worker thread's body: chooses the server set, runs the browser flow
// and, when the browser had nothing to install, the plug-in flow. Returns the
// last flow's result (4 when none ran).
UpdateResult UpdateWorker(const UpdateContext& context);

// The preferred set of the user-interface language (the mirror for
// Simplified Chinese) when its site answers, else the other one unchecked:
// one connection attempt per call.
int ChooseServerSet(int language_index);

}  // namespace updater

#endif  // AUTO_UPDATE_UPDATE_WORKER_H_
