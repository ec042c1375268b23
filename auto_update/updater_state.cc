#include "auto_update/updater_state.h"

namespace updater {

UpdaterState& GetUpdaterState() {
  static UpdaterState state;
  return state;
}

}  // namespace updater
