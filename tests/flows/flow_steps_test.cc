#include "flows/flow_steps.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/string_util.h"
#include "update_run/update_context.h"

namespace updater {
namespace {

struct Posted {
  NotifyCode code;
  NotificationValue value;
};

// Interactive state with events of names of its own, recording every post.
class FlowStepsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::u16string base =
        u"Global\\flow_steps_test_" + ASCIIToUTF16(std::to_string(getpid()));
    state_.interactive = true;
    state_.continue_event = NamedEvent::Create(base + u"_continue");
    state_.cancel_event = NamedEvent::Create(base + u"_cancel");
    ASSERT_TRUE(state_.continue_event.IsValid() && state_.cancel_event.IsValid());
  }

  Confirmation Wait(uint32_t timeout_ms = 10000) {
    return WaitForConfirmation(context_, kNotifyBrowserReady, FsPath(u"/tmp/setup.exe"),
                               kNotifyBrowserInstalling, timeout_ms);
  }

  UpdaterState state_;
  const ParsedCommandLine command_line_{u"updater"};
  std::vector<Posted> posted_;
  std::function<void()> at_ready_;  // the user, once the installer is shown
  WorkerStop stop_;
  const UpdateContext context_{state_, command_line_,
                               [this](NotifyCode code, NotificationValue value) {
                                 posted_.push_back({code, std::move(value)});
                                 if (code == kNotifyBrowserReady && at_ready_) at_ready_();
                               },
                               &stop_};
};

TEST_F(FlowStepsTest, ConfirmationContinuesCancelsAndTimesOut) {
  std::thread confirm([&] {
    usleep(50000);
    state_.continue_event.Set();
  });
  EXPECT_EQ(Wait(), Confirmation::kContinue);
  confirm.join();
  EXPECT_FALSE(state_.continue_event.IsSignaled()) << "the event that ended the wait is reset";
  ASSERT_EQ(posted_.size(), 2u);
  EXPECT_EQ(posted_[0].code, kNotifyBrowserReady);
  EXPECT_EQ(std::get<std::u16string>(posted_[0].value), u"/tmp/setup.exe");
  EXPECT_EQ(posted_[1].code, kNotifyBrowserInstalling);

  posted_.clear();
  at_ready_ = [&] { state_.cancel_event.Set(); };
  EXPECT_EQ(Wait(), Confirmation::kCancel);
  EXPECT_FALSE(state_.cancel_event.IsSignaled());
  ASSERT_EQ(posted_.size(), 1u) << "no installing notice after a cancel";

  // Both set: the user's confirmation wins, and the cancel stays pending.
  at_ready_ = [&] {
    state_.cancel_event.Set();
    state_.continue_event.Set();
  };
  EXPECT_EQ(Wait(), Confirmation::kContinue);
  EXPECT_TRUE(state_.cancel_event.IsSignaled());

  // Set before the installer was shown, by anyone: neither counts.
  at_ready_ = nullptr;
  state_.continue_event.Set();
  EXPECT_EQ(Wait(/*timeout_ms=*/50), Confirmation::kFailed);
  state_.continue_event.Close();
  EXPECT_EQ(Wait(), Confirmation::kFailed) << "an invalid event fails the wait";
}

TEST_F(FlowStepsTest, ProgressIsPostedTruncatedAndOnlyInInteractiveMode) {
  {
    const ScopedProgressPoster browser(context_);
    EXPECT_TRUE(OnBrowserDownloadProgress(0.0));
    EXPECT_TRUE(OnBrowserDownloadProgress(0.5)) << "the same figure is not posted again";
    EXPECT_TRUE(OnBrowserDownloadProgress(99.9));
  }
  {
    const ScopedProgressPoster flash(context_);
    EXPECT_TRUE(OnFlashDownloadProgress(250.5));
    EXPECT_TRUE(OnFlashDownloadProgress(1e300));
  }
  EXPECT_TRUE(OnBrowserDownloadProgress(7.0)) << "unbound: posts nothing";
  const ScopedProgressPoster silent(context_);
  state_.interactive = false;
  EXPECT_TRUE(OnBrowserDownloadProgress(50.0));
  ASSERT_EQ(posted_.size(), 4u);
  EXPECT_EQ(posted_[0].code, kNotifyBrowserProgress);
  EXPECT_EQ(std::get<int64_t>(posted_[0].value), 0);
  EXPECT_EQ(std::get<int64_t>(posted_[1].value), 99);
  EXPECT_EQ(posted_[2].code, kNotifyFlashProgress);
  EXPECT_EQ(std::get<int64_t>(posted_[2].value), 250);
  EXPECT_GT(std::get<int64_t>(posted_[3].value), 0);

  stop_.Stop();
  EXPECT_FALSE(OnFlashDownloadProgress(60.0)) << "a stopped run's download stops";
}

}  // namespace
}  // namespace updater
