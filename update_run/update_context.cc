#include "update_run/update_context.h"

#include <utility>

namespace updater {

void UpdateContext::PostNotification(NotifyCode code, NotificationValue value) const {
  if (state.interactive && poster) poster(code, std::move(value));
}

bool UpdateContext::StartInstallation(const std::function<bool()>& start) const {
  if (!stop) {
    start();
    return true;
  }
  return stop->StartInstallation(start);
}

}  // namespace updater
