#ifndef AUTO_UPDATE_WORKER_THREAD_H_
#define AUTO_UPDATE_WORKER_THREAD_H_

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "base/command_line.h"
#include "base/joinable_thread_platform.h"
#include "update_run/notification.h"
#include "update_run/update_context.h"
#include "update_run/update_result.h"
#include "update_run/updater_state.h"
#include "update_run/worker_stop.h"

namespace updater {

// The update worker on a thread of its own, beside an interactive run's
// message loop; the dialog stops it when it goes away.
class WorkerThread {
 public:
  WorkerThread(const UpdaterState& state,
               const ParsedCommandLine& command_line,
               NotificationPoster poster);
  // Joins a worker that was started and has ended or will end.
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // False when no thread could be started.
  bool Start();
  // The dialog is going away: the worker is stopped. Unless it has finished
  // or has an installation under way (then true), it gets the result
  // kExitWorkerStopped, however it ends. Calls after the first change
  // nothing.
  bool NoteDialogClosing();
  // True when the dialog went while an installation was under way: the run
  // waits for the worker, without limit, and ends with its result.
  bool OutlivesDialog();
  // Takes every further step from the worker.
  void Stop();
  // True once the worker has ended, waiting at most `timeout` for it.
  bool WaitForEnd(std::chrono::milliseconds timeout);
  // Waits for the worker to end: the run's result, kExitNoWorkerResult when
  // it never ran.
  UpdateResult Join();

 private:
  unsigned Work();

  WorkerStop stop_;
  const UpdateContext context_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool has_ended_ = false;
  bool stopped_while_running_ = false;
  bool stopped_while_installing_ = false;
  // The worker's result is the thread's.
  platform::JoinableThread thread_;
};

}  // namespace updater

#endif  // AUTO_UPDATE_WORKER_THREAD_H_
