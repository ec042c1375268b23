#ifndef BASE_JOINABLE_THREAD_PLATFORM_H_
#define BASE_JOINABLE_THREAD_PLATFORM_H_

#include <functional>
#include <memory>
#include <optional>

namespace updater::platform {

// One function on a thread of its own, whose result is read once the thread
// has ended, as a process's exit code is.
class JoinableThread {
 public:
  JoinableThread();
  // Joins a thread that was started and not yet joined.
  ~JoinableThread();
  JoinableThread(const JoinableThread&) = delete;
  JoinableThread& operator=(const JoinableThread&) = delete;

  // Runs `body` on a new thread, which owns it; false when no thread could
  // be started, or one was started before.
  bool Start(std::function<unsigned()> body);
  // Waits without limit for the thread to end, then its result; nothing when
  // no thread was started, it was joined before, or its result cannot be
  // read.
  std::optional<unsigned> Join();

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

}  // namespace updater::platform

#endif  // BASE_JOINABLE_THREAD_PLATFORM_H_
