#ifndef KERNEL_OBJECTS_KERNEL_OBJECTS_H_
#define KERNEL_OBJECTS_KERNEL_OBJECTS_H_

// Named, machine-wide events and mutexes, shared between the updater and the
// browser (which links this library too).
//
// Semantics, the same on every platform:
// - A name is any non-empty UTF-16 text of at most kMaxKernelObjectNameLength
//   units, used exactly (case-sensitive). Events and mutexes share one set of
//   names: opening or creating a name that is held as the other kind fails.
// - Names are machine-wide: every process of every user sees the same object
//   for the same name (KernelObjectExists, ListKernelObjects).
// - An object belongs to the user (effective user id) that created it, as
//   with a named object's default security on Windows: only that user can
//   open it. Opening or creating a name that exists under another user fails
//   with errno EACCES, for root too. So another user's object blocks a name
//   while its holders run, and nobody else can change it.
// - An object exists while at least one handle to it is open anywhere. When
//   the last holder closes it, exits or is killed, the object is gone; a new
//   creation starts afresh (an event not signalled, a mutex free).
// - Events reset only when told to (manual reset).
// - A mutex is owned through one handle. Acquiring again through the owning
//   handle nests and needs as many releases. Another handle, in this process
//   or another, finds it busy (on Windows a mutex belongs to a thread: another
//   handle on the owning thread acquires it too). Closing the owning handle, or the owner dying,
//   without a release leaves it abandoned: the next acquire obtains it and
//   says so once.
//
// Linux protocol (an interface of its own: keep it stable for the browser).
// - Files live directly in /dev/shm, used only when it is a directory owned
//   by root with the sticky bit, so that nobody but a file's owner (and root)
//   can remove or rename it. There is no directory of our own to squat.
// - An object is a regular file of one page, mode 0644 (its creator writes,
//   others can only read), called "rivazeriduv_kernel_object.", 16 hex digits
//   of the name's hash, ".", 16 random hex digits (getrandom), hex in lower
//   case (kernel_objects/kernel_object_file_name.h). The hash is the 64-bit
//   FNV-1a of the name's UTF-16 code units, low byte first. The random part
//   makes file names unguessable, so nobody can take one in advance.
// - The page holds the state: magic "RZKO", layout version 3, kind (1 event,
//   2 mutex), the event's signalled word, the mutex's owned word, the name's
//   length and the full name (see kernel_objects_linux.cc for the offsets).
//   Everything but the two words is fixed once the file has its name. The
//   name is always compared: a hash says only where to look.
// - Locks are open-file-description locks (F_OFD_*), so they belong to a
//   handle and vanish when the holder dies. Byte 0 is the holder lock: every
//   open handle keeps a read lock on it. Byte 1 is the owner lock: the owner
//   of a mutex keeps a write lock on it. Byte 2 is the creating lock: a
//   creator keeps a write lock on it until it has decided to keep the file.
// - An object is live when a file of its name's hash has a complete state of
//   that name and someone holds a read lock on byte 0 (F_OFD_GETLK reports
//   F_RDLCK; that needs only read access). Files without a holder are stale
//   and block nothing. Other users' stale files, files with an incomplete or
//   foreign state, links, FIFOs and whatever else bears the prefix are
//   ignored.
// - Other users' files are only read (pread, F_OFD_GETLK), never mapped or
//   locked: their owner can truncate them at any time. A handle maps its own
//   user's file (MAP_SHARED) for the futex words; only that user (and
//   root) can change the file's size.
// - Creating (Create, CreateOwned) takes no lock that anyone else could
//   hold: nobody can delay or block a creation but by holding an object of
//   the same name. Look for a live object of the name. This user's: join it
//   (already existed). Another user's: fail with EACCES. None: create
//   "rivazeriduv_kernel_object.tmp." + 16 random hex digits (O_EXCL,
//   O_NOFOLLOW, mode 0644), take the holder read lock and the creating write
//   lock at once, allocate the page, write the state (take the owner lock
//   when created owned), then renameat2(RENAME_NOREPLACE) it to its object
//   name. Every object file is thus complete when it appears. Then list the
//   files of the name's hash again: when another live file of the name (any
//   user's, any kind) is there, remove the own file (still holding the
//   creating lock), close it and start over after a random pause of up to
//   2 ms; otherwise unlock the creating byte: the object is created. Of two
//   creators that meet, the later one always sees the earlier one's file,
//   so at most one keeps its file (both may withdraw, and then meet the
//   survivor or try again). A creation also removes this user's temporary
//   files and object files of every name that nobody holds.
// - Joining (and opening without creating): open the file (O_NOFOLLOW) and
//   check that it is a regular file of this user that others cannot write,
//   and skip it when its state names another name. Then try to write-lock
//   byte 0. Granted: nobody holds it (stale); remove it if the name still
//   names this file. Refused: read-lock byte 0, check that nobody holds the
//   creating lock (F_OFD_GETLK on byte 2), that the name still names this
//   file and that the state is of the name and kind; the handle is open.
//   When the read lock is refused, the creating lock is held or the name no
//   longer names the file, its creator has not decided yet or its last
//   holder is removing it: look again after a millisecond, giving up after
//   about two seconds. A file whose creator is still deciding counts as live
//   for every other check.
// - Closing: try to turn the read lock into a write lock; when granted, this
//   was the last holder and it removes the file (if the name still names
//   it), then closes. Nobody can join a file while its byte 0 is
//   write-locked, and a joiner that gets its read lock later finds the name
//   gone, so no holder loses its object to another process's clean-up.
// - Event state: the 32-bit word is 1 when signalled. Set stores 1 and wakes
//   every futex waiter on the word; reset stores 0. Waits use the
//   process-shared futex of every event (futex_waitv), or poll every 10 ms
//   where the kernel lacks it.
// - Mutex: acquire write-locks byte 1 without waiting (refused: busy), then
//   swaps the owned word to 1; when it was 1 already, the previous owner
//   vanished without releasing: abandoned. Release stores 0 and unlocks.
// - Every descriptor is close-on-exec, so started programs hold nothing. A
//   child forked without exec shares its parent's handles and their locks.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "kernel_objects/kernel_object_types.h"
#include "kernel_objects/kernel_objects_platform.h"

namespace updater {

// A handle to a named manual-reset event; closed when destroyed.
class NamedEvent {
 public:
  NamedEvent();
  ~NamedEvent();
  NamedEvent(NamedEvent&& other) noexcept;
  NamedEvent& operator=(NamedEvent&& other) noexcept;

  // Creates the event, not signalled, or opens it with its state unchanged
  // when it exists. Invalid on failure (errno EACCES: another user's).
  static NamedEvent Create(std::u16string_view name);
  // Opens the event only when it exists; invalid otherwise (errno EACCES:
  // it exists, but as another user's).
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

  NamedEvent(platform::KernelObjectHandlePtr handle, bool already_existed);

  platform::KernelObjectHandlePtr handle_;
  bool already_existed_ = false;
};

// Waits until one of the events is signalled and returns its index, the
// lowest when several are; kWaitTimedOut after timeout_ms milliseconds
// (kInfiniteWait: never); kWaitFailed for no events, more than
// kMaxWaitEvents, an invalid one or a platform failure. Resets nothing.
int WaitForFirstEvent(std::span<const NamedEvent* const> events, uint32_t timeout_ms);

// A handle to a named mutex; closed when destroyed (an owned mutex is then
// abandoned, see above).
class NamedMutex {
 public:
  NamedMutex();
  ~NamedMutex();
  NamedMutex(NamedMutex&& other) noexcept;
  NamedMutex& operator=(NamedMutex&& other) noexcept;

  // Creates the mutex, or opens it when it exists; not owned. Invalid on
  // failure (errno EACCES: another user's).
  static NamedMutex Create(std::u16string_view name);
  // Creates the mutex owned through the new handle; a mutex that already
  // existed is opened and not owned. Fails as Create does.
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
  NamedMutex(platform::KernelObjectHandlePtr handle, bool already_existed, bool owned);

  platform::KernelObjectHandlePtr handle_;
  bool already_existed_ = false;
  int owned_count_ = 0;
};

// Whether an event or a mutex of this name exists now, whoever created it.
bool KernelObjectExists(std::u16string_view name);

// Whether an event of this name exists that this process may wait on (on
// Linux: one of the user's own). Asks for nothing more than waiting, so that
// an event whose access list allows only that counts as well.
bool WaitableEventExists(std::u16string_view name);

// Every object that exists now, of every user, in no particular order.
std::vector<KernelObjectInfo> ListKernelObjects();

}  // namespace updater

#endif  // KERNEL_OBJECTS_KERNEL_OBJECTS_H_
