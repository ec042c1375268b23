// The updater's start-up seen from outside: the single-instance guard, the
// legacy clean-up, the language's choice of server and hostile switches, on
// copies of the shipped executable.
#include <netinet/in.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/at_exit.h"
#include "base/build_config.h"
#include "base/string_util.h"
#include "kernel_objects/kernel_objects.h"
#include "tests/support/child_process.h"
#include "tests/support/machine_isolation.h"
#include "tests/support/scratch_installation.h"
#include "tests/support/test_files.h"
#include "update_run/kernel_object_names.h"

namespace updater {
namespace {

namespace fs = std::filesystem;
using test_support::ChildOptions;
using test_support::ChildProcess;
using test_support::Describe;
using test_support::ExitStatus;
using test_support::ScratchInstallation;
using test_support::WriteFileBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The shipped build, and the tool that holds kernel objects from another process.
constexpr char kUpdaterExecutable[] = UPDATER_EXECUTABLE;
constexpr char kKernelObjectTool[] = KERNEL_OBJECT_TOOL;

constexpr int kExitAlreadyRunning = 99;
constexpr int kExitQueryNoResponse = 3;
constexpr int kExitNothingToInstall = 4;
constexpr int kExitNotPortableExecutable = 8;
constexpr int kExitFlashQueryNoResponse = 11;
constexpr int kExitFlashBadVersion = 39;
constexpr auto kServerWait = std::chrono::seconds(60);

struct Site {
  std::string host;
  int port = 0;
};

// "scheme://host[:port]" of the build configuration.
Site ParseSite(std::string_view site) {
  const size_t scheme_end = site.find("://");
  const std::string_view scheme = site.substr(0, scheme_end);
  std::string_view authority = site.substr(scheme_end + 3);
  authority = authority.substr(0, authority.find('/'));
  const size_t colon = authority.find(':');
  if (colon != std::string_view::npos) {
    return {std::string(authority.substr(0, colon)),
            std::stoi(std::string(authority.substr(colon + 1)))};
  }
  return {std::string(authority), scheme == "https" ? 443 : 80};
}

const Site& PrimarySite() {
  static const Site site = ParseSite(ConfiguredPrimarySite());
  return site;
}

const Site& MirrorSite() {
  static const Site site = ParseSite(ConfiguredMirrorSite());
  return site;
}

// A plain TCP service on a fixed loopback port. It counts connections that
// send nothing (connectivity checks), records the request line of the
// others and answers each with an empty "200" once it has been let through.
class LoopbackListener {
 public:
  explicit LoopbackListener(int port, bool hold_requests = false) : hold_requests_(hold_requests) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int reuse = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    listening_ = bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                 listen(listener_, 64) == 0;
    if (listening_) acceptor_ = std::thread([this] { AcceptLoop(); });
  }

  ~LoopbackListener() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    if (acceptor_.joinable()) acceptor_.join();
    for (std::thread& connection : connections_) connection.join();
    close(listener_);
  }

  bool listening() const { return listening_; }

  int checks() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return checks_;
  }

  std::vector<std::string> request_lines() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return request_lines_;
  }

  bool WaitForRequests(size_t count) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, kServerWait, [&] { return request_lines_.size() >= count; });
  }

  // Lets one more held request be answered.
  void ReleaseOne() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      ++released_;
    }
    changed_.notify_all();
  }

 private:
  void AcceptLoop() {
    pollfd readable = {listener_, POLLIN, 0};
    while (!stopping_) {
      if (poll(&readable, 1, 20) != 1) continue;
      const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) connections_.emplace_back([this, fd] { Serve(fd); });
    }
  }

  void Serve(int fd) {
    const std::string head = ReadHead(fd);
    std::unique_lock<std::mutex> hold(mutex_);
    if (head.empty()) {
      ++checks_;
    } else {
      const size_t index = request_lines_.size();
      request_lines_.push_back(head.substr(0, head.find("\r\n")));
      changed_.notify_all();
      changed_.wait(hold, [&] { return stopping_ || !hold_requests_ || index < released_; });
      hold.unlock();
      constexpr std::string_view kReply =
          "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      (void)!write(fd, kReply.data(), kReply.size());
    }
    close(fd);
  }

  std::string ReadHead(int fd) const {
    std::string head;
    char buffer[4096];
    pollfd readable = {fd, POLLIN, 0};
    while (head.find("\r\n\r\n") == std::string::npos && !stopping_) {
      if (poll(&readable, 1, 20) != 1) continue;
      const ssize_t got = read(fd, buffer, sizeof(buffer));
      if (got <= 0) break;
      head.append(buffer, static_cast<size_t>(got));
    }
    return head;
  }

  const bool hold_requests_;
  int listener_ = -1;
  bool listening_ = false;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::vector<std::thread> connections_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int checks_ = 0;
  size_t released_ = 0;
  std::vector<std::string> request_lines_;
};

std::vector<std::u16string> ObjectNames() {
  std::vector<std::u16string> names;
  for (const KernelObjectInfo& object : ListKernelObjects()) names.push_back(object.name);
  return names;
}

class StartupTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    isolated_ = test_support::IsolateFromMachine({PrimarySite().host, MirrorSite().host});
  }

  void WriteLegacyFiles(const fs::path& dir) {
    for (const char* name : kLegacyNames) WriteFileBytes(dir / name, name);
  }

  std::vector<std::string> PresentLegacyFiles(const fs::path& dir) {
    std::vector<std::string> present;
    for (const char* name : kLegacyNames) {
      if (fs::exists(fs::symlink_status(dir / name))) present.push_back(name);
    }
    return present;
  }

  static constexpr const char* kLegacyNames[] = {"rivazeriduv.exe", "old_rivazeriduv.exe",
                                                 "new_rivazeriduv.exe"};
  static inline bool isolated_ = false;
  ScratchInstallation scratch_{kUpdaterExecutable};
};

// Tests that need the server host names on loopback or a kernel-object
// directory no one else uses.
class IsolatedStartupTest : public StartupTest {
 protected:
  void SetUp() override {
    if (!isolated_) GTEST_SKIP() << test_support::MachineIsolationFailure();
  }
};

TEST_F(IsolatedStartupTest, BusySingletonTurnsAStartAwayBeforeItCreatesAnything) {
  NamedMutex holder = NamedMutex::Create(kSingletonMutexName);
  ASSERT_EQ(holder.TryAcquire(), MutexAcquireResult::kAcquired);
  WriteLegacyFiles(scratch_.install_dir());
  const std::vector<std::string> before = scratch_.Snapshot();

  const std::vector<std::vector<std::string>> starts = {
      {"--current=9.9", "--pepper-version=1.0", "--langid=zh-CN", "--real-exe-path=/opt/b/x"},
      {"--kr-check-update", "--current=9.9"},
      {},
  };
  for (const std::vector<std::string>& arguments : starts) {
    const ExitStatus status = scratch_.Run(arguments);
    EXPECT_EQ(status.code, kExitAlreadyRunning) << Describe(status);
    // No event, no log, no deleted legacy file, nothing in the temp directory.
    EXPECT_THAT(ObjectNames(), ElementsAre(std::u16string(kSingletonMutexName)));
    EXPECT_EQ(scratch_.Snapshot(), before);
  }
  holder.Release();
  EXPECT_EQ(scratch_.Run({}).code, kExitNothingToInstall);
  EXPECT_THAT(ObjectNames(), ElementsAre(std::u16string(kSingletonMutexName)));
}

TEST_F(IsolatedStartupTest, OfTwoUpdatersStartedAtOnceExactlyOneRuns) {
  // The primary set's port is closed, so each run goes to the mirror without
  // a check and waits there in its query until the test lets it through.
  LoopbackListener mirror(MirrorSite().port, /*hold_requests=*/true);
  ASSERT_TRUE(mirror.listening());
  constexpr int kRounds = 50;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    test_support::StartGate gate;
    std::vector<ChildProcess> updaters;
    updaters.push_back(scratch_.Start({"--current=1.0"}, &gate));
    updaters.push_back(scratch_.Start({"--current=1.0"}, &gate));
    gate.Open();
    ASSERT_TRUE(mirror.WaitForRequests(static_cast<size_t>(round) + 1));

    // The winner is held in its query: the other one must give up.
    ExitStatus loser;
    const auto deadline = std::chrono::steady_clock::now() + test_support::kKillTimeout;
    int loser_index = -1;
    while (loser_index < 0 && std::chrono::steady_clock::now() < deadline) {
      for (int i = 0; i < 2 && loser_index < 0; ++i) {
        loser = updaters[i].Poll();
        if (!updaters[i].running()) loser_index = i;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GE(loser_index, 0) << "neither updater gave up";
    EXPECT_EQ(loser.code, kExitAlreadyRunning) << Describe(loser);
    for (const KernelObjectInfo& object : ListKernelObjects()) {
      EXPECT_THAT(object.name, ::testing::AnyOf(std::u16string(kSingletonMutexName),
                                                std::u16string(kContinueEventName),
                                                std::u16string(kCancelEventName)));
      if (object.name == kSingletonMutexName) {
        EXPECT_TRUE(object.signaled_or_owned);
      }
    }

    mirror.ReleaseOne();
    const ExitStatus winner = updaters[1 - loser_index].Wait();
    EXPECT_EQ(winner.code, kExitNothingToInstall) << Describe(winner);
    EXPECT_THAT(ObjectNames(), IsEmpty());
  }
  // One query per round, and the one that gave up never checked a server.
  EXPECT_EQ(mirror.request_lines().size(), static_cast<size_t>(kRounds));
  EXPECT_EQ(mirror.checks(), 0);
}

TEST_F(IsolatedStartupTest, SingletonAbandonedByAKilledHolderTurnsAwayOneStart) {
  // The test keeps a handle so that the mutex outlives its killed owner.
  NamedMutex keeper = NamedMutex::Create(kSingletonMutexName);
  ChildProcess holder(kKernelObjectTool, {"hold-mutex", UTF16ToUTF8(kSingletonMutexName)},
                      scratch_.RunOptions());
  ASSERT_EQ(holder.ReadLine(), "acquired");
  ASSERT_EQ(holder.ReadLine(), "ready");
  holder.Kill();
  EXPECT_FALSE(holder.Wait().exited);

  ExitStatus status = scratch_.Run({});
  EXPECT_EQ(status.code, kExitAlreadyRunning) << Describe(status);
  status = scratch_.Run({});
  EXPECT_EQ(status.code, kExitNothingToInstall) << Describe(status);

  // With no other handle the killed owner's mutex is simply gone.
  keeper.Close();
  ChildProcess lone_holder(kKernelObjectTool, {"hold-mutex", UTF16ToUTF8(kSingletonMutexName)},
                           scratch_.RunOptions());
  ASSERT_EQ(lone_holder.ReadLine(), "acquired");
  ASSERT_EQ(lone_holder.ReadLine(), "ready");
  lone_holder.Kill();
  lone_holder.Wait();
  status = scratch_.Run({});
  EXPECT_EQ(status.code, kExitNothingToInstall) << Describe(status);
  EXPECT_THAT(ObjectNames(), IsEmpty());

  // Another user's holder turns a start away while it runs, and nothing of
  // it is left to do so once it was killed.
  ChildOptions as_other_user = scratch_.RunOptions();
  as_other_user.user = 65534;
  const test_support::ProgramForAnyUser tool(kKernelObjectTool);
  ChildProcess other_user(tool.path(), {"hold-mutex", UTF16ToUTF8(kSingletonMutexName)},
                          as_other_user);
  const std::string first_line = other_user.ReadLine();
  if (first_line.empty()) GTEST_SKIP() << "the tool cannot run as user 65534";
  ASSERT_EQ(first_line, "acquired");
  ASSERT_EQ(other_user.ReadLine(), "ready");
  status = scratch_.Run({});
  EXPECT_EQ(status.code, kExitAlreadyRunning) << Describe(status);
  other_user.Kill();
  other_user.Wait();
  status = scratch_.Run({});
  EXPECT_EQ(status.code, kExitNothingToInstall) << Describe(status);
}

TEST_F(StartupTest, LegacyExecutablesGoOnlyAboveTheLastOldVersion) {
  struct Case {
    std::string current;
    bool deletes;
  };
  const Case cases[] = {
      {"1.3.7.17", false},   {"1.3.7.17.0", false},   {"1.3.7.16", false},  {"1.3", false},
      {"1.3.7.18", true},    {"1.4", true},           {"1.3.7.17.1", true}, {"2", true},
      {"", false},           {"abc", false},          {"1..4", false},      {"01.4", false},
      {"1.4.", false},       {"-1.4", false},         {"1.4 ", true},       {" 1.4", false},
      {"4294967296", false}, {"\xef\xbc\x92", false},  // a full-width digit
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("current=\"" + c.current + "\"");
    WriteLegacyFiles(scratch_.install_dir());
    WriteLegacyFiles(scratch_.updater_dir());
    const ExitStatus status = scratch_.Run({"--current=" + c.current});
    EXPECT_EQ(status.code, kExitQueryNoResponse) << Describe(status);
    if (c.deletes) {
      EXPECT_THAT(PresentLegacyFiles(scratch_.install_dir()), IsEmpty());
    } else {
      EXPECT_EQ(PresentLegacyFiles(scratch_.install_dir()).size(), 3u);
    }
    // Never in the updater's own directory.
    EXPECT_EQ(PresentLegacyFiles(scratch_.updater_dir()).size(), 3u);
  }
  // Without "current" nothing is deleted either.
  WriteLegacyFiles(scratch_.install_dir());
  EXPECT_EQ(scratch_.Run({"--pepper-version=1.0"}).code, kExitFlashQueryNoResponse);
  EXPECT_EQ(PresentLegacyFiles(scratch_.install_dir()).size(), 3u);
}

TEST_F(StartupTest, LegacyCleanupDeletesNamesOnlyNeverWhatTheyLeadTo) {
  const fs::path install = scratch_.install_dir();
  // A directory of that name keeps its contents; a link goes, its target stays;
  // a read-only file goes.
  fs::create_directory(install / "rivazeriduv.exe");
  WriteFileBytes(install / "rivazeriduv.exe" / "keep", "keep");
  const fs::path target = scratch_.root() / "target.exe";
  WriteFileBytes(target, "target");
  fs::create_symlink(target, install / "old_rivazeriduv.exe");
  WriteFileBytes(install / "new_rivazeriduv.exe", "x");
  fs::permissions(install / "new_rivazeriduv.exe", fs::perms::owner_read);

  EXPECT_EQ(scratch_.Run({"--current=1.4"}).code, kExitQueryNoResponse);
  EXPECT_TRUE(fs::exists(install / "rivazeriduv.exe" / "keep"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(install / "old_rivazeriduv.exe")));
  EXPECT_TRUE(fs::exists(target));
  EXPECT_FALSE(fs::exists(install / "new_rivazeriduv.exe"));
}

TEST(StartupInstallationTest, UnnameableUpdaterDirectoryDeletesNothingAnywhere) {
  // A name that is not UTF-8 cannot be written as the wide path the updater
  // works with; the same name with U+FFFD in its place is some other
  // directory. A directory too long for the file operations is as unknown.
  const std::string long_name = std::string(120, 'l') + "/" + std::string(140, 'm');
  for (const std::string& name : {std::string("a\xff"
                                              "b"),
                                  long_name}) {
    SCOPED_TRACE(name.substr(0, 20));
    ScratchInstallation scratch(kUpdaterExecutable, name);
    const fs::path lookalike = scratch.root() /
                               "a\xef\xbf\xbd"
                               "b";
    fs::create_directories(lookalike);
    for (const fs::path& dir : {scratch.install_dir(), lookalike}) {
      for (const char* legacy : {"rivazeriduv.exe", "old_rivazeriduv.exe"})
        WriteFileBytes(dir / legacy, legacy);
    }
    const std::vector<std::string> before = scratch.Snapshot();
    EXPECT_EQ(scratch.Run({"--current=1.4"}).code, kExitQueryNoResponse);
    EXPECT_EQ(scratch.Snapshot(), before);
    constexpr int kExitFlashNoExeDirectory = 9;
    EXPECT_EQ(scratch.Run({"--pepper-version=1.0"}).code, kExitFlashNoExeDirectory);
    EXPECT_EQ(scratch.Snapshot(), before);
    // A portable update would swap files into the current directory.
    constexpr int kExitNotPortableInstallation = 8;
    const std::string browser = (scratch.install_dir() / "brelix.exe").string();
    EXPECT_EQ(scratch.Run({"--current=1.4", "--portable", "--real-exe-path=" + browser}).code,
              kExitNotPortableInstallation);
    EXPECT_EQ(scratch.Snapshot(), before);
  }
  // Blanks, line ends and wildcards are names like any other.
  ScratchInstallation scratch(kUpdaterExecutable, "a b\n*?[x]");
  WriteFileBytes(scratch.install_dir() / "rivazeriduv.exe", "x");
  WriteFileBytes(scratch.install_dir() / "new_rivazeriduv.exe", "x");
  EXPECT_EQ(scratch.Run({"--current=1.4"}).code, kExitQueryNoResponse);
  EXPECT_FALSE(fs::exists(scratch.install_dir() / "rivazeriduv.exe"));
  EXPECT_FALSE(fs::exists(scratch.install_dir() / "new_rivazeriduv.exe"));
}

TEST_F(IsolatedStartupTest, OnlySimplifiedChineseTriesTheMirrorFirst) {
  // The primary set's port is closed: a run that prefers it falls back to the
  // mirror without checking it; one that prefers the mirror checks it first.
  struct Case {
    std::string langid;
    bool mirror_first;
  };
  const Case cases[] = {
      {"zh-CN", true},
      {"ZH-cn", true},
      {"zh-cn", true},
      {"Zh-Tw", false},
      {"RU", false},
      {"De", false},
      {"fR", false},
      {"jA", false},
      {"PL", false},
      {"pt-br", false},
      {"EL", false},
      {"zh", false},
      {"zh-CN ", true},
      {" zh-CN", false},
      {"zh_CN", false},
      {"zh-CNx", false},
      {"zh-HK", false},
      {"", false},
      {"zh-\xef\xbc\xa3N", false},  // a full-width letter
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("langid=\"" + c.langid + "\"");
    LoopbackListener mirror(MirrorSite().port);
    ASSERT_TRUE(mirror.listening());
    const ExitStatus status = scratch_.Run({"--current=1.0", "--langid=" + c.langid});
    EXPECT_EQ(status.code, kExitNothingToInstall) << Describe(status);
    EXPECT_EQ(mirror.checks(), c.mirror_first ? 1 : 0);
    ASSERT_EQ(mirror.request_lines().size(), 1u);
    EXPECT_THAT(mirror.request_lines()[0], ::testing::StartsWith("GET /update.php?switches&"));
  }
  LoopbackListener mirror(MirrorSite().port);
  EXPECT_EQ(scratch_.Run({"--current=1.0"}).code, kExitNothingToInstall);
  EXPECT_EQ(mirror.checks(), 0);
}

#if defined(__has_feature)
constexpr bool kSanitizerReadsProc = __has_feature(address_sanitizer);
#else
constexpr bool kSanitizerReadsProc = false;
#endif

// The sanitizer build's leak check needs a thread of its own at exit.
ChildOptions WithoutLeakCheck(ChildOptions options) {
  bool found = false;
  for (std::string& variable : *options.environment) {
    if (!variable.starts_with("ASAN_OPTIONS=")) continue;
    variable += ":detect_leaks=0";
    found = true;
  }
  if (!found) options.environment->push_back("ASAN_OPTIONS=detect_leaks=0");
  return options;
}

TEST_F(IsolatedStartupTest, InteractiveStartWithoutADisplayNeverContactsAServer) {
  LoopbackListener mirror(MirrorSite().port);
  const ExitStatus status =
      scratch_.Run({"--kr-check-update", "--current=1.0", "--pepper-version=1.0"});
  EXPECT_TRUE(status.exited) << Describe(status);
  EXPECT_NE(status.code, kExitAlreadyRunning);
  EXPECT_EQ(mirror.checks(), 0);
  EXPECT_THAT(mirror.request_lines(), IsEmpty());
  EXPECT_THAT(ObjectNames(), IsEmpty());

  // The switches come from the arguments themselves, also where /proc is
  // hidden: the run still knows it must ask first.
  if (kSanitizerReadsProc) GTEST_SKIP() << "the sanitizer runtime reads its options from /proc";
  ASSERT_EQ(mount("none", "/proc", "tmpfs", 0, nullptr), 0);
  const ExitStatus without_proc =
      scratch_.Run({"--kr-check-update", "--current=1.0", "--pepper-version=1.0"});
  umount("/proc");
  EXPECT_EQ(without_proc.code, status.code) << Describe(without_proc);
  EXPECT_EQ(mirror.checks(), 0);
}

TEST_F(IsolatedStartupTest, AWorkerThatCannotBeStartedEndsTheRunWithFour) {
  // As another user who may start no further process or thread.
  LoopbackListener mirror(MirrorSite().port);
  fs::permissions(scratch_.root(),
                  fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  test_support::ChildProcess updater(
      "/usr/bin/prlimit",
      {"--nproc=0", "/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
       scratch_.updater_path().string(), "--current=1.0"},
      WithoutLeakCheck(scratch_.RunOptions()));
  const ExitStatus status = updater.Wait();
  EXPECT_TRUE(status.exited) << Describe(status);
  EXPECT_EQ(status.code, 4);
  EXPECT_EQ(mirror.checks(), 0);
}

// Per argument Linux passes at most 128 KiB including the terminating zero.
constexpr size_t kLongestArgument = 128 * 1024 - 1;

std::string Filled(std::string_view switch_text, char fill) {
  std::string argument(switch_text);
  argument.resize(kLongestArgument, fill);
  return argument;
}

TEST_F(StartupTest, HostileSwitchValuesGetDefinedExitCodes) {
  struct Case {
    std::vector<std::string> arguments;
    int exit_code;
  };
  const std::string long_path = "/" + std::string(298, 'p') + "x";  // 300 characters
  const Case cases[] = {
      {{"--current=\xff\xfe", "--langid=\xc3", "--real-exe-path=/a/\xff/b"}, kExitQueryNoResponse},
      {{"--pepper-version=\xed\xa0\x80"}, kExitFlashBadVersion},  // an encoded surrogate
      {{"--pepper-version=1.0", "--real-exe-path=\xc0\xaf\xe0\x80\xaf"}, kExitFlashQueryNoResponse},
      {{"--current=1.0", "--real-exe-path=" + long_path}, kExitQueryNoResponse},
      {{"--pepper-version=1.0", "--real-exe-path=" + long_path}, kExitFlashQueryNoResponse},
      {{"--current=not.a.version", "--pepper-version=1.0"}, kExitQueryNoResponse},
      {{"--current"}, kExitQueryNoResponse},
      {{"--pepper-version"}, kExitFlashBadVersion},
      {{"--=", "---", "-", "/", "--current=1.0=2", "positional", "--", "--langid"},
       kExitQueryNoResponse},
      {{Filled("--current=", '9')}, kExitQueryNoResponse},
      {{Filled("--langid=", 'z')}, kExitNothingToInstall},
      {{Filled("--pepper-version=1.", '0')}, kExitFlashQueryNoResponse},
      {{Filled("--real-exe-path=/", '\xff'), "--pepper-version=1.0"}, kExitFlashQueryNoResponse},
      {{Filled("--current=", '\x80'), Filled("--langid=", '\xe4'), Filled("--x=", '%'),
        Filled("--y=", '&'), Filled("--z=", '"'), Filled("--real-exe-path=", '\\'),
        Filled("--64bit=", '\x01')},
       kExitQueryNoResponse},
      {{"--current=1.0", "--portable", Filled("--real-exe-path=", ' ')},
       kExitNotPortableExecutable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.front().substr(0, 40));
    const ExitStatus status = scratch_.Run(c.arguments);
    EXPECT_EQ(status.code, c.exit_code) << Describe(status);
  }
}

TEST_F(StartupTest, PathsTheFileSystemDislikesGetDefinedExitCodes) {
  const std::string paths[] = {
      "/a/b\nc/brelix.exe",
      "C:\\Apps\\Browser\\brelix.exe",
      "/x/*?<>|\":/brelix.exe",
      "/",
      "",
      "..",
      "brelix.exe",
      "/proc/self/exe",
      "/dev/null/brelix.exe",
      "/a/./../b//c/",
      "/a/\x01\x7f/brelix.exe",
      "\\\\?\\C:\\x",
  };
  for (const std::string& path : paths) {
    SCOPED_TRACE("real-exe-path=\"" + path + "\"");
    ExitStatus status = scratch_.Run({"--current=1.0", "--real-exe-path=" + path});
    EXPECT_EQ(status.code, kExitQueryNoResponse) << Describe(status);
    status = scratch_.Run({"--pepper-version=1.0", "--portable", "--real-exe-path=" + path});
    EXPECT_EQ(status.code, kExitFlashQueryNoResponse) << Describe(status);
  }
}

TEST(KernelObjectPrefixTest, MadeFromTheBrowserPathOrTheUpdatersOwn) {
  AtExitManager at_exit;
  EXPECT_EQ(GetKernelObjectPrefix(FsPath(u"/Opt/My Browser/Brelix.EXE")),
            u"!opt!my browser!brelix.exe");
  EXPECT_EQ(GetKernelObjectPrefix(FsPath(u"/opt/b/brelix.exe")), u"!opt!b!brelix.exe");
  // A backslash is no separator here; non-ASCII letters keep their case.
  EXPECT_EQ(GetKernelObjectPrefix(FsPath(u"/A\\B/\u00c4\u00df/X")), u"!a\\b!\u00c4\u00df!x");
  EXPECT_EQ(
      KernelObjectName(GetKernelObjectPrefix(FsPath(u"/opt/b/brelix.exe")), kAbortInstallerSuffix),
      u"Global\\!opt!b!brelix.exe_updater_abort_installer");
  EXPECT_EQ(MakeKernelObjectPrefix(u"C:\\Apps\\Browser\\brelix.exe", u'\\'),
            u"c:!apps!browser!brelix.exe");

  std::u16string own = UTF8ToUTF16(fs::read_symlink("/proc/self/exe").string());
  for (char16_t& c : own) c = c == u'/' ? u'!' : ToLowerASCII(c);
  EXPECT_EQ(GetKernelObjectPrefix(FsPath()), own);
}

}  // namespace
}  // namespace updater
