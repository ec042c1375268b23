#ifndef UPDATE_RUN_WORKER_STOP_H_
#define UPDATE_RUN_WORKER_STOP_H_

#include <atomic>
#include <functional>
#include <mutex>

namespace updater {

// How the dialog stops the worker when it goes away. Once Stop() has
// returned, the worker begins nothing further: no download continues and no
// installer or package starts. One that had started already is an
// installation under way: the worker waits for it and for the swap that
// follows, and the run ends with its result.
class WorkerStop {
 public:
  // True when an installation was already under way.
  bool Stop();
  bool IsStopped() const { return stopped_.load(std::memory_order_acquire); }
  // Runs `start`, which starts an installer or package and tells whether it
  // did, unless stopped, holding Stop() off meanwhile; true when it ran.
  bool StartInstallation(const std::function<bool()>& start) const;

 private:
  mutable std::mutex mutex_;
  std::atomic<bool> stopped_{false};
  mutable bool installing_ = false;  // guarded by mutex_
};

}  // namespace updater

#endif  // UPDATE_RUN_WORKER_STOP_H_
