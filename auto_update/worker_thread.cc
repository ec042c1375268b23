#include "auto_update/worker_thread.h"

#include <system_error>
#include <utility>

#include "auto_update/update_worker.h"

namespace updater {

WorkerThread::WorkerThread(const UpdaterState& state,
                           const ParsedCommandLine& command_line,
                           NotificationPoster poster)
    : context_{state, command_line, std::move(poster), &stop_} {}

WorkerThread::~WorkerThread() {
  if (thread_.joinable()) thread_.join();
}

bool WorkerThread::Start() {
  try {
    thread_ = std::thread(&WorkerThread::Work, this);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void WorkerThread::Work() {
  const UpdateResult result = UpdateWorker(context_);
  const std::lock_guard<std::mutex> lock(mutex_);
  result_ = result;
  ended_.notify_all();
}

void WorkerThread::NoteDialogClosing() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!result_) stopped_while_running_ = true;
}

void WorkerThread::Stop() {
  stop_.Stop();
}

bool WorkerThread::WaitForEnd(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return ended_.wait_for(lock, timeout, [this] { return result_.has_value(); });
}

UpdateResult WorkerThread::Join() {
  if (thread_.joinable()) thread_.join();
  const std::lock_guard<std::mutex> lock(mutex_);
  if (stopped_while_running_) return kExitWorkerStopped;
  return result_.value_or(kExitNoWorkerResult);
}

}  // namespace updater
