#ifndef FLOWS_FLASH_UPDATE_H_
#define FLOWS_FLASH_UPDATE_H_

#include "update_run/update_context.h"
#include "update_run/update_result.h"

namespace updater {

// Queries the service for a newer plug-in, downloads and verifies its
// installer, asks the user in interactive mode, runs it into the staging
// directory "PepperFlash_new" beside the updater and swaps that into place,
// keeping the previous plug-in as "PepperFlash_old" until the next run.
UpdateResult RunFlashUpdate(const UpdateContext& context, int set_index);

}  // namespace updater

#endif  // FLOWS_FLASH_UPDATE_H_
