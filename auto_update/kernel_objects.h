#ifndef AUTO_UPDATE_KERNEL_OBJECTS_H_
#define AUTO_UPDATE_KERNEL_OBJECTS_H_

// Named, machine-wide events and mutexes, shared between the updater and the
// browser (which links this library too).
//
// Semantics, the same on every platform:
// - A name is any non-empty UTF-16 text of at most kMaxKernelObjectNameLength
//   units, used exactly (case-sensitive). Events and mutexes share one set of
//   names: opening or creating a name that is held as the other kind fails.
// - Every process of every user sees the same object for the same name.
// - An object exists while at least one handle to it is open anywhere. When
//   the last holder closes it, exits or is killed, the object is gone; a new
//   creation starts afresh (an event not signalled, a mutex free).
// - Events reset only when told to (manual reset).
// - A mutex is owned through one handle. Acquiring again through the owning
//   handle nests and needs as many releases. Another handle, in this process
//   or another, finds it busy. Closing the owning handle, or the owner dying,
//   without a release leaves it abandoned: the next acquire obtains it and
//   says so once.
//
// Linux protocol (an interface of its own: keep it stable for the browser).
// - Directory /dev/shm/rivazeriduv_kernel_objects, mode 1777, created on the
//   first creation. One regular file per name, called KernelObjectFileName(
//   name), mode 0666, of one page: magic "RZKO", layout version, kind, the
//   event's signalled word, the mutex's owned word and the full name (see
//   kernel_objects_linux.cc for the offsets).
// - Locks are open-file-description locks (F_OFD_SETLK), so they belong to a
//   handle and vanish when the holder dies. Byte 0 is the holder lock: every
//   open handle keeps a read lock on it. Byte 1 is the owner lock: the owner
//   of a mutex keeps a write lock on it.
// - The name exists exactly when its file exists and someone holds a read
//   lock on byte 0. A file whose byte 0 a process can write-lock has no
//   holder and is stale.
// - Opening or creating: open the file (O_NOFOLLOW; if missing, create it
//   with O_EXCL), then try to write-lock byte 0.
//   * Granted: nobody holds it. Check that the path still names this file
//     (else start over). To create, write the header while holding the write
//     lock, take the owner lock too when created owned, and atomically turn
//     the write lock into a read lock. To only open, remove the stale file
//     (when permitted) and report that the object does not exist.
//   * Refused: read-lock byte 0. Granted: check that the path still names
//     this file and that the header is complete and of the wanted kind and
//     name; the handle is open. Refused: someone is initialising or removing
//     it; start over after a millisecond, giving up after about two seconds.
// - Closing: try to turn the read lock into a write lock; when granted, this
//   was the last holder and it removes the file, then closes.
// - Because the header is only ever written under the write lock and
//   removal only happens under it, no holder can see a half-written header
//   or lose its file to another process's clean-up.
// - Event state: the 32-bit word is 1 when signalled. Set stores 1 and wakes
//   every futex waiter on the word; reset stores 0. Waits use the
//   process-shared futex of every event (futex_waitv), or poll every 10 ms
//   where the kernel lacks it.
// - Mutex: acquire write-locks byte 1 without waiting (refused: busy), then
//   swaps the owned word to 1; when it was 1 already, the previous owner
//   vanished without releasing: abandoned. Release stores 0 and unlocks.
// - Anyone on the machine may set, reset or hold any object, as with
//   machine-wide names elsewhere.
// - Every descriptor is close-on-exec, so started programs hold nothing. A
//   child forked without exec shares its parent's handles and their locks.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace updater {

inline constexpr size_t kMaxKernelObjectNameLength = 1024;

// Platform state of one open handle.
class KernelObjectHandle;
struct KernelObjectHandleCloser {
  void operator()(KernelObjectHandle* handle) const;
};
using KernelObjectHandlePtr = std::unique_ptr<KernelObjectHandle, KernelObjectHandleCloser>;

enum class KernelObjectKind { kEvent, kMutex };

// A handle to a named manual-reset event; closed when destroyed.
class NamedEvent {
 public:
  NamedEvent();
  ~NamedEvent();
  NamedEvent(NamedEvent&& other) noexcept;
  NamedEvent& operator=(NamedEvent&& other) noexcept;

  // Creates the event, not signalled, or opens it with its state unchanged
  // when it exists. Invalid on failure.
  static NamedEvent Create(std::u16string_view name);
  // Opens the event only when it exists; invalid otherwise.
  static NamedEvent Open(std::u16string_view name);

  bool IsValid() const { return handle_ != nullptr; }
  // Create found the event already there.
  bool already_existed() const { return already_existed_; }

  // False on an invalid handle.
  bool Set() const;
  bool Reset() const;
  bool IsSignaled() const;

  void Close();

 private:
  friend int WaitForFirstEvent(std::span<const NamedEvent* const> events, uint32_t timeout_ms);

  NamedEvent(KernelObjectHandlePtr handle, bool already_existed);

  KernelObjectHandlePtr handle_;
  bool already_existed_ = false;
};

inline constexpr uint32_t kInfiniteWait = 0xFFFFFFFF;
inline constexpr int kWaitTimedOut = -1;
inline constexpr int kWaitFailed = -2;
inline constexpr size_t kMaxWaitEvents = 64;

// Waits until one of the events is signalled and returns its index, the
// lowest when several are; kWaitTimedOut after timeout_ms milliseconds
// (kInfiniteWait: never); kWaitFailed for no events, more than
// kMaxWaitEvents, an invalid one or a platform failure. Resets nothing.
int WaitForFirstEvent(std::span<const NamedEvent* const> events, uint32_t timeout_ms);

enum class MutexAcquireResult {
  kAcquired,
  kBusy,       // owned through another handle
  kAbandoned,  // acquired; the previous owner vanished without releasing
  kFailed,     // invalid handle or platform failure
};

// A handle to a named mutex; closed when destroyed (an owned mutex is then
// abandoned, see above).
class NamedMutex {
 public:
  NamedMutex();
  ~NamedMutex();
  NamedMutex(NamedMutex&& other) noexcept;
  NamedMutex& operator=(NamedMutex&& other) noexcept;

  // Creates the mutex, or opens it when it exists; not owned.
  static NamedMutex Create(std::u16string_view name);
  // Creates the mutex owned through the new handle; a mutex that already
  // existed is opened and not owned.
  static NamedMutex CreateOwned(std::u16string_view name);

  bool IsValid() const { return handle_ != nullptr; }
  bool already_existed() const { return already_existed_; }
  bool IsOwned() const { return owned_count_ > 0; }

  // Never waits.
  MutexAcquireResult TryAcquire();
  // False when this handle does not own the mutex.
  bool Release();

  void Close();

 private:
  NamedMutex(KernelObjectHandlePtr handle, bool already_existed, bool owned);

  KernelObjectHandlePtr handle_;
  bool already_existed_ = false;
  int owned_count_ = 0;
};

// Whether an event or a mutex of this name exists now.
bool KernelObjectExists(std::u16string_view name);

struct KernelObjectInfo {
  std::u16string name;
  KernelObjectKind kind;
  bool signaled_or_owned;  // an event's state, or whether a mutex is owned
};

// Every object that exists now, in no particular order.
std::vector<KernelObjectInfo> ListKernelObjects();

}  // namespace updater

#endif  // AUTO_UPDATE_KERNEL_OBJECTS_H_
