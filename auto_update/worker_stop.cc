#include "auto_update/worker_stop.h"

namespace updater {

void WorkerStop::Stop() {
  const std::lock_guard<std::mutex> lock(step_mutex_);
  stopped_.store(true, std::memory_order_release);
}

bool WorkerStop::RunStep(const std::function<void()>& step) const {
  const std::lock_guard<std::mutex> lock(step_mutex_);
  if (IsStopped()) return false;
  step();
  return true;
}

}  // namespace updater
