// Writes the updater's "installer failed to start" line for the error code in
// argv[1], then reports on stdout whether errno survived the statement.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "base/logging.h"

namespace {

int Explode() {
  std::abort();
}

}  // namespace

int main(int argc, char** argv) {
  const long code = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  errno = 42;
  UPDATER_LOG_AT(365, ERROR) << "RivaZeriduv Updater: installer failed  to start last error="
                             << std::hex << code;
  UPDATER_VLOG_AT(271, 1) << "directory found: " << Explode();
  std::printf("errno=%d\n", errno);
  return 0;
}
