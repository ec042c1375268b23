#include "browser_api/updater_browser.h"

#include <ctype.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "kernel_objects/kernel_objects.h"
#include "tests/support/test_files.h"

namespace updater {
namespace {

using test_support::ReadFileBytes;
using test_support::WriteFileBytes;

class UpdaterBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/updater_browser_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // Upper case and a non-ASCII letter: only ASCII is lowered in names.
    browser_exe_ = dir_ + "/Browser \xc3\x9c/brelix.exe";
    installation_ = RzUpdaterOpenInstallation(browser_exe_.c_str());
    ASSERT_NE(installation_, nullptr);
  }
  void TearDown() override {
    RzUpdaterCloseInstallation(installation_);
    std::filesystem::remove_all(dir_);
  }

  // The name the updater derives, written out by hand.
  std::u16string Name(const std::u16string& suffix) const {
    std::u16string prefix;
    for (char c : dir_) prefix += c == '/' ? u'!' : char16_t(tolower(c));
    return u"Global\\" + prefix + u"!browser \u00dc!brelix.exe" + suffix;
  }

  // A stand-in updater: writes its arguments, waits for `release` (at most
  // a minute), then runs `ending`.
  std::string StandIn(const std::string& ending) const {
    const std::string path = dir_ + "/updater";
    WriteFileBytes(path,
                   "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.arguments\"\ni=0\n"
                   "while [ ! -e \"$0.release\" ] && [ $i -lt 6000 ]; do sleep 0.01; "
                   "i=$((i+1)); done\n" +
                       ending + "\n");
    chmod(path.c_str(), 0700);
    return path;
  }

  std::string dir_;
  std::string browser_exe_;
  RzUpdaterInstallation* installation_ = nullptr;
};

TEST_F(UpdaterBrowserTest, EventsBearTheUpdatersNamesAndGoWithTheirHolderAsDoesUnderUpgrade) {
  const std::u16string suffixes[] = {u"", u"_updater_abort_installer", u"_updater_abort_pepper",
                                     u"_updater_need_restart"};
  for (int event = kRzUpdaterBrowserRunning; event <= kRzUpdaterNeedRestart; ++event) {
    const auto which = static_cast<RzUpdaterEvent>(event);
    const std::u16string name = Name(suffixes[event]);
    EXPECT_FALSE(KernelObjectExists(name));
    EXPECT_EQ(RzUpdaterHoldEvent(installation_, which), 1);
    EXPECT_EQ(RzUpdaterHoldEvent(installation_, which), 1);
    EXPECT_TRUE(KernelObjectExists(name));
    // The updater's dialog sets the restart event; the browser sees it.
    EXPECT_EQ(RzUpdaterIsEventSet(installation_, which), 0);
    EXPECT_TRUE(NamedEvent::Open(name).Set());
    EXPECT_EQ(RzUpdaterIsEventSet(installation_, which), 1);
    EXPECT_EQ(RzUpdaterResetEvent(installation_, which), 1);
    EXPECT_EQ(RzUpdaterIsEventSet(installation_, which), 0);
    RzUpdaterReleaseEvent(installation_, which);
    EXPECT_FALSE(KernelObjectExists(name));
    EXPECT_EQ(RzUpdaterResetEvent(installation_, which), 0);
  }
  // Under upgrade while the updater's mutex exists.
  EXPECT_EQ(RzUpdaterIsUnderUpgrade(installation_), 0);
  NamedMutex installing = NamedMutex::CreateOwned(Name(u"_under_upgrade"));
  ASSERT_TRUE(installing.IsOwned());
  EXPECT_EQ(RzUpdaterIsUnderUpgrade(installation_), 1);
  installing.Close();
  EXPECT_EQ(RzUpdaterIsUnderUpgrade(installation_), 0);

  EXPECT_EQ(RzUpdaterHoldEvent(installation_, kRzUpdaterNeedRestart), 1);
  RzUpdaterCloseInstallation(installation_);
  installation_ = nullptr;
  EXPECT_FALSE(KernelObjectExists(Name(u"_updater_need_restart")));

  // Bad input gets an answer, never a crash.
  EXPECT_EQ(RzUpdaterOpenInstallation(nullptr), nullptr);
  EXPECT_EQ(RzUpdaterOpenInstallation(""), nullptr);
  EXPECT_EQ(RzUpdaterOpenInstallation("/opt/\xff/brelix.exe"), nullptr);
  EXPECT_EQ(RzUpdaterHoldEvent(nullptr, kRzUpdaterBrowserRunning), 0);
  EXPECT_EQ(RzUpdaterIsUnderUpgrade(nullptr), 0);
  EXPECT_EQ(RzUpdaterStart(nullptr, "/bin/true", nullptr), nullptr);
  EXPECT_EQ(RzUpdaterWait(nullptr, 0, nullptr), kRzUpdaterWaitFailed);
}

TEST_F(UpdaterBrowserTest, StartsWithTheBrowsersSwitchesAndWaitsOrPolls) {
  const std::string updater = StandIn("exit 7");
  RzUpdaterSwitches switches = {};
  switches.current_version = "55.0.2883.87";
  switches.plugin_version = "";
  switches.language = "zh-CN";
  switches.portable = 1;
  switches.plugin_64bit = 1;
  RzUpdaterProcess* process = RzUpdaterStart(installation_, updater.c_str(), &switches);
  ASSERT_NE(process, nullptr);
  int exit_code = -1;
  EXPECT_EQ(RzUpdaterWait(process, 0, &exit_code), kRzUpdaterStillRunning);
  WriteFileBytes(updater + ".release", "");
  EXPECT_EQ(RzUpdaterWait(process, RZ_UPDATER_WAIT_FOREVER, &exit_code), kRzUpdaterEnded);
  EXPECT_EQ(exit_code, 7);
  exit_code = -1;
  EXPECT_EQ(RzUpdaterWait(process, 0, &exit_code), kRzUpdaterEnded);
  EXPECT_EQ(exit_code, 7);
  RzUpdaterReleaseProcess(process);
  EXPECT_EQ(ReadFileBytes(updater + ".arguments"),
            "--real-exe-path=" + browser_exe_ +
                "\n--portable\n--64bit\n--current=55.0.2883.87\n--langid=zh-CN\n");
  const RzUpdaterExitCodeInfo* meaning =
      RzUpdaterDescribeExitCode(exit_code, kRzUpdaterBrowserFlow);
  ASSERT_NE(meaning, nullptr);
  EXPECT_STREQ(meaning->name, "BrowserPackageStartFailed");
  EXPECT_EQ(RzUpdaterExitCodeAt(RzUpdaterExitCodeCount() - 1)->code, 99);
  EXPECT_EQ(RzUpdaterExitCodeAt(RzUpdaterExitCodeCount()), nullptr);

  // Killed: no exit code to give.
  process = RzUpdaterStart(installation_, StandIn("kill -9 $$").c_str(), &switches);
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(RzUpdaterWait(process, RZ_UPDATER_WAIT_FOREVER, &exit_code), kRzUpdaterWaitFailed);
  RzUpdaterReleaseProcess(process);

  EXPECT_EQ(RzUpdaterStart(installation_, (dir_ + "/missing").c_str(), &switches), nullptr);
  switches.language = "\xff";
  EXPECT_EQ(RzUpdaterStart(installation_, updater.c_str(), &switches), nullptr);
}

}  // namespace
}  // namespace updater
