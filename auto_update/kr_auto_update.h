#ifndef AUTO_UPDATE_KR_AUTO_UPDATE_H_
#define AUTO_UPDATE_KR_AUTO_UPDATE_H_

namespace updater {

// One start of the updater: one update run, from the process's own command
// line. Returns the exit code. Each platform's entry point calls it.
int UpdaterMain();

}  // namespace updater

#endif  // AUTO_UPDATE_KR_AUTO_UPDATE_H_
