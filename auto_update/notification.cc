#include "auto_update/notification.h"

#include <utility>

#include "auto_update/updater_state.h"

namespace updater {

void PostNotification(NotifyCode code, NotificationValue value) {
  const UpdaterState& state = GetUpdaterState();
  if (state.interactive && state.poster) state.poster(code, std::move(value));
}

}  // namespace updater
