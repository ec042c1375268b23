#include "dialog/dialog_state.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/string_util.h"
#include "dialog/notification_queue.h"
#include "update_run/kernel_object_names.h"

namespace updater {
namespace {

struct ButtonView {
  bool shown = true;
  bool enabled = true;
  std::u16string label;
  bool operator==(const ButtonView&) const = default;
};

// What the dialog shows, as a platform view would end up drawing it.
struct Screen {
  std::u16string title;
  std::vector<std::u16string> lines;
  std::map<int, ButtonView> buttons;
  bool operator==(const Screen&) const = default;
};

class RecordingView : public DialogView {
 public:
  void SetTitle(const std::u16string& title) override { screen.title = title; }
  void AddLine(const std::u16string& line) override { screen.lines.push_back(line); }
  void DeleteLastLine() override {
    ASSERT_FALSE(screen.lines.empty()) << "deleted a line that is not there";
    screen.lines.pop_back();
  }
  void ShowButton(DialogButton button, bool shown) override {
    screen.buttons[button].shown = shown;
  }
  void EnableButton(DialogButton button, bool enabled) override {
    screen.buttons[button].enabled = enabled;
  }
  void LabelButton(DialogButton button, const std::u16string& label) override {
    screen.buttons[button].label = label;
  }
  bool IsVisible() const override { return visible; }
  void OpenFolder(const FsPath& selected) override { opened.push_back(selected.value()); }
  void Hide() override {
    visible = false;
    log.push_back("hide");
  }
  void Destroy() override { log.push_back("destroy"); }

  Screen screen;
  bool visible = true;
  std::vector<std::u16string> opened;
  std::vector<std::string> log;
};

std::u16string UniqueName() {
  static int counter = 0;
  return ASCIIToUTF16("dialog_state_test_" + std::to_string(getpid()) + "_" +
                      std::to_string(++counter));
}

// One initialised dialog in English with events of names of its own.
struct Harness {
  Harness() {
    const std::u16string name = UniqueName();
    state.continue_event = NamedEvent::Create(u"Global\\" + name + u"_continue");
    state.cancel_event = NamedEvent::Create(u"Global\\" + name + u"_cancel");
    state.real_exe_path = FsPath(u"/nonexistent/" + name + u"/browser");
    EXPECT_TRUE(state.continue_event.IsValid() && state.cancel_event.IsValid());
    dialog.Initialize();
  }

  NamedEvent CreateRestartEvent() const {
    return NamedEvent::Create(
        KernelObjectName(GetKernelObjectPrefix(state.real_exe_path), kNeedRestartSuffix));
  }
  void Post(int64_t code, NotificationValue value = int64_t{0}) {
    dialog.OnNotification(code, value);
  }
  bool destroyed() const { return dialog.state() == nullptr; }

  UpdaterState state;
  bool installation_under_way = false;
  RecordingView view;
  UpdateDialog dialog{
      view, state,
      DialogTeardown{
          [this] {
            view.log.push_back(std::string("closing") +
                               (destroyed() || state.cancel_event.IsSignaled() ? " late" : ""));
            return installation_under_way;
          },
          [this] {
            view.log.push_back(std::string("stop_worker") + (destroyed() ? " state_gone" : "") +
                               (state.cancel_event.IsSignaled() ? " cancel_set" : ""));
          },
          [this] { view.log.push_back("end_loop"); }}};
};

constexpr int kConfirm = kConfirmButton;
constexpr int kOpen = kOpenFolderButton;
const std::u16string kBrowserSetup = u"/tmp/d/browser_setup.exe";
const std::u16string kFlashSetup = u"/tmp/d/flash_setup.exe";

TEST(DialogStateTest, InitialisesLabelsAndShowsOnlyListAndAbort) {
  Harness h;
  ASSERT_NE(h.dialog.state(), nullptr);
  EXPECT_EQ(h.dialog.state()->state, kStateStarted);
  EXPECT_EQ(h.view.screen, (Screen{u"Check for update",
                                   {},
                                   {{kConfirm, {false, true, u"Confirm"}},
                                    {kAbortButton, {true, true, u"Abort"}},
                                    {kOpen, {false, true, u"Open folder"}}}}));
}

// A typical run: after each notification, the state, the last line and the
// Confirm and Open folder buttons.
TEST(DialogStateTest, NotificationTableDrivesLinesStateAndButtons) {
  struct Step {
    int code;
    NotificationValue value;
    int state;
    std::u16string last_line;
    ButtonView confirm;
    ButtonView open;
  };
  const ButtonView hidden_confirm{false, true, u"Confirm"};
  const ButtonView hidden_open{false, true, u"Open folder"};
  const std::vector<Step> steps = {
      {0, u"1.5.0.1", kStateStarted, u"Current browser version is 1.5.0.1", hidden_confirm,
       hidden_open},
      {1, int64_t{0}, kStateBrowserChecking, u"Connecting server...", hidden_confirm, hidden_open},
      {2, u"1.5.2.3", kStateBrowserDownloading,
       u"Found new browser version(1.5.2.3), starting download...", hidden_confirm, hidden_open},
      {3, int64_t{87}, kStateBrowserDownloading, u"87% downloaded.", hidden_confirm, hidden_open},
      {4,
       kBrowserSetup,
       kStateBrowserReady,
       u"Browser installer downloaded, install now?",
       {true, true, u"Install"},
       {true, true, u"Open folder"}},
      {5,
       int64_t{0},
       kStateBrowserInstalling,
       u"Installing...",
       {true, true, u"Confirm"},
       {true, true, u"Open folder"}},
      {6,
       int64_t{0},
       kStateBrowserDone,
       u"New browser version installed.",
       {true, true, u"Confirm"},
       {true, true, u"Open folder"}},
      {7,
       u"",
       kStateBrowserDone,
       u"Current flash version is ",
       {true, true, u"Confirm"},
       {true, true, u"Open folder"}},
      {8,
       int64_t{0},
       kStateFlashChecking,
       u"Checking flash player...",
       {true, false, u"Confirm"},
       {true, false, u"Open folder"}},
      {9,
       u"32.0",
       kStateFlashDownloading,
       u"Found new flash player(32.0), starting download...",
       {true, false, u"Confirm"},
       {true, false, u"Open folder"}},
      {10,
       int64_t{40},
       kStateFlashDownloading,
       u"40% downloaded.",
       {true, false, u"Confirm"},
       {true, false, u"Open folder"}},
      {11,
       kFlashSetup,
       kStateFlashReady,
       u"New flash player downloaded, install now?",
       {true, true, u"Install"},
       {true, true, u"Open folder"}},
      {12,
       int64_t{0},
       kStateFlashInstalling,
       u"Installing...",
       {true, true, u"Confirm"},
       {true, true, u"Open folder"}},
      {13,
       int64_t{27},
       kStateFlashDone,
       u"Flash player update failed, error code is 27.",
       {false, true, u"Confirm"},
       {true, true, u"Open folder"}},
      {14,
       int64_t{0},
       kStateFinished,
       u"Flash player update failed, error code is 27.",
       {false, true, u"Confirm"},
       {true, true, u"Open folder"}},
  };
  Harness h;
  size_t lines = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.code);
    h.Post(step.code, step.value);
    ASSERT_FALSE(h.destroyed());
    EXPECT_EQ(h.dialog.state()->state, step.state);
    lines += step.code != kNotifyFinished;
    EXPECT_EQ(h.view.screen.lines.size(), lines);
    EXPECT_EQ(h.view.screen.lines.back(), step.last_line);
    EXPECT_EQ(h.view.screen.buttons[kConfirm], step.confirm);
    EXPECT_EQ(h.view.screen.buttons[kOpen], step.open);
  }
  EXPECT_EQ(h.dialog.state()->browser_installer_path.value(), kBrowserSetup);
  EXPECT_EQ(h.dialog.state()->flash_installer_path.value(), kFlashSetup);
}

TEST(DialogStateTest, ProgressLineIsAddedOnceThenReplaced) {
  struct Case {
    std::vector<int64_t> values;
    std::vector<std::u16string> lines;
  };
  const std::vector<Case> cases = {
      {{0, 0, 10, 10, 55, 100}, {u"100% downloaded."}},
      {{10, 0, 20}, {u"0% downloaded.", u"20% downloaded."}},
      {{0}, {}},
      {{42}, {u"42% downloaded."}},
  };
  for (const int code : {kNotifyBrowserProgress, kNotifyFlashProgress}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "code " << code << ", " << c.values.size() << " values");
      Harness h;
      h.Post(kNotifyBrowserChecking);
      for (const int64_t value : c.values) h.Post(code, value);
      std::vector<std::u16string> expected = {u"Connecting server..."};
      expected.insert(expected.end(), c.lines.begin(), c.lines.end());
      EXPECT_EQ(h.view.screen.lines, expected);
    }
  }
}

TEST(DialogStateTest, BrowserAndFlashProgressAreTrackedApart) {
  Harness h;
  h.Post(kNotifyBrowserProgress, int64_t{50});
  h.Post(kNotifyBrowserProgress, int64_t{100});
  h.Post(kNotifyFlashProgress, int64_t{100});  // not the browser's value
  EXPECT_EQ(h.view.screen.lines,
            (std::vector<std::u16string>{u"100% downloaded.", u"100% downloaded."}));
  h.Post(kNotifyFlashProgress, int64_t{30});
  EXPECT_EQ(h.view.screen.lines,
            (std::vector<std::u16string>{u"100% downloaded.", u"30% downloaded."}));
}

// Browser results enable or disable Confirm, plug-in results show or hide
// it; "installed" asks for a restart only when the browser wants one.
TEST(DialogStateTest, ResultLineAndConfirm) {
  struct Case {
    int code;
    bool downloaded;  // the installer was downloaded and Install clicked
    int64_t result;
    bool restart_event;
    std::u16string line;
    bool confirm_shown;
    bool confirm_enabled;
  };
  const std::vector<Case> cases = {
      {6, false, 4, false, u"Your browser is already the latest version.", false, false},
      {6, true, 4, true, u"Your browser is already the latest version.", true, false},
      {6, false, 27, false, u"Browser update failed, error code is 27.", false, false},
      {6, true, 0, false, u"New browser version installed.", true, false},
      {6, true, 0, true, u"New browser version installed, restart now?", true, true},
      {6, true, -3, true, u"New browser version installed, restart now?", true, true},
      {13, false, 4, false, u"Flash player is already the latest version.", false, true},
      {13, true, 4, false, u"Flash player is already the latest version.", false, false},
      {13, true, 5, false, u"Flash player update failed, error code is 5.", false, false},
      {13, false, 0, false, u"New flash player installed.", false, true},
      {13, false, 0, true, u"New flash player installed, restart now?", true, true},
      // Install disabled Confirm; the restart prompt must still be answerable.
      {13, true, 0, true, u"New flash player installed, restart now?", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.code << " " << c.downloaded << " " << c.result << " " << c.restart_event);
    Harness h;
    const NamedEvent restart = c.restart_event ? h.CreateRestartEvent() : NamedEvent();
    const bool browser = c.code == kNotifyBrowserResult;
    if (c.downloaded) {
      h.Post(browser ? kNotifyBrowserReady : kNotifyFlashReady, u"/tmp/setup");
      h.dialog.OnCommand(kCommandConfirm);
      h.Post(browser ? kNotifyBrowserInstalling : kNotifyFlashInstalling);
    }
    h.Post(c.code, c.result);
    EXPECT_EQ(h.view.screen.lines.back(), c.line);
    EXPECT_EQ(h.view.screen.buttons[kConfirm].shown, c.confirm_shown);
    EXPECT_EQ(h.view.screen.buttons[kConfirm].enabled, c.confirm_enabled);
    EXPECT_EQ(h.state.restart_event.IsValid(), c.restart_event);
  }
}

TEST(DialogStateTest, RestartEventIsLookedForAtEachResultUntilFound) {
  Harness h;
  h.Post(kNotifyBrowserResult, int64_t{0});
  EXPECT_EQ(h.view.screen.lines.back(), u"New browser version installed.");
  const NamedEvent restart = h.CreateRestartEvent();
  ASSERT_TRUE(restart.IsValid());
  h.Post(kNotifyFlashResult, int64_t{0});
  EXPECT_EQ(h.view.screen.lines.back(), u"New flash player installed, restart now?");

  // Confirm after a result asks the browser to restart and closes.
  EXPECT_FALSE(restart.IsSignaled());
  EXPECT_TRUE(h.dialog.OnCommand(kCommandConfirm));
  EXPECT_TRUE(restart.IsSignaled());
  EXPECT_TRUE(h.destroyed());
}

TEST(DialogStateTest, ConfirmWithoutRestartEventOnlyCloses) {
  Harness h;
  h.Post(kNotifyBrowserResult, int64_t{0});
  EXPECT_TRUE(h.dialog.OnCommand(kCommandConfirm));
  EXPECT_TRUE(h.destroyed());
  EXPECT_FALSE(h.state.restart_event.IsValid());
  const NamedEvent restart = h.CreateRestartEvent();
  EXPECT_FALSE(restart.already_existed());
}

// Every command in every state: the code that enters the state (none for
// the first), what Confirm does and which installer Open folder selects.
TEST(DialogStateTest, CommandsInEveryState) {
  enum ConfirmEffect { kNothing, kContinues, kCloses };
  struct Row {
    int state;
    int entered_by;
    ConfirmEffect confirm;
    const std::u16string* folder;
  };
  const std::u16string empty;
  const std::vector<Row> rows = {
      {kStateStarted, -1, kNothing, &empty},
      {kStateBrowserChecking, 1, kNothing, &kBrowserSetup},
      {kStateBrowserDownloading, 2, kNothing, &kBrowserSetup},
      {kStateBrowserReady, 4, kContinues, &kBrowserSetup},
      {kStateBrowserInstalling, 5, kNothing, nullptr},
      {kStateBrowserDone, 6, kCloses, nullptr},
      {kStateFlashChecking, 8, kNothing, nullptr},
      {kStateFlashDownloading, 9, kNothing, nullptr},
      {kStateFlashReady, 11, kContinues, &kFlashSetup},
      {kStateFlashInstalling, 12, kNothing, &kFlashSetup},
      {kStateFlashDone, 13, kCloses, &kFlashSetup},
      {kStateFinished, 14, kCloses, &kFlashSetup},
  };
  auto enter = [](Harness& h, const Row& row) {
    if (row.entered_by < 0) return;
    h.Post(kNotifyBrowserReady, kBrowserSetup);
    h.Post(kNotifyFlashReady, kFlashSetup);
    h.Post(row.entered_by, row.entered_by == kNotifyBrowserReady ? NotificationValue(kBrowserSetup)
                           : row.entered_by == kNotifyFlashReady ? NotificationValue(kFlashSetup)
                                                                 : NotificationValue(int64_t{0}));
    ASSERT_EQ(h.dialog.state()->state, row.state);
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.state);
    {
      Harness h;
      enter(h, row);
      EXPECT_TRUE(h.dialog.OnCommand(kCommandConfirm));
      EXPECT_EQ(h.state.continue_event.IsSignaled(), row.confirm == kContinues);
      EXPECT_EQ(h.destroyed(), row.confirm == kCloses);
      if (row.confirm == kContinues) {
        EXPECT_FALSE(h.view.screen.buttons[kConfirm].enabled);
        EXPECT_FALSE(h.view.screen.buttons[kOpen].enabled);
      }
    }
    {
      Harness h;
      enter(h, row);
      EXPECT_TRUE(h.dialog.OnCommand(kCommandOpenFolder));
      EXPECT_EQ(h.view.opened, row.folder ? std::vector<std::u16string>{*row.folder}
                                          : std::vector<std::u16string>{});
      EXPECT_FALSE(h.destroyed());
      EXPECT_FALSE(h.dialog.OnCommand(4));
      EXPECT_FALSE(h.dialog.OnCommand(0));
    }
    for (const int closing : {kCommandCancel, kCommandAbort}) {
      Harness h;
      enter(h, row);
      EXPECT_TRUE(h.dialog.OnCommand(closing));
      EXPECT_TRUE(h.destroyed());
      EXPECT_FALSE(h.state.continue_event.IsSignaled());
    }
  }
}

// The worker learns first that the dialog goes, then the record goes, a
// waiting flow is cancelled, and the worker and the loop end; nothing
// afterwards reaches the view.
TEST(DialogStateTest, DestructionOrderAndAfterwards) {
  Harness h;
  h.Post(kNotifyBrowserReady, kBrowserSetup);
  EXPECT_TRUE(h.dialog.OnCommand(kCommandAbort));
  EXPECT_EQ(h.view.log,
            (std::vector<std::string>{"closing", "destroy", "closing",
                                      "stop_worker state_gone cancel_set", "end_loop"}));
  const Screen screen = h.view.screen;
  h.dialog.OnDestroy();  // the platform's own report of the window going
  h.Post(kNotifyBrowserChecking);
  EXPECT_TRUE(h.dialog.OnCommand(kCommandConfirm));
  EXPECT_TRUE(h.dialog.OnCommand(kCommandOpenFolder));
  EXPECT_TRUE(h.dialog.OnCommand(kCommandAbort));
  EXPECT_EQ(h.view.screen, screen);
  EXPECT_TRUE(h.view.opened.empty());
  EXPECT_FALSE(h.state.continue_event.IsSignaled());
  EXPECT_EQ(h.view.log.size(), 5u);
}

TEST(DialogStateTest, FinishedClosesOnlyAHiddenDialog) {
  for (const bool visible : {true, false}) {
    Harness h;
    h.view.visible = visible;
    h.Post(kNotifyFinished);
    EXPECT_EQ(h.destroyed(), !visible);
    EXPECT_EQ(h.view.log.size(), visible ? 0u : 4u);
  }
}

TEST(DialogStateTest, CodesOutsideTheTableAreIgnored) {
  Harness h;
  h.Post(kNotifyBrowserReady, kBrowserSetup);
  const Screen screen = h.view.screen;
  for (const int64_t code : {int64_t{15}, int64_t{-1}, int64_t{6024}, (int64_t{1} << 32) + 1}) {
    h.Post(code, int64_t{4});
    h.Post(code, u"text");
  }
  EXPECT_EQ(h.view.screen, screen);
  EXPECT_EQ(h.dialog.state()->state, kStateBrowserReady);
  EXPECT_FALSE(h.destroyed());
}

// Closed while the installer runs, the dialog only hides; the worker's last
// notification closes it. Once that came, closing closes at once.
TEST(DialogStateTest, ClosingDuringAnInstallationHidesUntilTheWorkerFinishes) {
  for (const int command : {kCommandCancel, kCommandAbort}) {
    Harness h;
    h.installation_under_way = true;
    h.Post(kNotifyBrowserReady, kBrowserSetup);
    EXPECT_TRUE(h.dialog.OnCommand(kConfirm));
    h.Post(kNotifyBrowserInstalling);
    EXPECT_TRUE(h.dialog.OnCommand(command));
    h.Post(kNotifyBrowserResult, int64_t{0});
    EXPECT_EQ(h.view.log, (std::vector<std::string>{"closing", "hide"}));
    EXPECT_FALSE(h.state.cancel_event.IsSignaled());
    h.Post(kNotifyFinished);
    EXPECT_TRUE(h.destroyed());
    EXPECT_EQ(h.view.log.back(), "end_loop");
  }
  Harness h;
  h.installation_under_way = true;
  h.Post(kNotifyFinished);
  EXPECT_TRUE(h.dialog.OnCommand(kCommandAbort));
  EXPECT_TRUE(h.destroyed());
}

// Wakes a UI thread that waits for it, and counts the wakes.
class WaitingUiThread : public UiThreadWaker {
 public:
  bool WakeUiThread() override {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++wakes_;
    woken_ = true;
    changed_.notify_one();
    return true;
  }
  void WaitForWake() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return woken_; });
    woken_ = false;
  }
  int wakes() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return wakes_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool woken_ = false;
  int wakes_ = 0;
};

// A worker thread posts through the queue while this thread delivers what
// each wake finds: every notification arrives, in the order posted, and
// once the window has gone nothing more is queued, woken for or delivered.
TEST(DialogStateTest, QueuedNotificationsArriveInOrderAndNeverAfterTheWindowWent) {
  Harness h;
  WaitingUiThread ui_thread;
  NotificationQueue queue(ui_thread);
  DialogWindowEventRouter window_events(h.dialog, queue);
  const NotificationPoster post = PosterInto(queue);
  constexpr int kCount = 2000;
  std::thread worker([&post] {
    for (int i = 0; i < kCount; ++i)
      post(kNotifyBrowserCurrentVersion, ASCIIToUTF16(std::to_string(i)));
  });
  while (h.view.screen.lines.size() < kCount) {
    ui_thread.WaitForWake();
    window_events.OnWoken();
  }
  worker.join();
  for (int i = 0; i < kCount; ++i) {
    ASSERT_EQ(h.view.screen.lines[i],
              u"Current browser version is " + ASCIIToUTF16(std::to_string(i)));
  }

  post(kNotifyBrowserChecking, int64_t{0});
  window_events.OnWindowDestroyed();
  window_events.OnWoken();  // the wake already on its way
  const int wakes = ui_thread.wakes();
  post(kNotifyBrowserCurrentVersion, u"late");
  window_events.OnWoken();
  EXPECT_EQ(h.view.screen.lines.size(), size_t{kCount});
  EXPECT_EQ(ui_thread.wakes(), wakes);
  EXPECT_TRUE(h.destroyed());
}

}  // namespace
}  // namespace updater
