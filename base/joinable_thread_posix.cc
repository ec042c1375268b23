#include <system_error>
#include <thread>
#include <utility>

#include "base/joinable_thread_platform.h"

namespace updater::platform {

// The result lives beside the thread, which writes it before it ends.
struct JoinableThread::Native {
  std::thread thread;
  unsigned result = 0;
};

JoinableThread::JoinableThread() = default;

JoinableThread::~JoinableThread() {
  Join();
}

bool JoinableThread::Start(std::function<unsigned()> body) {
  if (native_) return false;
  auto native = std::make_unique<Native>();
  try {
    native->thread =
        std::thread([native = native.get(), body = std::move(body)] { native->result = body(); });
  } catch (const std::system_error&) {
    return false;
  }
  native_ = std::move(native);
  return true;
}

std::optional<unsigned> JoinableThread::Join() {
  if (!native_ || !native_->thread.joinable()) return std::nullopt;
  native_->thread.join();
  return native_->result;
}

}  // namespace updater::platform
