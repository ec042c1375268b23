#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "auto_update/kernel_objects.h"
#include "base/string_util.h"
#include "tests/support/child_process.h"

namespace updater {
namespace {

constexpr int kToolExitBusy = 3;

std::string ToolPath() {
  const char* binary_dir = std::getenv("UPDATER_TEST_BINARY_DIR");
  return std::string(binary_dir != nullptr ? binary_dir : ".") + "/tools/kernel_object_tool";
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

bool IsListed(std::u16string_view name) {
  for (const KernelObjectInfo& object : ListKernelObjects()) {
    if (object.name == name) {
      return true;
    }
  }
  return false;
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
  Tool lone_owner({"hold-mutex", name_utf8});
  ASSERT_EQ(lone_owner.ReadLine(), "acquired");
  ASSERT_EQ(lone_owner.ReadLine(), "ready");
  lone_owner.Kill();
  lone_owner.Wait();
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

TEST(KernelObjectsTest, UsersShareObjectsAndStaleFiles) {
  constexpr uid_t kNobody = 65534;
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
  Tool other_user({"create-event", name_utf8}, kNobody);
  const std::string first_line = other_user.ReadLine();
  if (first_line.empty()) {
    GTEST_SKIP() << "the tool cannot run as user " << kNobody;
  }
  EXPECT_EQ(first_line, "created");
  ASSERT_EQ(other_user.ReadLine(), "ready");
  const NamedEvent event = NamedEvent::Open(name);
  ASSERT_TRUE(event.IsValid());
  EXPECT_TRUE(event.Set());
  Tool waiter({"wait", "0", name_utf8}, kNobody);
  EXPECT_EQ(waiter.ReadLine(), "ready");
  EXPECT_EQ(waiter.ReadLine(), "0");
  other_user.CloseInput();
  EXPECT_EQ(other_user.Wait(), 0);
  EXPECT_TRUE(event.IsSignaled());  // this handle still holds it

  // And the other way round: a root object that another user signals.
  const std::u16string root_name = UniqueName(u"root");
  const NamedEvent root_event = NamedEvent::Create(root_name);
  EXPECT_EQ(Tool({"set", UTF16ToUTF8(root_name)}, kNobody).Wait(), 0);
  EXPECT_TRUE(root_event.IsSignaled());
}

}  // namespace
}  // namespace updater
