#include "update_run/updater_log.h"

#include "base/logging.h"

namespace updater {

void LogStartFailure(UpdaterLogLine line, std::string_view what, int error) {
  UPDATER_LOG_AT(line, ERROR) << kUpdaterLogPrefix << what
                              << " failed  to start last error=" << std::hex << error;
}

void LogCopyFailure(UpdaterLogLine line, int code) {
  UPDATER_LOG_AT(line, ERROR) << kUpdaterLogPrefix << "copy extracted files failed error=" << code;
}

}  // namespace updater
