#include "update_run/worker_stop.h"

namespace updater {

bool WorkerStop::Stop() {
  const std::lock_guard<std::mutex> lock(mutex_);
  stopped_.store(true, std::memory_order_release);
  return installing_;
}

bool WorkerStop::StartInstallation(const std::function<bool()>& start) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (IsStopped()) return false;
  if (start()) installing_ = true;
  return true;
}

}  // namespace updater
