#ifndef AUTO_UPDATE_WORKER_STOP_H_
#define AUTO_UPDATE_WORKER_STOP_H_

#include <atomic>
#include <functional>
#include <mutex>

namespace updater {

// How the dialog stops the worker when it goes away. Once Stop() has
// returned, the worker begins no further step, and a step it had begun (the
// start of a program, a swap of files) is complete: a step is never cut in
// half, and nothing is started after the user closed the dialog.
class WorkerStop {
 public:
  void Stop();
  bool IsStopped() const { return stopped_.load(std::memory_order_acquire); }
  // Runs `step` unless stopped, holding Stop() off until it is done; true
  // when it ran.
  bool RunStep(const std::function<void()>& step) const;

 private:
  mutable std::mutex step_mutex_;
  std::atomic<bool> stopped_{false};
};

}  // namespace updater

#endif  // AUTO_UPDATE_WORKER_STOP_H_
