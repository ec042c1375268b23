#ifndef FLOWS_BROWSER_UPDATE_H_
#define FLOWS_BROWSER_UPDATE_H_

#include "update_run/update_context.h"
#include "update_run/update_result.h"

namespace updater {

// Queries the service for a newer browser, downloads and verifies it, asks
// the user in interactive mode, and installs it (installer or portable swap)
// while holding the installation's "_under_upgrade" mutex.
UpdateResult RunBrowserUpdate(const UpdateContext& context, int set_index);

}  // namespace updater

#endif  // FLOWS_BROWSER_UPDATE_H_
