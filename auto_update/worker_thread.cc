#include "auto_update/worker_thread.h"

#include <optional>
#include <utility>

#include "auto_update/update_worker.h"

namespace updater {

WorkerThread::WorkerThread(const UpdaterState& state,
                           const ParsedCommandLine& command_line,
                           NotificationPoster poster)
    : context_{state, command_line, std::move(poster), &stop_} {}

WorkerThread::~WorkerThread() {
  thread_.Join();
}

bool WorkerThread::Start() {
  return thread_.Start([this] { return Work(); });
}

unsigned WorkerThread::Work() {
  const UpdateResult result = UpdateWorker(context_);
  const std::lock_guard<std::mutex> lock(mutex_);
  has_ended_ = true;
  ended_.notify_all();
  return static_cast<unsigned>(result);
}

bool WorkerThread::NoteDialogClosing() {
  const bool installing = stop_.Stop();
  const std::lock_guard<std::mutex> lock(mutex_);
  if (has_ended_ || stopped_while_running_) return false;
  if (installing) {
    stopped_while_installing_ = true;
  } else {
    stopped_while_running_ = true;
  }
  return installing;
}

bool WorkerThread::OutlivesDialog() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return stopped_while_installing_;
}

void WorkerThread::Stop() {
  stop_.Stop();
}

bool WorkerThread::WaitForEnd(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return ended_.wait_for(lock, timeout, [this] { return has_ended_; });
}

UpdateResult WorkerThread::Join() {
  const std::optional<unsigned> result = thread_.Join();
  const std::lock_guard<std::mutex> lock(mutex_);
  if (stopped_while_running_) return kExitWorkerStopped;
  if (!result) return kExitNoWorkerResult;
  return static_cast<UpdateResult>(*result);
}

}  // namespace updater
