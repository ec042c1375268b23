#include "dialog/dialog_state.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <utility>

#include "text/localized_text.h"
#include "update_run/kernel_object_names.h"
#include "update_run/update_result.h"

namespace updater {

// The texts and fields that differ between the browser and the plug-in.
struct DialogProductRow {
  const LocalizedText* up_to_date;
  const LocalizedText* failed;  // Format: one integer.
  const LocalizedText* installed;
  const LocalizedText* restart_prompt;
  // The plug-in's result shows or hides Confirm; the browser's enables or
  // disables it.
  bool result_shows_confirm;
  int64_t DialogState::*last_progress;
  FsPath DialogState::*installer_path;
};

enum DialogLineKind {
  kNoLine,
  kTextLine,
  kValueLine,  // text + value + suffix: a version
  kProgressLine,
  kResultLine,
};

// Button effects, applied in this order.
enum DialogEffect : unsigned {
  kStoreInstallerPath = 1u << 0,
  kEnableConfirmAndOpenFolder = 1u << 1,
  kEnableConfirm = 1u << 2,
  kDisableConfirmAndOpenFolder = 1u << 3,
  kShowConfirmAndOpenFolder = 1u << 4,
  kLabelInstall = 1u << 5,
  kLabelConfirm = 1u << 6,
  kCloseIfHidden = 1u << 7,  // last: nothing is left after it
};

inline constexpr int kStateUnchanged = -1;

struct DialogNotificationRow {
  int state_after;
  DialogLineKind line;
  const LocalizedText* text;
  const LocalizedText* suffix;
  const DialogProductRow* product;
  unsigned effects;
};

namespace {

constexpr DialogProductRow kBrowser{&kTextBrowserUpToDate,
                                    &kTextBrowserFailed,
                                    &kTextBrowserInstalled,
                                    &kTextBrowserRestartPrompt,
                                    false,
                                    &DialogState::last_browser_progress,
                                    &DialogState::browser_installer_path};
constexpr DialogProductRow kFlash{&kTextFlashUpToDate,
                                  &kTextFlashFailed,
                                  &kTextFlashInstalled,
                                  &kTextFlashRestartPrompt,
                                  true,
                                  &DialogState::last_flash_progress,
                                  &DialogState::flash_installer_path};

// Indexed by notification code.
constexpr DialogNotificationRow kNotificationRows[] = {
    {kStateUnchanged, kValueLine, &kTextBrowserCurrentVersion, nullptr, nullptr, 0},
    {kStateBrowserChecking, kTextLine, &kTextConnecting, nullptr, nullptr, 0},
    {kStateBrowserDownloading, kValueLine, &kTextBrowserFoundPrefix, &kTextBrowserFoundSuffix,
     nullptr, 0},
    {kStateUnchanged, kProgressLine, nullptr, nullptr, &kBrowser, 0},
    {kStateBrowserReady, kTextLine, &kTextBrowserInstallPrompt, nullptr, &kBrowser,
     kStoreInstallerPath | kEnableConfirm | kShowConfirmAndOpenFolder | kLabelInstall},
    {kStateBrowserInstalling, kTextLine, &kTextInstalling, nullptr, nullptr, kLabelConfirm},
    {kStateBrowserDone, kResultLine, nullptr, nullptr, &kBrowser, kLabelConfirm},
    {kStateUnchanged, kValueLine, &kTextFlashCurrentVersion, nullptr, nullptr, 0},
    {kStateFlashChecking, kTextLine, &kTextFlashChecking, nullptr, nullptr,
     kDisableConfirmAndOpenFolder},
    {kStateFlashDownloading, kValueLine, &kTextFlashFoundPrefix, &kTextFlashFoundSuffix, nullptr,
     0},
    {kStateUnchanged, kProgressLine, nullptr, nullptr, &kFlash, 0},
    {kStateFlashReady, kTextLine, &kTextFlashInstallPrompt, nullptr, &kFlash,
     kStoreInstallerPath | kEnableConfirmAndOpenFolder | kShowConfirmAndOpenFolder | kLabelInstall},
    {kStateFlashInstalling, kTextLine, &kTextInstalling, nullptr, nullptr, kLabelConfirm},
    {kStateFlashDone, kResultLine, nullptr, nullptr, &kFlash, 0},
    {kStateFinished, kNoLine, nullptr, nullptr, nullptr, kCloseIfHidden},
};

static_assert(std::size(kNotificationRows) == kNotifyFinished + 1);

enum class ConfirmAction { kNothing, kContinue, kRestartAndClose };

// What Confirm and Open folder do, indexed by dialog state.
struct StateCommands {
  ConfirmAction confirm;
  FsPath DialogState::*folder;  // null: Open folder does nothing
};

constexpr StateCommands kStateCommands[] = {
    {ConfirmAction::kNothing, &DialogState::browser_installer_path},
    {ConfirmAction::kNothing, &DialogState::browser_installer_path},
    {ConfirmAction::kNothing, &DialogState::browser_installer_path},
    {ConfirmAction::kContinue, &DialogState::browser_installer_path},
    {ConfirmAction::kNothing, nullptr},
    {ConfirmAction::kRestartAndClose, nullptr},
    {ConfirmAction::kNothing, nullptr},
    {ConfirmAction::kNothing, nullptr},
    {ConfirmAction::kContinue, &DialogState::flash_installer_path},
    {ConfirmAction::kNothing, &DialogState::flash_installer_path},
    {ConfirmAction::kRestartAndClose, &DialogState::flash_installer_path},
    {ConfirmAction::kRestartAndClose, &DialogState::flash_installer_path},
};

static_assert(std::size(kStateCommands) == kStateFinished + 1);

// A number where a text was expected counts as empty, and the reverse as 0.
std::u16string TextOf(const NotificationValue& value) {
  const std::u16string* text = std::get_if<std::u16string>(&value);
  return text ? *text : std::u16string();
}

int64_t IntegerOf(const NotificationValue& value) {
  const int64_t* number = std::get_if<int64_t>(&value);
  return number ? *number : 0;
}

int ClampToInt(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

}  // namespace

UpdateDialog::UpdateDialog(DialogView& view, UpdaterState& updater_state, DialogTeardown teardown)
    : view_(view), updater_state_(updater_state), teardown_(std::move(teardown)) {}

void UpdateDialog::Initialize() {
  state_ = std::make_unique<DialogState>();
  view_.SetTitle(Text(kTextWindowTitle));
  view_.LabelButton(kConfirmButton, Text(kTextConfirmButton));
  view_.LabelButton(kAbortButton, Text(kTextAbortButton));
  view_.LabelButton(kOpenFolderButton, Text(kTextOpenFolderButton));
  view_.ShowButton(kConfirmButton, false);
  view_.ShowButton(kOpenFolderButton, false);
}

void UpdateDialog::OnNotification(int64_t code, const NotificationValue& value) {
  if (!state_ || code < 0 || code >= static_cast<int64_t>(std::size(kNotificationRows))) return;
  const DialogNotificationRow& row = kNotificationRows[code];
  if (row.state_after != kStateUnchanged) state_->state = row.state_after;
  AddLine(row, value);
  ApplyEffects(row, value);
}

void UpdateDialog::AddLine(const DialogNotificationRow& row, const NotificationValue& value) {
  switch (row.line) {
    case kNoLine:
      return;
    case kTextLine:
      view_.AddLine(Text(*row.text));
      return;
    case kValueLine:
      view_.AddLine(Text(*row.text) + TextOf(value) + (row.suffix ? Text(*row.suffix) : u""));
      return;
    case kProgressLine:
      ShowProgress(state_.get()->*row.product->last_progress, IntegerOf(value));
      return;
    case kResultLine:
      ShowResult(*row.product, IntegerOf(value));
      return;
  }
}

void UpdateDialog::ApplyEffects(const DialogNotificationRow& row, const NotificationValue& value) {
  const unsigned effects = row.effects;
  if (effects & kStoreInstallerPath)
    state_.get()->*row.product->installer_path = FsPath(TextOf(value));
  if (effects & kEnableConfirmAndOpenFolder) view_.EnableButton(kOpenFolderButton, true);
  if (effects & (kEnableConfirm | kEnableConfirmAndOpenFolder))
    view_.EnableButton(kConfirmButton, true);
  if (effects & kDisableConfirmAndOpenFolder) {
    view_.EnableButton(kConfirmButton, false);
    view_.EnableButton(kOpenFolderButton, false);
  }
  if (effects & kShowConfirmAndOpenFolder) {
    view_.ShowButton(kConfirmButton, true);
    view_.ShowButton(kOpenFolderButton, true);
  }
  if (effects & kLabelInstall) view_.LabelButton(kConfirmButton, Text(kTextInstallButton));
  if (effects & kLabelConfirm) view_.LabelButton(kConfirmButton, Text(kTextConfirmButton));
  // A dialog the user can see stays open until the user closes it.
  if ((effects & kCloseIfHidden) && !view_.IsVisible()) Close();
}

// The first progress line of a download is added, later ones replace it; a
// first value of 0 shows nothing.
void UpdateDialog::ShowProgress(int64_t& last, int64_t progress) {
  if (progress == last) return;
  if (last != 0) view_.DeleteLastLine();
  last = progress;
  view_.AddLine(FormatLocalizedText(Localized(kTextDownloadProgress), ClampToInt(progress)));
}

void UpdateDialog::ShowResult(const DialogProductRow& product, int64_t result) {
  OpenRestartEvent();
  if (result == kResultNothingToInstall) {
    view_.AddLine(Text(*product.up_to_date));
    SetConfirmAvailable(product, false);
  } else if (result > 0) {
    view_.AddLine(FormatLocalizedText(Localized(*product.failed), ClampToInt(result)));
    SetConfirmAvailable(product, false);
  } else if (!updater_state_.restart_event.IsValid()) {
    view_.AddLine(Text(*product.installed));
  } else {
    view_.AddLine(Text(*product.restart_prompt));
    SetConfirmAvailable(product, true);
  }
}

// The browser creates the event when it wants a restart; until it exists,
// each result looks again.
void UpdateDialog::OpenRestartEvent() {
  if (updater_state_.restart_event.IsValid()) return;
  updater_state_.restart_event = NamedEvent::Open(
      KernelObjectName(GetKernelObjectPrefix(updater_state_.real_exe_path), kNeedRestartSuffix));
}

void UpdateDialog::SetConfirmAvailable(const DialogProductRow& product, bool available) {
  if (product.result_shows_confirm) {
    view_.ShowButton(kConfirmButton, available);
    // Install disabled it; a restart prompt whose Confirm cannot be pressed
    // could never be accepted.
    if (available) view_.EnableButton(kConfirmButton, true);
  } else {
    view_.EnableButton(kConfirmButton, available);
  }
}

bool UpdateDialog::OnCommand(int command) {
  switch (command) {
    case kCommandConfirm:
      Confirm();
      return true;
    case kCommandCancel:
    case kCommandAbort:
      CloseByUser();
      return true;
    case kCommandOpenFolder:
      OpenFolder();
      return true;
    default:
      return false;
  }
}

void UpdateDialog::Confirm() {
  if (!state_) return;
  switch (kStateCommands[state_->state].confirm) {
    case ConfirmAction::kNothing:
      return;
    case ConfirmAction::kContinue:
      updater_state_.continue_event.Set();
      view_.EnableButton(kConfirmButton, false);
      view_.EnableButton(kOpenFolderButton, false);
      return;
    case ConfirmAction::kRestartAndClose:
      if (updater_state_.restart_event.IsValid()) updater_state_.restart_event.Set();
      Close();
      return;
  }
}

void UpdateDialog::OpenFolder() {
  if (!state_) return;
  FsPath DialogState::*folder = kStateCommands[state_->state].folder;
  if (folder) view_.OpenFolder(state_.get()->*folder);
}

void UpdateDialog::Close() {
  if (!state_) return;
  view_.Destroy();
  OnDestroy();
}

// An installer or package already started is waited for out of sight: the
// swap that follows completes, the browser and a second updater see the
// installation until it ends, and the run ends with its result. The
// notification that the worker finished, its last, then closes the hidden
// dialog.
void UpdateDialog::CloseByUser() {
  if (!state_) return;
  if (state_->state != kStateFinished && teardown_.closing && teardown_.closing()) {
    view_.Hide();
    return;
  }
  Close();
}

// A flow waiting for the user's confirmation wakes up cancelled, and the
// run ends with the dialog.
void UpdateDialog::OnDestroy() {
  if (!state_) return;
  if (teardown_.closing) teardown_.closing();
  state_.reset();
  updater_state_.cancel_event.Set();
  if (teardown_.stop_worker) teardown_.stop_worker();
  if (teardown_.end_message_loop) teardown_.end_message_loop();
}

const char16_t* UpdateDialog::Localized(const LocalizedText& entry) const {
  return GetLocalizedText(entry, updater_state_.language_index);
}

std::u16string UpdateDialog::Text(const LocalizedText& entry) const {
  return Localized(entry);
}

}  // namespace updater
