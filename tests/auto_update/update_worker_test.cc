// The worker and both update flows in-process, on a context whose poster
// records every notification and clicks as the dialog's user when an
// installer is ready. Service and signed installers are the end-to-end ones.
#include "auto_update/update_worker.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/string_util.h"
#include "flows/browser_update.h"
#include "flows/flash_update.h"
#include "tests/e2e/e2e_harness.h"
#include "update_run/update_context.h"
#include "update_service/server_set.h"

namespace updater {
namespace {

using Posted = std::pair<NotifyCode, NotificationValue>;

class UpdateWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(service_.IsUp());
    ASSERT_EQ(setenv("TMPDIR", install_.temp_dir().c_str(), 1), 0);
    const std::u16string name =
        u"Global\\update_worker_test_" + UTF8ToUTF16(std::to_string(getpid()));
    state_.interactive = true;
    state_.continue_event = NamedEvent::Create(name + u"_continue");
    state_.cancel_event = NamedEvent::Create(name + u"_cancel");
    state_.exe_directory = FsPath(UTF8ToUTF16(install_.updater_dir()));
    state_.real_exe_path = FsPath(UTF8ToUTF16(install_.browser_exe()));
    state_.current_browser_version = ParseVersion("2.0");
  }
  // Later tests make their scratch installations in the usual place.
  void TearDown() override { unsetenv("TMPDIR"); }

  UpdateContext Context(const std::vector<std::u16string>& switches) {
    std::vector<std::u16string> arguments = {u"updater", u"--kr-check-update"};
    arguments.insert(arguments.end(), switches.begin(), switches.end());
    command_line_ = ParsedCommandLine::FromArguments(arguments);
    return {state_, command_line_,
            [this](NotifyCode code, NotificationValue value) {
              if (code == kNotifyBrowserReady || code == kNotifyFlashReady) {
                signaled_at_ready_ = {state_.continue_event.IsSignaled(),
                                      state_.cancel_event.IsSignaled()};
                if (at_ready_) at_ready_();
                if (click_at_ready_) click_at_ready_->Set();
              }
              if (code == stop_at_) stop_.Stop();
              posted_.emplace_back(code, std::move(value));
            },
            &stop_};
  }

  void Offer(const std::string& query_path, const std::string& header, const std::string& exe) {
    const std::string location = service_.Serve("/setup.exe", exe);
    service_.Answer(query_path,
                    {200, {{header + "Version", "2.0.0.0"}, {header + "Location", location}}, ""});
  }

  // Each run of progress figures as its first: their number depends on how
  // the body arrives.
  std::vector<Posted> Sequence() const {
    std::vector<Posted> sequence;
    for (const Posted& posted : posted_) {
      const bool progress =
          posted.first == kNotifyBrowserProgress || posted.first == kNotifyFlashProgress;
      if (!progress || sequence.empty() || sequence.back().first != posted.first) {
        sequence.push_back(posted);
      }
    }
    return sequence;
  }

  std::u16string Download() const { return UTF8ToUTF16(install_.temp_dir() + "/setup.exe"); }

  e2e::UpdateService service_;
  e2e::ScratchInstallation install_;
  UpdaterState state_;
  ParsedCommandLine command_line_{u"updater"};
  const NamedEvent* click_at_ready_ = nullptr;
  std::function<void()> at_ready_;     // before the click
  std::optional<NotifyCode> stop_at_;  // the dialog goes away when this is posted
  WorkerStop stop_;
  std::pair<bool, bool> signaled_at_ready_;
  std::vector<Posted> posted_;
};

TEST_F(UpdateWorkerTest, InteractiveRunWithTheBrowserUpToDateInstallsTheConfirmedPlugIn) {
  E2E_REQUIRE_INSTALLER_RUNNER();
  service_.Answer("/update.php", e2e::BrowserOffer("2.0.0.0", ""));
  Offer("/update_pepper.php", "Kora-Flash-",
        e2e::MakeScriptedInstaller(
            e2e::PortablePackageScript(install_.Path("arguments"), {{"plugin.so", "new plugin"}})));
  click_at_ready_ = &state_.continue_event;

  EXPECT_EQ(UpdateWorker(Context({u"--current=2.0", u"--pepper-version=1.0.0.0"})),
            kResultInstalled);
  EXPECT_EQ(Sequence(), (std::vector<Posted>{{kNotifyBrowserCurrentVersion, u"2.0"},
                                             {kNotifyBrowserChecking, 0},
                                             {kNotifyBrowserResult, kResultNothingToInstall},
                                             {kNotifyFlashCurrentVersion, u"1.0.0.0"},
                                             {kNotifyFlashChecking, 0},
                                             {kNotifyFlashFound, u"2.0.0.0"},
                                             {kNotifyFlashProgress, 0},
                                             {kNotifyFlashReady, Download()},
                                             {kNotifyFlashInstalling, 0},
                                             {kNotifyFlashResult, kResultInstalled},
                                             {kNotifyFinished, 0}}));
  EXPECT_EQ(posted_[posted_.size() - 5], Posted(kNotifyFlashProgress, 100));
  EXPECT_FALSE(state_.continue_event.IsSignaled()) << "the confirmation is used up";
  EXPECT_EQ(e2e::ReadFileBytes(install_.updater_dir() + "/PepperFlash/plugin.so"), "new plugin");
}

TEST_F(UpdateWorkerTest, FlowsWaitForTheUsersDecisionAndIgnoreEarlierClicks) {
  const std::string installer =
      e2e::MakeScriptedInstaller(e2e::BrowserInstallerScript(install_.Path("arguments")));
  Offer("/update.php", "Kora-", installer);
  Offer("/update_pepper.php", "Kora-Flash-", installer);
  state_.current_browser_version = ParseVersion("1.0.0.0");
  const std::vector<Posted> browser_sequence = {{kNotifyBrowserFound, u"2.0.0.0"},
                                                {kNotifyBrowserProgress, 0},
                                                {kNotifyBrowserReady, Download()}};
  const std::vector<Posted> flash_sequence = {{kNotifyFlashCurrentVersion, u"1.0.0.0"},
                                              {kNotifyFlashChecking, 0},
                                              {kNotifyFlashFound, u"2.0.0.0"},
                                              {kNotifyFlashProgress, 0},
                                              {kNotifyFlashReady, Download()}};
  // Cancelled, then failed: events that are not there end the wait as a
  // time-out does.
  for (const UpdateResult expected : {kBrowserUserCancelled, kFlashUserCancelled,
                                      kBrowserConfirmationFailed, kFlashConfirmationFailed}) {
    SCOPED_TRACE(expected);
    const bool browser =
        expected == kBrowserUserCancelled || expected == kBrowserConfirmationFailed;
    const bool cancel = expected == kBrowserUserCancelled || expected == kFlashUserCancelled;
    posted_.clear();
    click_at_ready_ = cancel ? &state_.cancel_event : nullptr;
    if (!cancel) {
      state_.continue_event.Close();
      state_.cancel_event.Close();
    } else {
      state_.continue_event.Set();  // clicks made while the installer still downloaded
      state_.cancel_event.Set();
    }
    EXPECT_EQ(browser ? RunBrowserUpdate(Context({u"--current=1.0.0.0"}), kPrimaryServerSet)
                      : RunFlashUpdate(Context({u"--pepper-version=1.0.0.0"}), kPrimaryServerSet),
              expected);
    EXPECT_EQ(Sequence(), browser ? browser_sequence : flash_sequence);
    EXPECT_EQ(signaled_at_ready_, std::make_pair(false, false));
    EXPECT_FALSE(state_.cancel_event.IsSignaled()) << "the cancel is used up";
  }
  EXPECT_FALSE(e2e::Exists(install_.Path("arguments"))) << "no installer ran";
  EXPECT_FALSE(e2e::Exists(install_.updater_dir() + "/PepperFlash"));
}

// The checked download replaced, or rewritten in place, while the user
// decides: nothing runs, and the flow ends as for an unsigned download.
TEST_F(UpdateWorkerTest, ADownloadChangedAfterItsCheckNeverRuns) {
  E2E_REQUIRE_INSTALLER_RUNNER();
  const std::string installer =
      e2e::MakeScriptedInstaller(e2e::BrowserInstallerScript(install_.Path("arguments")));
  const std::string other =
      e2e::MakeScriptedInstaller(e2e::BrowserInstallerScript(install_.Path("other_arguments")));
  Offer("/update.php", "Kora-", installer);
  Offer("/update_pepper.php", "Kora-Flash-", installer);
  state_.current_browser_version = ParseVersion("1.0.0.0");
  click_at_ready_ = &state_.continue_event;
  const std::string download = UTF16ToUTF8(Download());
  at_ready_ = [&] {
    e2e::WriteFileBytes(download + ".new", other);
    ASSERT_EQ(rename((download + ".new").c_str(), download.c_str()), 0);
  };
  EXPECT_EQ(RunBrowserUpdate(Context({u"--current=1.0.0.0"}), kPrimaryServerSet),
            kBrowserSignatureInvalid);
  // Grown by a byte: a rewrite of the same size within the file system's
  // time granularity would pass unseen, which only the user could make.
  const std::string grown = other + '\0';
  at_ready_ = [&] {
    const int file = open(download.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    ASSERT_EQ(write(file, grown.data(), grown.size()), static_cast<ssize_t>(grown.size()));
    close(file);
  };
  EXPECT_EQ(RunFlashUpdate(Context({u"--pepper-version=1.0.0.0"}), kPrimaryServerSet),
            kFlashSignatureInvalid);
  EXPECT_FALSE(e2e::Exists(install_.Path("arguments")));
  EXPECT_FALSE(e2e::Exists(install_.Path("other_arguments")));
}

TEST_F(UpdateWorkerTest, AStoppedRunStartsNoInstallerAndNoPlugInUpdate) {
  Offer("/update.php", "Kora-",
        e2e::MakeScriptedInstaller(e2e::BrowserInstallerScript(install_.Path("arguments"))));
  state_.current_browser_version = ParseVersion("1.0.0.0");
  // Confirmed, and the dialog closed before the installer could start.
  click_at_ready_ = &state_.continue_event;
  stop_at_ = kNotifyBrowserReady;
  EXPECT_EQ(RunBrowserUpdate(Context({u"--current=1.0.0.0"}), kPrimaryServerSet),
            kExitWorkerStopped);
  EXPECT_FALSE(e2e::Exists(install_.Path("arguments"))) << "no installer ran";

  service_.Answer("/update.php", e2e::BrowserOffer("1.0.0.0", ""));
  stop_at_ = kNotifyBrowserResult;
  posted_.clear();
  EXPECT_EQ(UpdateWorker(Context({u"--current=1.0.0.0"})), kResultNothingToInstall);
  EXPECT_EQ(Sequence().back(), Posted(kNotifyFinished, 0));
  EXPECT_EQ(service_.CountRequests("/update_pepper.php"), 0) << "the plug-in flow never began";
}

}  // namespace
}  // namespace updater
