// Named kernel objects as lock-guarded files in a shared-memory directory;
// the protocol is described in kernel_objects.h.

#include <dirent.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "auto_update/kernel_object_file_name.h"
#include "auto_update/kernel_objects_platform.h"

namespace updater {
namespace {

constexpr char kDirectory[] = "/dev/shm/rivazeriduv_kernel_objects";
constexpr mode_t kDirectoryMode = 01777;
constexpr mode_t kFileMode = 0666;

constexpr uint32_t kMagic = 0x4F4B5A52;  // "RZKO" in memory order.
constexpr uint32_t kLayoutVersion = 1;
constexpr uint32_t kEventKindValue = 1;
constexpr uint32_t kMutexKindValue = 2;

constexpr off_t kHolderByte = 0;
constexpr off_t kOwnerByte = 1;

// Someone holds the holder byte exclusively only while initialising or
// removing a file, which takes microseconds; past this, something is wrong.
constexpr int kMaxOpenAttempts = 2000;
constexpr timespec kRetryDelay = {0, 1'000'000};
constexpr long kPollIntervalNs = 10'000'000;
constexpr long kNanosecondsPerSecond = 1'000'000'000;

// The one page of every object file. Offsets are part of the protocol.
struct SharedState {
  uint32_t magic;
  uint32_t layout_version;
  uint32_t kind;
  uint32_t signaled;  // futex word of an event
  uint32_t owned;     // a mutex's owner has not released it
  uint32_t name_length;
  char16_t name[kMaxKernelObjectNameLength];
};
constexpr size_t kFileSize = 4096;
static_assert(sizeof(SharedState) <= kFileSize);
static_assert(kMaxWaitEvents <= FUTEX_WAITV_MAX);
static_assert(offsetof(SharedState, signaled) == 12 && offsetof(SharedState, owned) == 16 &&
              offsetof(SharedState, name) == 24);

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    reset(std::exchange(other.fd_, -1));
    return *this;
  }

  bool valid() const { return fd_ >= 0; }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ >= 0) {
      close(fd_);
    }
    fd_ = fd;
  }

 private:
  int fd_;
};

uint32_t KindValue(KernelObjectKind kind) {
  return kind == KernelObjectKind::kEvent ? kEventKindValue : kMutexKindValue;
}

bool LockByte(int fd, off_t byte, short type) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = byte;
  lock.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

bool IsLockConflict(int error) {
  return error == EAGAIN || error == EACCES;
}

bool IsByteLockedByOthers(int fd, off_t byte) {
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = byte;
  lock.l_len = 1;
  return fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

UniqueFd OpenDirectory(bool create) {
  if (create) {
    mkdir(kDirectory, kDirectoryMode);
  }
  UniqueFd dir_fd(open(kDirectory, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status;
  if (create && dir_fd.valid() && fstat(dir_fd.get(), &status) == 0 && status.st_uid == geteuid() &&
      (status.st_mode & 07777) != kDirectoryMode) {
    // mkdir applied the umask (or its creator died before fixing that);
    // every user must be able to add objects.
    fchmod(dir_fd.get(), kDirectoryMode);
  }
  return dir_fd;
}

// The directory entry still names the file that `fd` has open.
bool NamesFile(int dir_fd, const std::string& file_name, int fd) {
  struct stat by_name;
  struct stat by_fd;
  return fstatat(dir_fd, file_name.c_str(), &by_name, AT_SYMLINK_NOFOLLOW) == 0 &&
         fstat(fd, &by_fd) == 0 && by_name.st_dev == by_fd.st_dev && by_name.st_ino == by_fd.st_ino;
}

SharedState* MapState(int fd) {
  void* address = mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return address == MAP_FAILED ? nullptr : static_cast<SharedState*>(address);
}

std::atomic_ref<uint32_t> Word(uint32_t& word) {
  return std::atomic_ref<uint32_t>(word);
}

std::u16string_view StoredName(const SharedState& state) {
  return std::u16string_view(state.name, state.name_length);
}

}  // namespace

class KernelObjectHandle {
 public:
  KernelObjectHandle(UniqueFd dir_fd, std::string file_name, UniqueFd fd, SharedState* state)
      : dir_fd_(std::move(dir_fd)),
        file_name_(std::move(file_name)),
        fd_(std::move(fd)),
        state_(state) {}

  KernelObjectHandle(const KernelObjectHandle&) = delete;
  KernelObjectHandle& operator=(const KernelObjectHandle&) = delete;

  ~KernelObjectHandle() {
    munmap(state_, kFileSize);
    // Granted only to the last holder; nobody can join while it is held.
    if (LockByte(fd_.get(), kHolderByte, F_WRLCK) &&
        NamesFile(dir_fd_.get(), file_name_, fd_.get())) {
      unlinkat(dir_fd_.get(), file_name_.c_str(), 0);
    }
  }

  int fd() const { return fd_.get(); }
  SharedState& state() const { return *state_; }

 private:
  UniqueFd dir_fd_;
  std::string file_name_;
  UniqueFd fd_;
  SharedState* state_;
};

void KernelObjectHandleCloser::operator()(KernelObjectHandle* handle) const {
  delete handle;
}

namespace {

struct OpenRequest {
  std::string file_name;
  std::u16string_view name;              // empty: whatever the file holds
  std::optional<KernelObjectKind> kind;  // absent: either kind
  KernelObjectDisposition disposition;
};

// One pass of the opening protocol: a result, or nothing to start over.
using Attempt = std::optional<OpenedKernelObject>;

OpenedKernelObject MakeOpened(KernelObjectHandle* handle, bool already_existed, bool owned) {
  OpenedKernelObject opened;
  opened.handle.reset(handle);
  opened.already_existed = already_existed;
  opened.owned = owned;
  return opened;
}

// Called with the holder byte write-locked and nobody else holding the file.
Attempt Initialise(UniqueFd& dir_fd, const OpenRequest& request, UniqueFd fd) {
  if (ftruncate(fd.get(), 0) != 0 || ftruncate(fd.get(), kFileSize) != 0) {
    return OpenedKernelObject();
  }
  SharedState* state = MapState(fd.get());
  if (state == nullptr) {
    return OpenedKernelObject();
  }
  state->layout_version = kLayoutVersion;
  state->kind = KindValue(*request.kind);
  state->name_length = static_cast<uint32_t>(request.name.size());
  request.name.copy(state->name, request.name.size());
  const bool owned = request.disposition == KernelObjectDisposition::kCreateOwned &&
                     LockByte(fd.get(), kOwnerByte, F_WRLCK);
  state->owned = owned ? 1 : 0;
  state->magic = kMagic;
  // Atomic conversion: no other process sees the holder byte free meanwhile.
  LockByte(fd.get(), kHolderByte, F_RDLCK);
  return MakeOpened(
      new KernelObjectHandle(std::move(dir_fd), request.file_name, std::move(fd), state), false,
      owned);
}

bool IsCompatible(const SharedState& state) {
  return state.magic == kMagic && state.layout_version == kLayoutVersion &&
         (state.kind == kEventKindValue || state.kind == kMutexKindValue) &&
         state.name_length > 0 && state.name_length <= kMaxKernelObjectNameLength;
}

bool IsRequested(const SharedState& state, const OpenRequest& request) {
  return (!request.kind || state.kind == KindValue(*request.kind)) &&
         (request.name.empty() || StoredName(state) == request.name) &&
         KernelObjectFileName(StoredName(state)) == request.file_name;
}

// Called with the holder byte read-locked.
Attempt Join(UniqueFd& dir_fd, const OpenRequest& request, UniqueFd fd) {
  struct stat status;
  SharedState* state = nullptr;
  if (fstat(fd.get(), &status) == 0 && status.st_size >= static_cast<off_t>(kFileSize)) {
    state = MapState(fd.get());
  }
  if (state == nullptr || !IsCompatible(*state)) {
    if (state != nullptr) {
      munmap(state, kFileSize);
    }
    // Alone with it: an initialiser died half-way, so the file is stale.
    // Otherwise it is in use by something this code cannot read.
    return LockByte(fd.get(), kHolderByte, F_WRLCK) ? Attempt() : OpenedKernelObject();
  }
  if (!IsRequested(*state, request)) {
    munmap(state, kFileSize);
    return OpenedKernelObject();
  }
  return MakeOpened(
      new KernelObjectHandle(std::move(dir_fd), request.file_name, std::move(fd), state), true,
      false);
}

enum class FileOpening { kOpened, kStartOver, kFailed };

// Opens the file, or creates it for a creating request.
FileOpening OpenFile(int dir_fd, const OpenRequest& request, UniqueFd& fd) {
  const char* file_name = request.file_name.c_str();
  fd.reset(openat(dir_fd, file_name, O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (fd.valid()) {
    return FileOpening::kOpened;
  }
  if (errno != ENOENT || request.disposition == KernelObjectDisposition::kOpenExisting) {
    return FileOpening::kFailed;
  }
  fd.reset(
      openat(dir_fd, file_name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode));
  if (!fd.valid()) {
    return errno == EEXIST ? FileOpening::kStartOver : FileOpening::kFailed;
  }
  // Creation applied the umask; every user must be able to join.
  fchmod(fd.get(), kFileMode);
  return FileOpening::kOpened;
}

// Returns a result, or nothing to start over.
Attempt AttemptOpen(UniqueFd& dir_fd, const OpenRequest& request) {
  UniqueFd fd;
  switch (OpenFile(dir_fd.get(), request, fd)) {
    case FileOpening::kOpened:
      break;
    case FileOpening::kStartOver:
      return std::nullopt;
    case FileOpening::kFailed:
      return OpenedKernelObject();
  }
  struct stat status;
  if (fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return OpenedKernelObject();
  }
  if (LockByte(fd.get(), kHolderByte, F_WRLCK)) {
    if (!NamesFile(dir_fd.get(), request.file_name, fd.get())) {
      return std::nullopt;
    }
    if (request.disposition == KernelObjectDisposition::kOpenExisting) {
      unlinkat(dir_fd.get(), request.file_name.c_str(), 0);
      return OpenedKernelObject();
    }
    return Initialise(dir_fd, request, std::move(fd));
  }
  if (!IsLockConflict(errno)) {
    return OpenedKernelObject();
  }
  if (!LockByte(fd.get(), kHolderByte, F_RDLCK)) {
    return IsLockConflict(errno) ? Attempt() : OpenedKernelObject();
  }
  if (!NamesFile(dir_fd.get(), request.file_name, fd.get())) {
    return std::nullopt;
  }
  return Join(dir_fd, request, std::move(fd));
}

OpenedKernelObject OpenWithRetries(int dir_fd, const OpenRequest& request) {
  for (int attempt = 0; attempt < kMaxOpenAttempts; ++attempt) {
    // Each handle keeps a directory descriptor of its own for its removal.
    UniqueFd handle_dir_fd(fcntl(dir_fd, F_DUPFD_CLOEXEC, 0));
    if (!handle_dir_fd.valid()) {
      return OpenedKernelObject();
    }
    if (Attempt result = AttemptOpen(handle_dir_fd, request)) {
      return std::move(*result);
    }
    nanosleep(&kRetryDelay, nullptr);
  }
  return OpenedKernelObject();
}

timespec Now() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now;
}

timespec AddMilliseconds(timespec time, uint32_t milliseconds) {
  time.tv_sec += milliseconds / 1000;
  time.tv_nsec += static_cast<long>(milliseconds % 1000) * 1'000'000;
  if (time.tv_nsec >= kNanosecondsPerSecond) {
    ++time.tv_sec;
    time.tv_nsec -= kNanosecondsPerSecond;
  }
  return time;
}

bool IsBefore(const timespec& a, const timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

long NanosecondsUntil(const timespec& deadline) {
  const timespec now = Now();
  return (deadline.tv_sec - now.tv_sec) * kNanosecondsPerSecond + deadline.tv_nsec - now.tv_nsec;
}

// Without the vectored futex wait (old kernels, some sandboxes), look again
// every 10 ms.
void Poll(const std::optional<timespec>& deadline) {
  long nanoseconds = kPollIntervalNs;
  if (deadline) {
    nanoseconds = std::max(0L, std::min(nanoseconds, NanosecondsUntil(*deadline)));
  }
  const timespec delay = {0, nanoseconds};
  nanosleep(&delay, nullptr);
}

// Sleeps until some event's word may have changed or the deadline passes.
bool SleepUntilChange(std::span<const KernelObjectHandle* const> events,
                      const std::optional<timespec>& deadline) {
  futex_waitv waiters[kMaxWaitEvents] = {};
  for (size_t i = 0; i < events.size(); ++i) {
    waiters[i].val = 0;
    waiters[i].uaddr = reinterpret_cast<uintptr_t>(&events[i]->state().signaled);
    waiters[i].flags = FUTEX_32;
  }
  const timespec* timeout = deadline ? &*deadline : nullptr;
  if (syscall(SYS_futex_waitv, waiters, events.size(), 0, timeout, CLOCK_MONOTONIC) >= 0) {
    return true;
  }
  switch (errno) {
    case EAGAIN:
    case EINTR:
    case ETIMEDOUT:
      return true;
    case ENOSYS:
    case EPERM:
      Poll(deadline);
      return true;
    default:
      return false;
  }
}

}  // namespace

OpenedKernelObject OpenKernelObject(std::u16string_view name,
                                    KernelObjectKind kind,
                                    KernelObjectDisposition disposition) {
  if (name.empty() || name.size() > kMaxKernelObjectNameLength) {
    return OpenedKernelObject();
  }
  const UniqueFd dir_fd = OpenDirectory(disposition != KernelObjectDisposition::kOpenExisting);
  if (!dir_fd.valid()) {
    return OpenedKernelObject();
  }
  return OpenWithRetries(dir_fd.get(), {KernelObjectFileName(name), name, kind, disposition});
}

void SetEventState(KernelObjectHandle& event, bool signaled) {
  uint32_t& word = event.state().signaled;
  Word(word).store(signaled ? 1 : 0);
  if (signaled) {
    syscall(SYS_futex, &word, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
  }
}

bool GetEventState(const KernelObjectHandle& event) {
  return Word(event.state().signaled).load() != 0;
}

int WaitForFirstSignaled(std::span<const KernelObjectHandle* const> events, uint32_t timeout_ms) {
  std::optional<timespec> deadline;
  if (timeout_ms != kInfiniteWait) {
    deadline = AddMilliseconds(Now(), timeout_ms);
  }
  while (true) {
    for (size_t i = 0; i < events.size(); ++i) {
      if (GetEventState(*events[i])) {
        return static_cast<int>(i);
      }
    }
    if (deadline && !IsBefore(Now(), *deadline)) {
      return kWaitTimedOut;
    }
    if (!SleepUntilChange(events, deadline)) {
      return kWaitFailed;
    }
  }
}

MutexAcquireResult AcquireMutexOwnership(KernelObjectHandle& mutex) {
  if (!LockByte(mutex.fd(), kOwnerByte, F_WRLCK)) {
    return IsLockConflict(errno) ? MutexAcquireResult::kBusy : MutexAcquireResult::kFailed;
  }
  return Word(mutex.state().owned).exchange(1) != 0 ? MutexAcquireResult::kAbandoned
                                                    : MutexAcquireResult::kAcquired;
}

void ReleaseMutexOwnership(KernelObjectHandle& mutex) {
  Word(mutex.state().owned).store(0);
  LockByte(mutex.fd(), kOwnerByte, F_UNLCK);
}

bool KernelObjectExists(std::u16string_view name) {
  if (name.empty() || name.size() > kMaxKernelObjectNameLength) {
    return false;
  }
  const UniqueFd dir_fd = OpenDirectory(false);
  return dir_fd.valid() &&
         OpenWithRetries(dir_fd.get(), {KernelObjectFileName(name), name, std::nullopt,
                                        KernelObjectDisposition::kOpenExisting})
                 .handle != nullptr;
}

std::vector<KernelObjectInfo> ListKernelObjects() {
  std::vector<KernelObjectInfo> objects;
  const UniqueFd dir_fd = OpenDirectory(false);
  UniqueFd listing_fd(dir_fd.valid() ? fcntl(dir_fd.get(), F_DUPFD_CLOEXEC, 0) : -1);
  DIR* listing = listing_fd.valid() ? fdopendir(listing_fd.get()) : nullptr;
  if (listing == nullptr) {
    return objects;
  }
  listing_fd.release();  // closedir closes it
  while (const dirent* entry = readdir(listing)) {
    const std::string file_name = entry->d_name;
    if (file_name == "." || file_name == "..") {
      continue;
    }
    const OpenedKernelObject opened = OpenWithRetries(
        dir_fd.get(),
        {file_name, std::u16string_view(), std::nullopt, KernelObjectDisposition::kOpenExisting});
    if (opened.handle != nullptr) {
      const SharedState& state = opened.handle->state();
      const bool is_event = state.kind == kEventKindValue;
      objects.push_back({std::u16string(StoredName(state)),
                         is_event ? KernelObjectKind::kEvent : KernelObjectKind::kMutex,
                         is_event ? GetEventState(*opened.handle)
                                  : IsByteLockedByOthers(opened.handle->fd(), kOwnerByte)});
    }
  }
  closedir(listing);
  return objects;
}

}  // namespace updater
