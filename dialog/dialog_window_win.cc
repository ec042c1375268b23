// The update dialog on Win32: template 108 from the executable's resources,
// a modeless dialog driven by the thread's message loop, woken for
// notifications by a posted window message.
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <memory>
#include <string>
#include <type_traits>

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

  bool Show(DialogWindowEvents& events) override {
    events_ = &events;
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(UPDATER_DIALOG_TEMPLATE),
                              nullptr, &WinDialogWindow::UpdateDialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
  }

  // Posted, never sent, so the worker never waits for the dialog. The
  // message carries nothing: one posted by another program only delivers
  // what is queued.
  bool WakeUiThread() override {
    const HWND window = window_.load();
    return window && PostMessageW(window, kUpdaterNotifyMessage, 0, 0);
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
        return self->events_->OnCommand(LOWORD(w_param)) ? TRUE : FALSE;
      case WM_CTLCOLORLISTBOX:
        if (!self->background_brush_) return FALSE;
        SetTextColor(reinterpret_cast<HDC>(w_param), kLineColour);
        return reinterpret_cast<INT_PTR>(self->background_brush_.get());
      case WM_DESTROY:
        self->OnDestroy();
        return TRUE;
      case kUpdaterNotifyMessage:
        self->events_->OnWoken();
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
    events_->OnWindowCreated();
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_));
    PlaceInTheMiddle(window);
  }

  void OnDestroy() {
    window_ = nullptr;
    background_brush_.reset();
    events_->OnWindowDestroyed();
  }

  DialogWindowEvents* events_ = nullptr;
  // Read by the worker when it wakes the window; null before creation and once the
  // window is being destroyed.
  std::atomic<HWND> window_{nullptr};
  HICON big_icon_ = nullptr;
  HICON small_icon_ = nullptr;
  ScopedBrush background_brush_;
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
