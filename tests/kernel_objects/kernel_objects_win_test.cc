// The named objects on Windows, seen from this process and from another one
// (the kernel-object tool), as the browser sees them.
#include <windows.h>
// After windows.h.
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/path_arithmetic.h"
#include "base/process_facts_platform.h"
#include "kernel_objects/handle_verifier.h"
#include "kernel_objects/kernel_objects.h"

namespace updater {
namespace {

std::u16string UniqueName(const std::u16string& what) {
  const std::string pid = std::to_string(GetCurrentProcessId());
  return u"Global\\kernel_objects_win_test_" + std::u16string(pid.begin(), pid.end()) + u"_" + what;
}

// kernel_object_tool.exe, built in the tools directory of this build.
std::wstring ToolPath() {
  const std::u16string path =
      JoinPath(ParentDir(ParentDir(ParentDir(platform::ReadExecutablePath()))),
               u"tools\\kernel_object_tool.exe")
          .value();
  return std::wstring(path.begin(), path.end());
}

// The tool in a process of its own; its standard input stays open until
// destroyed, which is how its holding commands are ended.
class ToolProcess {
 public:
  explicit ToolProcess(const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE child_input = nullptr;
    if (!CreatePipe(&child_input, &input_, &inheritable, 0)) return;
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = child_input;
    std::wstring command = L"\"" + ToolPath() + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
      process_ = process.hProcess;
      CloseHandle(process.hThread);
    }
    CloseHandle(child_input);
  }
  ~ToolProcess() {
    if (input_) CloseHandle(input_);
    if (process_) {
      WaitForSingleObject(process_, 10000);
      CloseHandle(process_);
    }
  }
  bool started() const { return process_ != nullptr; }
  // Its exit code, after waiting at most 10 s; -1 when it did not end.
  int Wait() const {
    DWORD code = 0;
    if (WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0) return -1;
    GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
  }
  void Kill() const {
    TerminateProcess(process_, 9);
    WaitForSingleObject(process_, 10000);
  }

 private:
  HANDLE process_ = nullptr;
  HANDLE input_ = nullptr;
};

std::wstring Argument(const std::u16string& name) {
  return L"\"" + std::wstring(name.begin(), name.end()) + L"\"";
}

TEST(KernelObjectsWinTest, EventsShareOneStateAndNamesOneNamespace) {
  const HandleVerifier* verifier = GetProcessHandleVerifier();
  const size_t handles_before = verifier->open_handle_count();
  const std::u16string name = UniqueName(u"event");
  NamedEvent event = NamedEvent::Create(name);
  EXPECT_EQ(verifier->open_handle_count(), handles_before + 1) << "the record knows it";
  EXPECT_FALSE(verifier->is_library_handle(GetCurrentProcess()));
  ASSERT_TRUE(event.IsValid());
  EXPECT_FALSE(event.already_existed());
  const NamedEvent again = NamedEvent::Create(name);
  EXPECT_TRUE(again.already_existed());
  const NamedEvent opened = NamedEvent::Open(name);
  ASSERT_TRUE(opened.IsValid());
  EXPECT_FALSE(opened.IsSignaled());
  EXPECT_TRUE(event.Set());
  EXPECT_TRUE(opened.IsSignaled()) << "manual reset: stays set";
  EXPECT_TRUE(opened.IsSignaled());
  EXPECT_TRUE(again.Reset());
  EXPECT_FALSE(event.IsSignaled());

  EXPECT_FALSE(NamedMutex::Create(name).IsValid()) << "an event's name is no mutex";
  EXPECT_FALSE(NamedEvent::Open(UniqueName(u"missing")).IsValid());
  EXPECT_TRUE(KernelObjectExists(name));
  EXPECT_FALSE(KernelObjectExists(UniqueName(u"missing")));
  event.Close();
  EXPECT_EQ(verifier->open_handle_count(), handles_before + 2) << "again and opened are left";
}

// As a browser may make its events: everyone may wait, nobody may change it.
TEST(KernelObjectsWinTest, AnEventThatAllowsOnlyWaitingExistsForWaiting) {
  const std::u16string name = UniqueName(u"wait_only");
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:(A;;0x00100000;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  const HANDLE event =
      CreateEventW(&attributes, TRUE, FALSE, std::wstring(name.begin(), name.end()).c_str());
  LocalFree(descriptor);
  ASSERT_NE(event, nullptr);
  EXPECT_TRUE(WaitableEventExists(name));
  EXPECT_FALSE(NamedEvent::Open(name).IsValid()) << "opening it to change it is refused";
  const std::u16string mutex_name = UniqueName(u"wait_only_mutex");
  const NamedMutex mutex = NamedMutex::Create(mutex_name);
  EXPECT_FALSE(WaitableEventExists(mutex_name));
  EXPECT_FALSE(WaitableEventExists(UniqueName(u"missing")));
  CloseHandle(event);
}

TEST(KernelObjectsWinTest, WaitReturnsTheLowestSignalledIndexOrTimesOut) {
  const NamedEvent first = NamedEvent::Create(UniqueName(u"first"));
  const NamedEvent second = NamedEvent::Create(UniqueName(u"second"));
  const NamedEvent* events[] = {&first, &second};
  EXPECT_EQ(WaitForFirstEvent(events, 20), kWaitTimedOut);
  second.Set();
  EXPECT_EQ(WaitForFirstEvent(events, 0), 1);
  first.Set();
  EXPECT_EQ(WaitForFirstEvent(events, 0), 0);
  const NamedEvent invalid;
  const NamedEvent* with_invalid[] = {&first, &invalid};
  EXPECT_EQ(WaitForFirstEvent(with_invalid, 0), kWaitFailed);
}

TEST(KernelObjectsWinTest, AnotherProcessSeesSetsAndHoldsTheSameObjects) {
  const std::u16string event_name = UniqueName(u"shared_event");
  const NamedEvent event = NamedEvent::Create(event_name);
  ToolProcess exists(L"exists " + Argument(event_name));
  ASSERT_TRUE(exists.started());
  EXPECT_EQ(exists.Wait(), 0);
  ToolProcess set(L"set " + Argument(event_name));
  EXPECT_EQ(set.Wait(), 0);
  EXPECT_TRUE(event.IsSignaled());

  const std::u16string mutex_name = UniqueName(u"shared_mutex");
  ToolProcess holder(L"hold-mutex " + Argument(mutex_name));
  NamedMutex mutex;
  for (int i = 0; i < 200 && !mutex.IsValid(); ++i) {
    if (KernelObjectExists(mutex_name)) mutex = NamedMutex::Create(mutex_name);
    Sleep(10);
  }
  ASSERT_TRUE(mutex.IsValid());
  MutexAcquireResult result = MutexAcquireResult::kFailed;
  for (int i = 0; i < 200; ++i) {
    result = mutex.TryAcquire();
    if (result == MutexAcquireResult::kBusy) break;
    if (result == MutexAcquireResult::kAcquired) mutex.Release();  // before the tool took it
    Sleep(10);
  }
  EXPECT_EQ(result, MutexAcquireResult::kBusy);
  holder.Kill();
  EXPECT_EQ(mutex.TryAcquire(), MutexAcquireResult::kAbandoned) << "its owner died holding it";
  EXPECT_TRUE(mutex.Release());

  const std::vector<KernelObjectInfo> listed = ListKernelObjects();
  const auto found = std::find_if(listed.begin(), listed.end(), [&](const KernelObjectInfo& info) {
    return info.name == event_name;
  });
  ASSERT_NE(found, listed.end());
  EXPECT_EQ(found->kind, KernelObjectKind::kEvent);
  EXPECT_TRUE(found->signaled_or_owned);
}

}  // namespace
}  // namespace updater
