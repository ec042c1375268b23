#include <windows.h>

#include <process.h>

#include <cstdint>
#include <utility>

#include "base/joinable_thread_platform.h"

namespace updater::platform {
namespace {

using Body = std::function<unsigned()>;

// The thread's exit code is the body's result.
unsigned __stdcall RunBody(void* argument) {
  const std::unique_ptr<Body> body(static_cast<Body*>(argument));
  return (*body)();
}

}  // namespace

struct JoinableThread::Native {
  HANDLE thread = nullptr;  // null once joined
};

JoinableThread::JoinableThread() = default;

JoinableThread::~JoinableThread() {
  Join();
}

bool JoinableThread::Start(Body body) {
  if (native_) return false;
  auto owned = std::make_unique<Body>(std::move(body));
  const uintptr_t thread = _beginthreadex(nullptr, 0, &RunBody, owned.get(), 0, nullptr);
  if (thread == 0) return false;
  owned.release();  // the thread's now
  native_ = std::make_unique<Native>();
  native_->thread = reinterpret_cast<HANDLE>(thread);
  return true;
}

std::optional<unsigned> JoinableThread::Join() {
  if (!native_ || !native_->thread) return std::nullopt;
  const HANDLE thread = std::exchange(native_->thread, nullptr);
  DWORD exit_code = 0;
  const bool read = WaitForSingleObject(thread, INFINITE) == WAIT_OBJECT_0 &&
                    GetExitCodeThread(thread, &exit_code);
  CloseHandle(thread);
  if (!read) return std::nullopt;
  return exit_code;
}

}  // namespace updater::platform
