#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/string_util.h"
#include "kernel_objects/kernel_object_file_name.h"
#include "kernel_objects/kernel_objects.h"
#include "tests/support/child_process.h"
#include "tests/support/machine_isolation.h"
#include "tests/support/test_files.h"

namespace updater {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

constexpr int kToolExitBusy = 3;
constexpr uid_t kOtherUser = 65534;

// Also run as another user, who may not reach the build tree.
const std::string& ToolPath() {
  const char* binary_dir = std::getenv("UPDATER_TEST_BINARY_DIR");
  static const test_support::ProgramForAnyUser tool(
      std::string(binary_dir != nullptr ? binary_dir : ".") + "/tools/kernel_object_tool");
  return tool.path();
}

// A distinct name per call, so that runs and parallel tests never meet.
std::u16string UniqueName(std::u16string_view what) {
  static int counter = 0;
  return UTF8ToUTF16("Global\\kernel_objects_test_" + std::to_string(getpid()) + "_" +
                     std::to_string(++counter) + "_") +
         std::u16string(what);
}

test_support::ChildOptions AsUser(std::optional<uid_t> user) {
  test_support::ChildOptions options;
  options.user = user;
  return options;
}

// The tool in a child process, its standard input and output on pipes.
class Tool : public test_support::ChildProcess {
 public:
  explicit Tool(const std::vector<std::string>& args, std::optional<uid_t> user = std::nullopt)
      : ChildProcess(ToolPath(), args, AsUser(user)) {}

  // The exit code, or -1 when it died of a signal.
  int Wait() { return ChildProcess::Wait().code; }
};

int RunTool(const std::vector<std::string>& args) {
  Tool tool(args);
  return tool.Wait();
}

std::vector<std::string> ReadAllLines(test_support::ChildProcess& child) {
  std::vector<std::string> lines;
  for (std::string line = child.ReadLine(); !line.empty(); line = child.ReadLine()) {
    lines.push_back(line);
  }
  return lines;
}

struct ScriptOutput {
  int code;
  std::vector<std::string> lines;
};

// A shell script run as `user`, with `args` as $1...
ScriptOutput RunScript(const std::string& script,
                       std::optional<uid_t> user,
                       const std::vector<std::string>& args = {}) {
  std::vector<std::string> shell_args = {"-c", script, "sh"};
  shell_args.insert(shell_args.end(), args.begin(), args.end());
  test_support::ChildProcess shell("/bin/sh", shell_args, AsUser(user));
  std::vector<std::string> lines = ReadAllLines(shell);
  return {shell.Wait().code, std::move(lines)};
}

// The regular files of a user in /dev/shm and below.
std::set<std::string> FilesOf(uid_t user) {
  std::set<std::string> files;
  std::error_code error;
  for (std::filesystem::recursive_directory_iterator it("/dev/shm", error), end;
       !error && it != end; it.increment(error)) {
    struct stat status;
    if (lstat(it->path().c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
        status.st_uid == user) {
      files.insert(it->path());
    }
  }
  return files;
}

bool HasShmFileStartingWith(std::string_view start) {
  std::error_code error;
  for (std::filesystem::directory_iterator it("/dev/shm", error), end; !error && it != end;
       it.increment(error)) {
    if (it->path().filename().string().starts_with(start)) {
      return true;
    }
  }
  return false;
}

// The one file in `after` that is not in `before`; empty when there is not
// exactly one.
std::string NewFile(const std::set<std::string>& after, const std::set<std::string>& before) {
  std::vector<std::string> added;
  for (const std::string& file : after) {
    if (!before.contains(file)) {
      added.push_back(file);
    }
  }
  return added.size() == 1 ? added[0] : std::string();
}

std::optional<KernelObjectInfo> FindListed(std::u16string_view name) {
  for (const KernelObjectInfo& object : ListKernelObjects()) {
    if (object.name == name) {
      return object;
    }
  }
  return std::nullopt;
}

bool IsListed(std::u16string_view name) {
  return FindListed(name).has_value();
}

// errno after a creation or opening that must fail; 0 when it succeeded.
template <typename Object>
int ErrorOf(Object&& object) {
  const int error = errno;
  return object.IsValid() ? 0 : error;
}

TEST(KernelObjectsTest, AnEventLivesExactlyAsLongAsItsHolders) {
  const std::u16string name = UniqueName(u"event");
  const std::string name_utf8 = UTF16ToUTF8(name);
  EXPECT_FALSE(KernelObjectExists(name));
  EXPECT_FALSE(NamedEvent::Open(name).IsValid());

  {
    Tool holder({"create-event", name_utf8});
    ASSERT_EQ(holder.ReadLine(), "created");
    ASSERT_EQ(holder.ReadLine(), "ready");
    EXPECT_TRUE(KernelObjectExists(name));
    EXPECT_TRUE(IsListed(name));
    const NamedEvent opened = NamedEvent::Open(name);
    ASSERT_TRUE(opened.IsValid());
    EXPECT_TRUE(opened.already_existed());
    EXPECT_FALSE(opened.IsSignaled());
    EXPECT_EQ(RunTool({"set", name_utf8}), 0);
    EXPECT_TRUE(opened.IsSignaled());
  }  // Our handle is closed first, then the holder is killed.
  EXPECT_FALSE(KernelObjectExists(name));
  EXPECT_FALSE(NamedEvent::Open(name).IsValid());
  EXPECT_FALSE(IsListed(name));

  // A new creation starts afresh, and other processes see it until it closes.
  NamedEvent created = NamedEvent::Create(name);
  ASSERT_TRUE(created.IsValid());
  EXPECT_FALSE(created.already_existed());
  EXPECT_FALSE(created.IsSignaled());
  EXPECT_EQ(RunTool({"exists", name_utf8}), 0);
  EXPECT_EQ(RunTool({"set", name_utf8}), 0);
  EXPECT_TRUE(created.IsSignaled());
  EXPECT_EQ(RunTool({"reset", name_utf8}), 0);
  EXPECT_FALSE(created.IsSignaled());
  created.Close();
  EXPECT_EQ(RunTool({"exists", name_utf8}), 1);
  EXPECT_EQ(RunTool({"set", name_utf8}), 1);
}

TEST(KernelObjectsTest, AHolderThatClosesNormallyEndsTheObjectToo) {
  const std::u16string name = UniqueName(u"closed");
  Tool holder({"create-event", UTF16ToUTF8(name)});
  ASSERT_EQ(holder.ReadLine(), "created");
  ASSERT_EQ(holder.ReadLine(), "ready");
  {
    Tool second({"hold-event", UTF16ToUTF8(name)});
    ASSERT_EQ(second.ReadLine(), "opened");
    ASSERT_EQ(second.ReadLine(), "ready");
    holder.CloseInput();
    EXPECT_EQ(holder.Wait(), 0);
    EXPECT_TRUE(KernelObjectExists(name));  // the second holder keeps it
  }
  EXPECT_FALSE(KernelObjectExists(name));
}

TEST(KernelObjectsTest, CreateAndOpenShareOneStateAndOneNamespace) {
  const std::u16string name = UniqueName(u"shared/é程\xD800");
  NamedEvent first = NamedEvent::Create(name);
  NamedEvent second = NamedEvent::Create(name);
  ASSERT_TRUE(first.IsValid());
  ASSERT_TRUE(second.IsValid());
  EXPECT_FALSE(first.already_existed());
  EXPECT_TRUE(second.already_existed());
  EXPECT_TRUE(first.Set());
  EXPECT_TRUE(second.IsSignaled());
  EXPECT_TRUE(NamedEvent::Create(name).IsSignaled());  // opening keeps the state
  EXPECT_TRUE(second.Reset());
  EXPECT_FALSE(first.IsSignaled());

  // One name, one kind.
  EXPECT_FALSE(NamedMutex::Create(name).IsValid());
  const std::u16string mutex_name = UniqueName(u"mutex");
  const NamedMutex mutex = NamedMutex::Create(mutex_name);
  ASSERT_TRUE(mutex.IsValid());
  EXPECT_FALSE(NamedEvent::Create(mutex_name).IsValid());
  EXPECT_FALSE(NamedEvent::Open(mutex_name).IsValid());
  EXPECT_TRUE(KernelObjectExists(mutex_name));

  // Names that cannot be objects.
  EXPECT_FALSE(NamedEvent::Create(u"").IsValid());
  EXPECT_FALSE(NamedEvent::Create(std::u16string(kMaxKernelObjectNameLength + 1, u'n')).IsValid());
  EXPECT_FALSE(KernelObjectExists(u""));
  const std::u16string longest(kMaxKernelObjectNameLength, u'程');
  const NamedEvent longest_event = NamedEvent::Create(longest);
  EXPECT_TRUE(longest_event.IsValid());
  EXPECT_TRUE(IsListed(longest));

  // An invalid handle refuses everything.
  const NamedEvent invalid;
  EXPECT_FALSE(invalid.Set());
  EXPECT_FALSE(invalid.Reset());
  EXPECT_FALSE(invalid.IsSignaled());
}

TEST(KernelObjectsTest, WaitReturnsTheLowestSignalledIndex) {
  const NamedEvent first = NamedEvent::Create(UniqueName(u"first"));
  const NamedEvent second = NamedEvent::Create(UniqueName(u"second"));
  const NamedEvent* both[] = {&first, &second};
  EXPECT_EQ(WaitForFirstEvent(both, 0), kWaitTimedOut);
  EXPECT_EQ(WaitForFirstEvent(both, 20), kWaitTimedOut);
  second.Set();
  EXPECT_EQ(WaitForFirstEvent(both, 0), 1);
  first.Set();
  EXPECT_EQ(WaitForFirstEvent(both, kInfiniteWait), 0);
  EXPECT_EQ(WaitForFirstEvent(both, 0), 0);  // manual reset: still signalled
  first.Reset();
  EXPECT_EQ(WaitForFirstEvent(both, 0), 1);
  second.Reset();
  EXPECT_EQ(WaitForFirstEvent(both, 1), kWaitTimedOut);

  const NamedEvent invalid;
  const NamedEvent* with_invalid[] = {&first, &invalid};
  EXPECT_EQ(WaitForFirstEvent(with_invalid, 0), kWaitFailed);
  EXPECT_EQ(WaitForFirstEvent({}, 0), kWaitFailed);
  const std::vector<const NamedEvent*> too_many(kMaxWaitEvents + 1, &first);
  EXPECT_EQ(WaitForFirstEvent(too_many, 0), kWaitFailed);
}

TEST(KernelObjectsTest, ASetWakesWaitersInThisAndOtherProcesses) {
  const std::u16string continue_name = UniqueName(u"continue");
  const std::u16string cancel_name = UniqueName(u"cancel");
  const NamedEvent continue_event = NamedEvent::Create(continue_name);
  const NamedEvent cancel_event = NamedEvent::Create(cancel_name);

  Tool waiter({"wait", "600000", UTF16ToUTF8(continue_name), UTF16ToUTF8(cancel_name)});
  ASSERT_EQ(waiter.ReadLine(), "ready");
  cancel_event.Set();
  EXPECT_EQ(waiter.ReadLine(), "1");
  EXPECT_EQ(waiter.Wait(), 0);
  cancel_event.Reset();

  int result = kWaitFailed;
  std::thread thread([&] {
    const NamedEvent* events[] = {&continue_event, &cancel_event};
    result = WaitForFirstEvent(events, kInfiniteWait);
  });
  EXPECT_EQ(RunTool({"set", UTF16ToUTF8(continue_name)}), 0);
  thread.join();
  EXPECT_EQ(result, 0);
}

TEST(KernelObjectsTest, AMutexIsBusyWhileAnotherHandleOwnsIt) {
  const std::u16string name = UniqueName(u"busy");
  const std::string name_utf8 = UTF16ToUTF8(name);
  NamedMutex mutex = NamedMutex::Create(name);
  ASSERT_TRUE(mutex.IsValid());
  EXPECT_FALSE(mutex.already_existed());
  EXPECT_FALSE(mutex.IsOwned());
  EXPECT_FALSE(mutex.Release());
  ASSERT_EQ(mutex.TryAcquire(), MutexAcquireResult::kAcquired);
  EXPECT_EQ(mutex.TryAcquire(), MutexAcquireResult::kAcquired);  // nested

  EXPECT_EQ(NamedMutex::Create(name).TryAcquire(), MutexAcquireResult::kBusy);
  EXPECT_EQ(RunTool({"hold-mutex", name_utf8}), kToolExitBusy);

  EXPECT_TRUE(mutex.Release());
  EXPECT_EQ(RunTool({"hold-mutex", name_utf8}), kToolExitBusy);  // still held once
  EXPECT_TRUE(mutex.Release());
  EXPECT_FALSE(mutex.Release());
  {
    Tool owner({"hold-mutex", name_utf8});
    EXPECT_EQ(owner.ReadLine(), "acquired");
    EXPECT_EQ(owner.ReadLine(), "ready");
    EXPECT_EQ(mutex.TryAcquire(), MutexAcquireResult::kBusy);
    owner.CloseInput();
    EXPECT_EQ(owner.Wait(), 0);  // released before it ended
  }
  EXPECT_EQ(mutex.TryAcquire(), MutexAcquireResult::kAcquired);
  EXPECT_EQ(NamedMutex().TryAcquire(), MutexAcquireResult::kFailed);
}

TEST(KernelObjectsTest, AnOwnerKilledWhileOwningAbandonsTheMutex) {
  const std::u16string name = UniqueName(u"abandoned");
  const std::string name_utf8 = UTF16ToUTF8(name);
  Tool owner({"hold-mutex", name_utf8});
  ASSERT_EQ(owner.ReadLine(), "acquired");
  ASSERT_EQ(owner.ReadLine(), "ready");

  NamedMutex mutex = NamedMutex::Create(name);
  ASSERT_TRUE(mutex.IsValid());
  EXPECT_TRUE(mutex.already_existed());
  EXPECT_EQ(mutex.TryAcquire(), MutexAcquireResult::kBusy);
  owner.Kill();
  owner.Wait();
  EXPECT_EQ(mutex.TryAcquire(), MutexAcquireResult::kAbandoned);
  EXPECT_TRUE(mutex.IsOwned());
  EXPECT_TRUE(mutex.Release());
  EXPECT_EQ(mutex.TryAcquire(), MutexAcquireResult::kAcquired);  // said only once
  mutex.Close();
  EXPECT_FALSE(KernelObjectExists(name));

  // Killed while it was the only holder: the next creator starts afresh.
  // Any creation of this user clears the stale file, and the temporary file
  // of a creator that died half-way (another test's creation in the shared
  // /dev/shm may have cleared the stale file already).
  Tool lone_owner({"hold-mutex", name_utf8});
  ASSERT_EQ(lone_owner.ReadLine(), "acquired");
  ASSERT_EQ(lone_owner.ReadLine(), "ready");
  lone_owner.Kill();
  lone_owner.Wait();
  const std::string stale_start = KernelObjectFileNameStart(name);
  const std::string temporary = KernelObjectTemporaryFileName(getpid());
  close(open(("/dev/shm/" + temporary).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
  EXPECT_TRUE(NamedEvent::Create(UniqueName(u"clearing")).IsValid());
  EXPECT_FALSE(HasShmFileStartingWith(stale_start));
  EXPECT_FALSE(HasShmFileStartingWith(temporary));
  NamedMutex next = NamedMutex::Create(name);
  EXPECT_FALSE(next.already_existed());
  EXPECT_EQ(next.TryAcquire(), MutexAcquireResult::kAcquired);
}

TEST(KernelObjectsTest, CreateOwnedOwnsOnlyWhatItCreates) {
  const std::u16string name = UniqueName(u"under_upgrade");
  NamedMutex created = NamedMutex::CreateOwned(name);
  ASSERT_TRUE(created.IsValid());
  EXPECT_FALSE(created.already_existed());
  EXPECT_TRUE(created.IsOwned());
  EXPECT_EQ(RunTool({"hold-mutex", UTF16ToUTF8(name)}), kToolExitBusy);

  NamedMutex opened = NamedMutex::CreateOwned(name);
  EXPECT_TRUE(opened.already_existed());
  EXPECT_FALSE(opened.IsOwned());
  EXPECT_EQ(opened.TryAcquire(), MutexAcquireResult::kBusy);

  // Closing without a release abandons it for the other handle.
  created.Close();
  EXPECT_EQ(opened.TryAcquire(), MutexAcquireResult::kAbandoned);
}

// Processes that keep creating, acquiring and closing one mutex, so that its
// file is created and removed all the time: two owners at once would mean
// two processes ended up with different files for one name.
TEST(KernelObjectsTest, OwnershipStaysExclusiveWhileTheObjectComesAndGoes) {
  constexpr int kProcesses = 4;
  constexpr int kRounds = 3000;
  struct Shared {
    std::atomic<int> inside;
    std::atomic<int> overlaps;
    std::atomic<int> unexpected;
    std::atomic<int> acquired;
  };
  void* memory =
      mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(memory, MAP_FAILED);
  Shared* shared = new (memory) Shared{};
  const std::u16string name = UniqueName(u"contended");
  std::vector<pid_t> children;
  for (int i = 0; i < kProcesses; ++i) {
    const pid_t child = fork();
    if (child == 0) {
      for (int round = 0; round < kRounds; ++round) {
        NamedMutex mutex = NamedMutex::Create(name);
        const MutexAcquireResult result = mutex.TryAcquire();
        if (result == MutexAcquireResult::kAcquired) {
          shared->overlaps += shared->inside.fetch_add(1) != 0;
          ++shared->acquired;
          shared->inside.fetch_sub(1);
          mutex.Release();
        } else if (result != MutexAcquireResult::kBusy) {
          ++shared->unexpected;
        }
      }
      _exit(0);
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    waitpid(child, nullptr, 0);
  }
  EXPECT_EQ(shared->overlaps.load(), 0);
  EXPECT_EQ(shared->unexpected.load(), 0);
  EXPECT_GT(shared->acquired.load(), 0);
  EXPECT_FALSE(KernelObjectExists(name));
  munmap(memory, sizeof(Shared));
}

TEST(KernelObjectsTest, UsersSeeButCannotUseEachOthersObjects) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root to run the tool as another user";
  }
  const std::u16string name = UniqueName(u"users");
  const std::string name_utf8 = UTF16ToUTF8(name);
  {
    Tool root_holder({"create-event", name_utf8});
    ASSERT_EQ(root_holder.ReadLine(), "created");
    root_holder.Kill();  // leaves a stale file that belongs to root
  }
  Tool other_user({"create-event", name_utf8}, kOtherUser);
  const std::string first_line = other_user.ReadLine();
  if (first_line.empty()) {
    GTEST_SKIP() << "the tool cannot run as user " << kOtherUser;
  }
  EXPECT_EQ(first_line, "created");
  ASSERT_EQ(other_user.ReadLine(), "ready");

  // Root sees the other user's event, but opens, creates and signals nothing.
  EXPECT_TRUE(KernelObjectExists(name));
  EXPECT_EQ(ErrorOf(NamedEvent::Open(name)), EACCES);
  EXPECT_EQ(ErrorOf(NamedEvent::Create(name)), EACCES);
  EXPECT_EQ(ErrorOf(NamedMutex::CreateOwned(name)), EACCES);
  EXPECT_EQ(RunTool({"set", name_utf8}), 1);
  EXPECT_EQ(Tool({"set", name_utf8}, kOtherUser).Wait(), 0);
  Tool waiter({"wait", "0", name_utf8}, kOtherUser);
  EXPECT_EQ(waiter.ReadLine(), "ready");
  EXPECT_EQ(waiter.ReadLine(), "0");
  EXPECT_EQ(waiter.Wait(), 0);  // it held the event until it ended
  const std::optional<KernelObjectInfo> listed = FindListed(name);
  ASSERT_TRUE(listed.has_value());
  EXPECT_EQ(listed->kind, KernelObjectKind::kEvent);
  EXPECT_TRUE(listed->signaled_or_owned);
  other_user.CloseInput();
  EXPECT_EQ(other_user.Wait(), 0);
  EXPECT_FALSE(KernelObjectExists(name));
  const NamedEvent recreated = NamedEvent::Create(name);
  EXPECT_TRUE(recreated.IsValid());
  EXPECT_FALSE(recreated.already_existed());
  EXPECT_FALSE(recreated.IsSignaled());

  // And the other way round: root's mutex blocks the other user's.
  const std::u16string root_name = UniqueName(u"root");
  const std::string root_name_utf8 = UTF16ToUTF8(root_name);
  const NamedMutex root_mutex = NamedMutex::CreateOwned(root_name);
  ASSERT_TRUE(root_mutex.IsOwned());
  EXPECT_EQ(Tool({"exists", root_name_utf8}, kOtherUser).Wait(), 0);
  Tool other_list({"list"}, kOtherUser);
  EXPECT_THAT(ReadAllLines(other_list), Contains("mutex " + root_name_utf8 + " owned"));
  Tool other_holder({"hold-mutex", root_name_utf8}, kOtherUser);
  EXPECT_EQ(other_holder.ReadLine(), "failed");
  EXPECT_EQ(other_holder.Wait(), 1);
  EXPECT_EQ(Tool({"hold-event", root_name_utf8}, kOtherUser).Wait(), 1);
}

// Attacks of another user on the files behind the objects. They run with a
// /dev/shm of their own, since the attacker damages whatever it can there.
class KernelObjectAttackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) {
      GTEST_SKIP() << "needs root to act as another user";
    }
    if (!test_support::IsolateFromMachine({})) {
      GTEST_SKIP() << "cannot get a /dev/shm of its own";
    }
    if (Tool({"exists", "x"}, kOtherUser).Wait() == 127) {
      GTEST_SKIP() << "the tool cannot run as user " << kOtherUser;
    }
  }
};

// Every file in /dev/shm and one level below that the other user does not
// own: overwritten, truncated, replaced by its own, removed. Prints each
// success.
constexpr char kVandalScript[] = R"(
for f in /dev/shm/* /dev/shm/*/*; do
  { [ -L "$f" ] || [ ! -f "$f" ] || [ -O "$f" ]; } && continue
  printf vandal 2>/dev/null 1<>"$f" && echo "overwrote $f"
  truncate -c -s 0 "$f" 2>/dev/null && echo "truncated $f"
  : >/dev/shm/vandal && mv -f /dev/shm/vandal "$f" 2>/dev/null && echo "replaced $f"
  rm -f "$f" 2>/dev/null && echo "removed $f"
done
rm -f /dev/shm/vandal
)";

TEST_F(KernelObjectAttackTest, AnotherUserCannotDamageRemoveOrReplaceHeldObjects) {
  // The other user's own directory, open to all, where a shared object
  // directory would go: its owner could remove whatever lands in it.
  constexpr char kSquattedDirectory[] = "/dev/shm/rivazeriduv_kernel_objects";
  ASSERT_EQ(RunScript(std::string("rm -rf ") + kSquattedDirectory + " && mkdir -m 1777 " +
                          kSquattedDirectory,
                      kOtherUser)
                .code,
            0);

  const std::u16string mutex_name = UniqueName(u"attacked_mutex");
  const std::u16string event_name = UniqueName(u"attacked_event");
  const std::u16string held_name = UniqueName(u"attacked_holder");
  NamedMutex mutex = NamedMutex::CreateOwned(mutex_name);
  const NamedEvent event = NamedEvent::Create(event_name);
  ASSERT_TRUE(mutex.IsOwned());
  ASSERT_TRUE(event.IsValid());
  Tool holder({"hold-mutex", UTF16ToUTF8(held_name)});
  ASSERT_EQ(holder.ReadLine(), "acquired");
  ASSERT_EQ(holder.ReadLine(), "ready");

  // A file root left writable shows that the vandal reaches what it can.
  constexpr char kCanary[] = "/dev/shm/canary";
  const mode_t old_umask = umask(0);
  close(open(kCanary, O_CREAT | O_WRONLY | O_CLOEXEC, 0666));
  umask(old_umask);
  const ScriptOutput vandal = RunScript(kVandalScript, kOtherUser);
  EXPECT_THAT(vandal.lines, ElementsAre(std::string("overwrote ") + kCanary,
                                        std::string("truncated ") + kCanary));

  // Stores into the mapped files: a truncated file would fault here.
  EXPECT_TRUE(mutex.Release());
  EXPECT_EQ(mutex.TryAcquire(), MutexAcquireResult::kAcquired);
  EXPECT_TRUE(event.Set());
  const NamedEvent* events[] = {&event};
  EXPECT_EQ(WaitForFirstEvent(events, 0), 0);
  Tool waiter({"wait", "0", UTF16ToUTF8(event_name)});
  EXPECT_EQ(waiter.ReadLine(), "ready");
  EXPECT_EQ(waiter.ReadLine(), "0");
  // Still the holder's file: a second owner at once would be the harm.
  EXPECT_EQ(RunTool({"hold-mutex", UTF16ToUTF8(held_name)}), kToolExitBusy);
  for (const std::u16string& name : {mutex_name, event_name, held_name}) {
    EXPECT_TRUE(KernelObjectExists(name));
  }
  holder.CloseInput();
  EXPECT_EQ(holder.Wait(), 0);
  EXPECT_FALSE(KernelObjectExists(held_name));

  // A link under the directory's name instead changes nothing either.
  EXPECT_EQ(
      RunScript(std::string("rmdir ") + kSquattedDirectory + " && ln -s /tmp " + kSquattedDirectory,
                kOtherUser)
          .code,
      0);
  EXPECT_FALSE(NamedEvent::Create(UniqueName(u"after_squat")).already_existed());
}

// Stale files of another user, and files planted next to them, block
// nothing: in both directions, since root is just another user here.
TEST_F(KernelObjectAttackTest, FilesAnotherUserLeavesBehindBlockNothing) {
  struct Round {
    std::u16string name;
    std::optional<uid_t> attacker;
    std::optional<uid_t> victim;
  };
  const Round rounds[] = {
      {u"Global\\rivazeriduv_updater_singleton", kOtherUser, std::nullopt},
      {UniqueName(u"singleton"), std::nullopt, kOtherUser},
  };
  for (const Round& round : rounds) {
    SCOPED_TRACE(round.victim ? "root attacks" : "root is attacked");
    const std::string name = UTF16ToUTF8(round.name);
    const uid_t attacker_uid = round.attacker.value_or(0);
    const uid_t victim_uid = round.victim.value_or(0);

    // The attacker learns where its object of the name lives, then leaves
    // it behind, stale, by getting killed.
    std::set<std::string> before = FilesOf(attacker_uid);
    Tool attacker_holder({"hold-mutex", name}, round.attacker);
    ASSERT_EQ(attacker_holder.ReadLine(), "acquired");
    ASSERT_EQ(attacker_holder.ReadLine(), "ready");
    const std::string stale_file = NewFile(FilesOf(attacker_uid), before);
    before = FilesOf(victim_uid);
    const std::string decoy_name = UTF16ToUTF8(UniqueName(u"decoy"));
    Tool decoy({"create-event", decoy_name}, round.victim);
    ASSERT_EQ(decoy.ReadLine(), "created");
    ASSERT_EQ(decoy.ReadLine(), "ready");
    const std::string victim_file = NewFile(FilesOf(victim_uid), before);
    ASSERT_FALSE(stale_file.empty());
    ASSERT_FALSE(victim_file.empty());
    // While its holder runs, the attacker's mutex blocks the name.
    EXPECT_EQ(Tool({"exists", name}, round.victim).Wait(), 0);
    EXPECT_EQ(Tool({"hold-mutex", name}, round.victim).Wait(), 1);
    attacker_holder.Kill();
    attacker_holder.Wait();

    // Unreadable, garbled, copied, a FIFO, links to the victim's file.
    const ScriptOutput planted = RunScript(R"(
      stale=$1; base=${stale%????????????????}
      chmod 600 "$stale"
      cp "$stale" "${base}0000000000000000" && chmod 000 "${base}0000000000000000"
      printf 'RZKO garbage' >"${base}1111111111111111"
      mkfifo "${base}2222222222222222"
      ln -s "$2" "${base}3333333333333333"
      ln "$2" "${base}4444444444444444" 2>/dev/null
      exit 0)",
                                           round.attacker, {stale_file, victim_file});
    ASSERT_EQ(planted.code, 0);

    EXPECT_EQ(Tool({"exists", name}, round.victim).Wait(), 1);
    EXPECT_EQ(Tool({"hold-event", name}, round.victim).Wait(), 1);
    {
      Tool victim_holder({"hold-mutex", name}, round.victim);
      EXPECT_EQ(victim_holder.ReadLine(), "acquired");
      EXPECT_EQ(victim_holder.ReadLine(), "ready");
      EXPECT_EQ(Tool({"exists", name}, round.attacker).Wait(), 0);
      EXPECT_EQ(Tool({"hold-mutex", name}, round.victim).Wait(), kToolExitBusy);
      victim_holder.CloseInput();
      EXPECT_EQ(victim_holder.Wait(), 0);
    }
    if (!round.victim) {
      const NamedMutex owned = NamedMutex::CreateOwned(round.name);
      EXPECT_TRUE(owned.IsOwned());
      EXPECT_FALSE(owned.already_existed());
      EXPECT_FALSE(NamedEvent::Open(round.name).IsValid());  // a mutex now
      EXPECT_TRUE(KernelObjectExists(round.name));
    }
    EXPECT_FALSE(KernelObjectExists(round.name));
    EXPECT_EQ(Tool({"exists", decoy_name}, round.victim).Wait(), 0);
  }

  // Nor does a lock on /dev/shm itself, which anyone can open: creations of
  // other names go on, and still give each name one object.
  test_support::ChildProcess locker("/usr/bin/flock",
                                    {"-x", "/dev/shm", "sh", "-c", "echo locked; exec cat"},
                                    AsUser(kOtherUser));
  ASSERT_EQ(locker.ReadLine(), "locked");
  const std::u16string name = UniqueName(u"while_locked");
  const NamedMutex mutex = NamedMutex::CreateOwned(name);
  EXPECT_TRUE(mutex.IsOwned());
  EXPECT_EQ(RunTool({"hold-mutex", UTF16ToUTF8(name)}), kToolExitBusy);
  EXPECT_TRUE(NamedEvent::Create(UniqueName(u"while_locked_event")).IsValid());
  EXPECT_EQ(Tool({"create-event", UTF16ToUTF8(UniqueName(u"theirs"))}, kOtherUser).ReadLine(),
            "created");
}

}  // namespace
}  // namespace updater
