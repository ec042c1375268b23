// Named kernel objects as lock-guarded files in /dev/shm; the protocol is
// described in kernel_objects.h.

#include <dirent.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/random.h>
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
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/native_posix.h"
#include "kernel_objects/kernel_object_file_name.h"
#include "kernel_objects/kernel_objects_platform.h"

namespace updater::platform {
namespace {

constexpr char kDirectory[] = "/dev/shm";
// Others may read an object (to see that it exists), never change it.
constexpr mode_t kFileMode = 0644;

constexpr uint32_t kMagic = 0x4F4B5A52;  // "RZKO" in memory order.
constexpr uint32_t kLayoutVersion = 3;
constexpr uint32_t kEventKindValue = 1;
constexpr uint32_t kMutexKindValue = 2;

constexpr off_t kHolderByte = 0;
constexpr off_t kOwnerByte = 1;
constexpr off_t kCreatingByte = 2;

// Creators hold the creating byte, and last holders the holder byte, for
// microseconds; past about two seconds something is wrong.
constexpr int kMaxAttempts = 2000;
constexpr timespec kRetryDelay = {0, 1'000'000};
// Two creators of one name that met both withdraw, and try again after a
// random part of this, so that one of them comes first.
constexpr long kMaxContentionDelayNs = 2'000'000;
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

// The kind of lock that other open file descriptions hold on the byte
// (F_RDLCK, F_WRLCK or F_UNLCK). Needs no write access.
short LockHeldByOthers(int fd, off_t byte) {
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = byte;
  lock.l_len = 1;
  return fcntl(fd, F_OFD_GETLK, &lock) == 0 ? lock.l_type : F_UNLCK;
}

// /dev/shm, provided that its sticky bit and its owner, root, let nobody but
// a file's owner remove or rename it.
posix::ScopedFd OpenDirectory() {
  posix::ScopedFd dir_fd(open(kDirectory, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat status;
  if (!dir_fd.IsValid() || fstat(dir_fd.get(), &status) != 0) {
    return posix::ScopedFd();
  }
  if (status.st_uid != 0 || (status.st_mode & S_ISVTX) == 0) {
    errno = EPERM;
    return posix::ScopedFd();
  }
  return dir_fd;
}

// A descriptor of the directory with an open file description of its own,
// so that it neither shares the directory lock nor a reading position.
posix::ScopedFd ReopenDirectory(int dir_fd) {
  return posix::ScopedFd(openat(dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

std::vector<std::string> EntriesStartingWith(int dir_fd, std::string_view start) {
  std::vector<std::string> names;
  posix::ScopedFd listing_fd = ReopenDirectory(dir_fd);
  DIR* listing = listing_fd.IsValid() ? fdopendir(listing_fd.get()) : nullptr;
  if (listing == nullptr) {
    return names;
  }
  listing_fd.Release();  // closedir closes it
  while (const dirent* entry = readdir(listing)) {
    if (std::string_view(entry->d_name).starts_with(start)) {
      names.emplace_back(entry->d_name);
    }
  }
  closedir(listing);
  return names;
}

// The directory entry still names the file that `fd` has open.
bool NamesFile(int dir_fd, const std::string& file_name, int fd) {
  struct stat by_name;
  struct stat by_fd;
  return fstatat(dir_fd, file_name.c_str(), &by_name, AT_SYMLINK_NOFOLLOW) == 0 &&
         fstat(fd, &by_fd) == 0 && by_name.st_dev == by_fd.st_dev && by_name.st_ino == by_fd.st_ino;
}

bool RandomId(uint64_t& id) {
  return getrandom(&id, sizeof(id), 0) == sizeof(id);
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

bool IsCompatible(const SharedState& state) {
  return state.magic == kMagic && state.layout_version == kLayoutVersion &&
         (state.kind == kEventKindValue || state.kind == kMutexKindValue) &&
         state.name_length > 0 && state.name_length <= kMaxKernelObjectNameLength;
}

// The state of an object file, read without mapping it: whoever can
// truncate a file can make every access to its mapping fault.
std::optional<SharedState> ReadState(int fd) {
  struct stat status;
  SharedState state;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
      status.st_size < static_cast<off_t>(kFileSize) ||
      posix::ReadFully(fd, std::span(reinterpret_cast<uint8_t*>(&state), sizeof(state)), 0) !=
          static_cast<ssize_t>(sizeof(state)) ||
      !IsCompatible(state)) {
    return std::nullopt;
  }
  return state;
}

// The object in a file of any user, when it is live: a complete state whose
// name hashes to the file's name, and a holder.
std::optional<KernelObjectInfo> InspectFile(int dir_fd, const std::string& file_name) {
  const posix::ScopedFd fd(
      openat(dir_fd, file_name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  const std::optional<SharedState> state = fd.IsValid() ? ReadState(fd.get()) : std::nullopt;
  if (!state || !file_name.starts_with(KernelObjectFileNameStart(StoredName(*state))) ||
      LockHeldByOthers(fd.get(), kHolderByte) != F_RDLCK) {
    return std::nullopt;
  }
  const bool is_event = state->kind == kEventKindValue;
  return KernelObjectInfo{
      std::u16string(StoredName(*state)),
      is_event ? KernelObjectKind::kEvent : KernelObjectKind::kMutex,
      is_event ? state->signaled != 0 : LockHeldByOthers(fd.get(), kOwnerByte) != F_UNLCK};
}

}  // namespace

class KernelObjectHandle {
 public:
  KernelObjectHandle(posix::ScopedFd dir_fd,
                     std::string file_name,
                     posix::ScopedFd fd,
                     SharedState* state)
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
  posix::ScopedFd dir_fd_;
  std::string file_name_;
  posix::ScopedFd fd_;
  SharedState* state_;
};

void KernelObjectHandleCloser::operator()(KernelObjectHandle* handle) const {
  delete handle;
}

namespace {

struct OpenRequest {
  std::u16string_view name;
  KernelObjectKind kind;
  KernelObjectDisposition disposition;
};

// Takes ownership of fd and state.
KernelObjectHandlePtr MakeHandle(int dir_fd,
                                 const std::string& file_name,
                                 posix::ScopedFd fd,
                                 SharedState* state) {
  posix::ScopedFd handle_dir_fd = ReopenDirectory(dir_fd);
  if (!handle_dir_fd.IsValid()) {
    munmap(state, kFileSize);
    return nullptr;
  }
  return KernelObjectHandlePtr(
      new KernelObjectHandle(std::move(handle_dir_fd), file_name, std::move(fd), state));
}

OpenedKernelObject MakeOpened(KernelObjectHandlePtr handle, bool already_existed, bool owned) {
  OpenedKernelObject opened;
  opened.handle = std::move(handle);
  opened.already_existed = already_existed;
  opened.owned = owned;
  return opened;
}

// What looking at the files of a name found, in rising precedence: a later
// kind outweighs an earlier one.
enum class Found {
  kNothing,
  kOtherUsers,  // live, but created by another user
  kOtherKind,   // live, this user's, of the other kind
  kDying,       // its last holder is removing a file: look again
  kFailed,
  kJoined,
};

bool IsOutOfResources(int error) {
  return error == EMFILE || error == ENFILE || error == ENOMEM;
}

// One of this user's files, opened for use; invalid when it is gone or not
// a file this code made (another's, a mode that lets others write, 0000).
posix::ScopedFd OpenOwnFile(int dir_fd, const std::string& file_name) {
  posix::ScopedFd fd(
      openat(dir_fd, file_name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat status;
  if (fd.IsValid() && (fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
                       status.st_uid != geteuid() || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0)) {
    fd.Reset();
    errno = EPERM;
  }
  return fd;
}

// Removes the file when nobody holds it; false when someone does.
bool RemoveIfStale(int dir_fd, const std::string& file_name, int fd) {
  // Nobody can join while this lock is held.
  if (!LockByte(fd, kHolderByte, F_WRLCK)) {
    return false;
  }
  if (NamesFile(dir_fd, file_name, fd)) {
    unlinkat(dir_fd, file_name.c_str(), 0);
  }
  return true;
}

// A creation also clears what this user left behind under other names:
// temporary files and object files nobody holds (a living creator holds its
// temporary file from its first moment).
void RemoveOwnLeftover(int dir_fd, const std::string& file_name) {
  const posix::ScopedFd fd = OpenOwnFile(dir_fd, file_name);
  if (fd.IsValid() && (file_name.starts_with(kKernelObjectTemporaryFilePrefix) ||
                       IsKernelObjectFileName(file_name))) {
    RemoveIfStale(dir_fd, file_name, fd.get());
  }
}

// Whether the creator of the file `fd` has open still decides whether it
// keeps it.
bool IsBeingCreated(int fd) {
  return LockHeldByOthers(fd, kCreatingByte) != F_UNLCK;
}

// Joins the object of one of this user's files when it is live and of the
// request's name and kind; removes the file when nobody holds it.
Found JoinOwnFile(int dir_fd,
                  const std::string& file_name,
                  const OpenRequest& request,
                  KernelObjectHandlePtr& joined) {
  posix::ScopedFd fd = OpenOwnFile(dir_fd, file_name);
  if (!fd.IsValid()) {
    // Out of resources, this could miss a live object and create a second.
    return IsOutOfResources(errno) ? Found::kFailed : Found::kNothing;
  }
  // The state's name and kind never change after the file got its name.
  const std::optional<SharedState> state = ReadState(fd.get());
  if (state && StoredName(*state) != request.name) {
    return Found::kNothing;  // another name with the same hash
  }
  if (RemoveIfStale(dir_fd, file_name, fd.get()) || !state) {
    return Found::kNothing;
  }
  if (state->kind != KindValue(request.kind)) {
    return Found::kOtherKind;
  }
  // A creator that withdraws removes its file before it lets go of the
  // creating byte, so a joiner either sees the byte held or the name gone.
  if (!LockByte(fd.get(), kHolderByte, F_RDLCK) || IsBeingCreated(fd.get()) ||
      !NamesFile(dir_fd, file_name, fd.get())) {
    return Found::kDying;
  }
  SharedState* mapped = MapState(fd.get());
  if (mapped == nullptr) {
    return Found::kFailed;
  }
  joined = MakeHandle(dir_fd, file_name, std::move(fd), mapped);
  return joined != nullptr ? Found::kJoined : Found::kFailed;
}

// One look at every file of the request's name.
Found FindObject(int dir_fd,
                 const OpenRequest& request,
                 bool creating,
                 KernelObjectHandlePtr& joined) {
  const std::string start = KernelObjectFileNameStart(request.name);
  Found found = Found::kNothing;
  for (const std::string& file_name : EntriesStartingWith(dir_fd, kKernelObjectFilePrefix)) {
    struct stat status;
    if (fstatat(dir_fd, file_name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(status.st_mode)) {
      continue;
    }
    const bool own = status.st_uid == geteuid();
    if (!file_name.starts_with(start) || !IsKernelObjectFileName(file_name)) {
      if (own && creating) {
        RemoveOwnLeftover(dir_fd, file_name);
      }
      continue;
    }
    if (!own) {
      const std::optional<KernelObjectInfo> object = InspectFile(dir_fd, file_name);
      if (object && object->name == request.name) {
        found = std::max(found, Found::kOtherUsers);
      }
      continue;
    }
    found = std::max(found, JoinOwnFile(dir_fd, file_name, request, joined));
    if (found >= Found::kFailed) {
      return found;
    }
  }
  return found;
}

// Whether a live file other than `own_file` holds an object of the
// request's name, of any user and kind.
bool HasRival(int dir_fd, const OpenRequest& request, const std::string& own_file) {
  for (const std::string& file_name :
       EntriesStartingWith(dir_fd, KernelObjectFileNameStart(request.name))) {
    if (file_name == own_file || !IsKernelObjectFileName(file_name)) {
      continue;
    }
    const std::optional<KernelObjectInfo> object = InspectFile(dir_fd, file_name);
    if (object && object->name == request.name) {
      return true;
    }
  }
  return false;
}

// Writes the state of a new object into the file `fd`; null on failure.
SharedState* PrepareState(int fd, const OpenRequest& request, bool& owned, int& error) {
  // The umask may have taken read access away. Allocating the page now makes
  // a full file system fail here rather than fault a later store.
  if (fchmod(fd, kFileMode) != 0) {
    error = errno;
    return nullptr;
  }
  error = posix_fallocate(fd, 0, kFileSize);
  SharedState* state = error == 0 ? MapState(fd) : nullptr;
  if (state == nullptr) {
    error = error != 0 ? error : errno;
    return nullptr;
  }
  state->magic = kMagic;
  state->layout_version = kLayoutVersion;
  state->kind = KindValue(request.kind);
  state->name_length = static_cast<uint32_t>(request.name.size());
  request.name.copy(state->name, request.name.size());
  owned = request.disposition == KernelObjectDisposition::kCreateOwned &&
          LockByte(fd, kOwnerByte, F_WRLCK);
  state->owned = owned ? 1 : 0;
  return state;
}

// Prepares the object complete under a temporary name, holding it and its
// creating byte from the start, gives it its name, and keeps it only when no
// other live file of the name appeared meanwhile (`contended` otherwise:
// look again). Of creators that meet, at least the later one sees the other
// and withdraws; no lock of anyone else's is waited for.
OpenedKernelObject CreateObject(int dir_fd,
                                const OpenRequest& request,
                                int& error,
                                bool& contended) {
  contended = false;
  uint64_t temporary_id;
  uint64_t id;
  if (!RandomId(temporary_id) || !RandomId(id)) {
    error = errno;
    return OpenedKernelObject();
  }
  const std::string temporary_name = KernelObjectTemporaryFileName(temporary_id);
  posix::ScopedFd fd(openat(dir_fd, temporary_name.c_str(),
                            O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode));
  if (!fd.IsValid()) {
    error = errno;
    return OpenedKernelObject();
  }
  // Until it holds its file, another creation of this user may take it for
  // a leftover and remove it: then it starts over.
  if (!LockByte(fd.get(), kHolderByte, F_RDLCK) || !LockByte(fd.get(), kCreatingByte, F_WRLCK)) {
    error = errno;
    contended = IsLockConflict(error);
    unlinkat(dir_fd, temporary_name.c_str(), 0);
    return OpenedKernelObject();
  }
  bool owned = false;
  SharedState* state = PrepareState(fd.get(), request, owned, error);
  const std::string file_name = KernelObjectFileName(request.name, id);
  if (state == nullptr ||
      renameat2(dir_fd, temporary_name.c_str(), dir_fd, file_name.c_str(), RENAME_NOREPLACE) != 0) {
    if (state != nullptr) {
      error = errno;
      contended = errno == ENOENT;
      munmap(state, kFileSize);
    }
    unlinkat(dir_fd, temporary_name.c_str(), 0);
    return OpenedKernelObject();
  }
  if (HasRival(dir_fd, request, file_name)) {
    // Removed while the creating byte is still held: no joiner keeps it.
    unlinkat(dir_fd, file_name.c_str(), 0);
    munmap(state, kFileSize);
    contended = true;
    return OpenedKernelObject();
  }
  LockByte(fd.get(), kCreatingByte, F_UNLCK);
  KernelObjectHandlePtr handle = MakeHandle(dir_fd, file_name, std::move(fd), state);
  error = errno;
  return MakeOpened(std::move(handle), false, owned);
}

// A random pause of at most kMaxContentionDelayNs.
void PauseAfterContention() {
  uint64_t random = 0;
  RandomId(random);
  const timespec delay = {0, static_cast<long>(random % kMaxContentionDelayNs)};
  nanosleep(&delay, nullptr);
}

OpenedKernelObject OpenOrCreate(const OpenRequest& request, int& error) {
  const bool creating = request.disposition != KernelObjectDisposition::kOpenExisting;
  const posix::ScopedFd dir_fd = OpenDirectory();
  if (!dir_fd.IsValid()) {
    error = errno;
    return OpenedKernelObject();
  }
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    KernelObjectHandlePtr joined;
    switch (FindObject(dir_fd.get(), request, creating, joined)) {
      case Found::kJoined:
        return MakeOpened(std::move(joined), true, false);
      case Found::kNothing:
        if (creating) {
          bool contended = false;
          OpenedKernelObject created = CreateObject(dir_fd.get(), request, error, contended);
          if (!contended) {
            return created;
          }
          PauseAfterContention();
          continue;
        }
        error = ENOENT;
        return OpenedKernelObject();
      case Found::kOtherUsers:
        error = EACCES;
        return OpenedKernelObject();
      case Found::kOtherKind:
        error = EEXIST;
        return OpenedKernelObject();
      case Found::kFailed:
        error = errno;
        return OpenedKernelObject();
      case Found::kDying:
        break;
    }
    nanosleep(&kRetryDelay, nullptr);
  }
  error = EBUSY;
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
  int error = EINVAL;
  OpenedKernelObject opened;
  if (!name.empty() && name.size() <= kMaxKernelObjectNameLength) {
    opened = OpenOrCreate({name, kind, disposition}, error);
  }
  if (opened.handle == nullptr) {
    errno = error;
  }
  return opened;
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
  const posix::ScopedFd dir_fd = OpenDirectory();
  if (!dir_fd.IsValid()) {
    return false;
  }
  for (const std::string& file_name :
       EntriesStartingWith(dir_fd.get(), KernelObjectFileNameStart(name))) {
    const std::optional<KernelObjectInfo> object =
        IsKernelObjectFileName(file_name) ? InspectFile(dir_fd.get(), file_name) : std::nullopt;
    if (object && object->name == name) {
      return true;
    }
  }
  return false;
}

// Only the user's own objects can be opened; opening one is all waiting needs.
bool WaitableEventExists(std::u16string_view name) {
  return OpenKernelObject(name, KernelObjectKind::kEvent, KernelObjectDisposition::kOpenExisting)
             .handle != nullptr;
}

std::vector<KernelObjectInfo> ListKernelObjects() {
  std::vector<KernelObjectInfo> objects;
  const posix::ScopedFd dir_fd = OpenDirectory();
  if (!dir_fd.IsValid()) {
    return objects;
  }
  for (const std::string& file_name : EntriesStartingWith(dir_fd.get(), kKernelObjectFilePrefix)) {
    std::optional<KernelObjectInfo> object =
        IsKernelObjectFileName(file_name) ? InspectFile(dir_fd.get(), file_name) : std::nullopt;
    if (object) {
      objects.push_back(std::move(*object));
    }
  }
  return objects;
}

}  // namespace updater::platform
