// The update dialog on Win32: template 108 from the executable's resources,
// a modeless dialog driven by the thread's message loop, and notifications
// posted to it as window messages.
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "base/native_win.h"
#include "dialog/dialog_window_platform.h"
#include "dialog/show_in_file_manager_win.h"
#include "resources/dialog_ids.h"

namespace updater::platform {
namespace {

// Blue lines on white.
constexpr COLORREF kLineColour = RGB(0, 0, 255);
constexpr COLORREF kListBackground = RGB(255, 255, 255);

struct BrushDeleter {
  void operator()(HBRUSH brush) const { DeleteObject(brush); }
};
using ScopedBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, BrushDeleter>;

// The values of notifications on their way to the dialog. A message carries
// the key of its value, never its address, and taking a value removes it:
// a message whose key is unknown (one still queued after the window went,
// or one another program posted) is dropped without touching memory, and
// whatever was never taken is freed with the table.
class PendingValues {
 public:
  uint64_t Add(NotificationValue value) {
    const std::lock_guard<std::mutex> lock(mutex_);
    values_.emplace(next_key_, std::move(value));
    return next_key_++;
  }

  std::optional<NotificationValue> Take(uint64_t key) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    NotificationValue value = std::move(found->second);
    values_.erase(found);
    return value;
  }

 private:
  std::mutex mutex_;
  uint64_t next_key_ = 1;
  std::map<uint64_t, NotificationValue> values_;
};

// x = left + (W - w) / 2 and y = top + (H - h) / 2 on the desktop, halves
// rounded toward zero; the window is shown on top at its own size.
void PlaceInTheMiddle(HWND window) {
  RECT screen{};
  RECT own{};
  GetWindowRect(GetDesktopWindow(), &screen);
  GetWindowRect(window, &own);
  const LONG x = screen.left + ((screen.right - screen.left) - (own.right - own.left)) / 2;
  const LONG y = screen.top + ((screen.bottom - screen.top) - (own.bottom - own.top)) / 2;
  SetWindowPos(window, HWND_TOP, x, y, 0, 0, SWP_SHOWWINDOW | SWP_NOSIZE);
}

class WinDialogWindow : public DialogWindow {
 public:
  WinDialogWindow() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    big_icon_ = LoadIconW(instance, MAKEINTRESOURCEW(UPDATER_APP_ICON));
    small_icon_ = LoadIconW(instance, MAKEINTRESOURCEW(UPDATER_APP_ICON));
  }

  bool Show(UpdateDialog& dialog) override {
    dialog_ = &dialog;
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(UPDATER_DIALOG_TEMPLATE),
                              nullptr, &WinDialogWindow::UpdateDialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
  }

  // The worker never waits for the dialog: a value that cannot be posted
  // is dropped.
  void PostNotification(NotifyCode code, NotificationValue value) override {
    const HWND window = window_.load();
    if (!window) return;
    const uint64_t key = pending_.Add(std::move(value));
    if (!PostMessageW(window, kUpdaterNotifyMessage, static_cast<WPARAM>(code),
                      static_cast<LPARAM>(key))) {
      pending_.Take(key);
    }
  }

  // Tab, Enter and Escape reach the dialog through IsDialogMessageW.
  void RunMessageLoop() override {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      const HWND window = window_.load();
      if (window && IsDialogMessageW(window, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  // Called while the window is destroyed, on its thread; the loop ends once
  // the messages queued before it are handled.
  void EndMessageLoop() override { PostQuitMessage(0); }

  void SetTitle(const std::u16string& title) override {
    SetWindowTextW(window_.load(), win::ToWide(title).c_str());
  }

  void AddLine(const std::u16string& line) override {
    SendMessageW(Control(UPDATER_DIALOG_LINES), LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(win::ToWide(line).c_str()));
  }

  void DeleteLastLine() override {
    const HWND list = Control(UPDATER_DIALOG_LINES);
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    if (count > 0) SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(count - 1), 0);
  }

  void ShowButton(DialogButton button, bool shown) override {
    ShowWindow(Control(button), shown ? SW_SHOW : SW_HIDE);
  }
  void EnableButton(DialogButton button, bool enabled) override {
    EnableWindow(Control(button), enabled);
  }
  void LabelButton(DialogButton button, const std::u16string& label) override {
    SetWindowTextW(Control(button), win::ToWide(label).c_str());
  }
  bool IsVisible() const override {
    const HWND window = window_.load();
    return window && IsWindowVisible(window);
  }
  void Hide() override {
    if (const HWND window = window_.load()) ShowWindow(window, SW_HIDE);
  }
  void OpenFolder(const FsPath& selected) override { ShowInFileManager(selected); }
  void Destroy() override {
    if (const HWND window = window_.load()) DestroyWindow(window);
  }

 private:
  HWND Control(int id) const {
    const HWND window = window_.load();
    return window ? GetDlgItem(window, id) : nullptr;
  }

  static INT_PTR CALLBACK UpdateDialogProc(HWND window,
                                           UINT message,
                                           WPARAM w_param,
                                           LPARAM l_param) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrW(window, DWLP_USER, l_param);
      reinterpret_cast<WinDialogWindow*>(l_param)->OnInitDialog(window);
      return TRUE;
    }
    auto* self = reinterpret_cast<WinDialogWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!self) return FALSE;
    switch (message) {
      case WM_COMMAND:
        return self->dialog_->OnCommand(LOWORD(w_param)) ? TRUE : FALSE;
      case WM_CTLCOLORLISTBOX:
        if (!self->background_brush_) return FALSE;
        SetTextColor(reinterpret_cast<HDC>(w_param), kLineColour);
        return reinterpret_cast<INT_PTR>(self->background_brush_.get());
      case WM_DESTROY:
        self->OnDestroy();
        return TRUE;
      case kUpdaterNotifyMessage:
        self->OnNotification(w_param, l_param);
        return FALSE;
      default:
        return FALSE;
    }
  }

  // The brush lives exactly as long as the dialog's own record. The window
  // is placed before the system first shows it, so it never appears
  // anywhere but in the middle.
  void OnInitDialog(HWND window) {
    window_ = window;
    background_brush_.reset(CreateSolidBrush(kListBackground));
    dialog_->Initialize();
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_));
    PlaceInTheMiddle(window);
  }

  void OnDestroy() {
    window_ = nullptr;
    background_brush_.reset();
    dialog_->OnDestroy();
  }

  // The code is taken whole: a stray high value stays out of range.
  void OnNotification(WPARAM code, LPARAM key) {
    const std::optional<NotificationValue> value = pending_.Take(static_cast<uint64_t>(key));
    if (value) dialog_->OnNotification(static_cast<int64_t>(code), *value);
  }

  UpdateDialog* dialog_ = nullptr;
  // Read by the worker when it posts; null before creation and once the
  // window is being destroyed.
  std::atomic<HWND> window_{nullptr};
  HICON big_icon_ = nullptr;
  HICON small_icon_ = nullptr;
  ScopedBrush background_brush_;
  PendingValues pending_;
};

}  // namespace

std::unique_ptr<DialogWindow> DialogWindow::Open() {
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  return std::make_unique<WinDialogWindow>();
}

void ShowMessage(const std::u16string& text, const std::u16string& caption) {
  MessageBoxW(nullptr, win::ToWide(text).c_str(), win::ToWide(caption).c_str(), MB_OK);
}

}  // namespace updater::platform
