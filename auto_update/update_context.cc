#include "auto_update/update_context.h"

#include <utility>

namespace updater {

void UpdateContext::PostNotification(NotifyCode code, NotificationValue value) const {
  if (state.interactive && poster) poster(code, std::move(value));
}

bool UpdateContext::RunStep(const std::function<void()>& step) const {
  if (!stop) {
    step();
    return true;
  }
  return stop->RunStep(step);
}

}  // namespace updater
