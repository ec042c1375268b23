#include "kernel_objects/kernel_objects.h"

#include <utility>

#include "kernel_objects/kernel_objects_platform.h"

namespace updater {

NamedEvent::NamedEvent() = default;
NamedEvent::~NamedEvent() = default;
NamedEvent::NamedEvent(NamedEvent&& other) noexcept = default;
NamedEvent& NamedEvent::operator=(NamedEvent&& other) noexcept = default;

NamedEvent::NamedEvent(platform::KernelObjectHandlePtr handle, bool already_existed)
    : handle_(std::move(handle)), already_existed_(already_existed) {}

NamedEvent NamedEvent::Create(std::u16string_view name) {
  platform::OpenedKernelObject opened = platform::OpenKernelObject(
      name, KernelObjectKind::kEvent, platform::KernelObjectDisposition::kCreate);
  return NamedEvent(std::move(opened.handle), opened.already_existed);
}

NamedEvent NamedEvent::Open(std::u16string_view name) {
  platform::OpenedKernelObject opened = platform::OpenKernelObject(
      name, KernelObjectKind::kEvent, platform::KernelObjectDisposition::kOpenExisting);
  return NamedEvent(std::move(opened.handle), opened.already_existed);
}

bool NamedEvent::Set() const {
  if (!IsValid()) {
    return false;
  }
  platform::SetEventState(*handle_, true);
  return true;
}

bool NamedEvent::Reset() const {
  if (!IsValid()) {
    return false;
  }
  platform::SetEventState(*handle_, false);
  return true;
}

bool NamedEvent::IsSignaled() const {
  return IsValid() && platform::GetEventState(*handle_);
}

void NamedEvent::Close() {
  handle_.reset();
  already_existed_ = false;
}

int WaitForFirstEvent(std::span<const NamedEvent* const> events, uint32_t timeout_ms) {
  if (events.empty() || events.size() > kMaxWaitEvents) {
    return kWaitFailed;
  }
  const platform::KernelObjectHandle* handles[kMaxWaitEvents];
  for (size_t i = 0; i < events.size(); ++i) {
    if (events[i] == nullptr || !events[i]->IsValid()) {
      return kWaitFailed;
    }
    handles[i] = events[i]->handle_.get();
  }
  return platform::WaitForFirstSignaled(std::span(handles, events.size()), timeout_ms);
}

NamedMutex::NamedMutex() = default;
NamedMutex::~NamedMutex() = default;
NamedMutex::NamedMutex(NamedMutex&& other) noexcept
    : handle_(std::move(other.handle_)),
      already_existed_(std::exchange(other.already_existed_, false)),
      owned_count_(std::exchange(other.owned_count_, 0)) {}

NamedMutex& NamedMutex::operator=(NamedMutex&& other) noexcept {
  handle_ = std::move(other.handle_);
  already_existed_ = std::exchange(other.already_existed_, false);
  owned_count_ = std::exchange(other.owned_count_, 0);
  return *this;
}

NamedMutex::NamedMutex(platform::KernelObjectHandlePtr handle, bool already_existed, bool owned)
    : handle_(std::move(handle)), already_existed_(already_existed), owned_count_(owned ? 1 : 0) {}

NamedMutex NamedMutex::Create(std::u16string_view name) {
  platform::OpenedKernelObject opened = platform::OpenKernelObject(
      name, KernelObjectKind::kMutex, platform::KernelObjectDisposition::kCreate);
  return NamedMutex(std::move(opened.handle), opened.already_existed, false);
}

NamedMutex NamedMutex::CreateOwned(std::u16string_view name) {
  platform::OpenedKernelObject opened = platform::OpenKernelObject(
      name, KernelObjectKind::kMutex, platform::KernelObjectDisposition::kCreateOwned);
  return NamedMutex(std::move(opened.handle), opened.already_existed, opened.owned);
}

MutexAcquireResult NamedMutex::TryAcquire() {
  if (!IsValid()) {
    return MutexAcquireResult::kFailed;
  }
  if (owned_count_ > 0) {
    ++owned_count_;
    return MutexAcquireResult::kAcquired;
  }
  const MutexAcquireResult result = platform::AcquireMutexOwnership(*handle_);
  if (result == MutexAcquireResult::kAcquired || result == MutexAcquireResult::kAbandoned) {
    owned_count_ = 1;
  }
  return result;
}

bool NamedMutex::Release() {
  if (!IsValid() || owned_count_ == 0) {
    return false;
  }
  if (--owned_count_ == 0) {
    platform::ReleaseMutexOwnership(*handle_);
  }
  return true;
}

void NamedMutex::Close() {
  handle_.reset();
  already_existed_ = false;
  owned_count_ = 0;
}

bool KernelObjectExists(std::u16string_view name) {
  return !name.empty() && name.size() <= kMaxKernelObjectNameLength &&
         platform::KernelObjectExists(name);
}

bool WaitableEventExists(std::u16string_view name) {
  return !name.empty() && name.size() <= kMaxKernelObjectNameLength &&
         platform::WaitableEventExists(name);
}

std::vector<KernelObjectInfo> ListKernelObjects() {
  return platform::ListKernelObjects();
}

}  // namespace updater
