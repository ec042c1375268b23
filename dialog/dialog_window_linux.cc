// The update dialog on Linux: the GTK view lives in a module beside the
// updater, loaded on the first interactive need, so that a silent run never
// pays for loading the toolkit. Without the module a run behaves as without
// a display.
#include <dlfcn.h>

#include <memory>
#include <string>
#include <utility>

#include "base/native_posix.h"
#include "base/path_arithmetic.h"
#include "base/process_facts_platform.h"
#include "base/string_util.h"
#include "dialog/dialog_window_platform.h"
#include "dialog/toolkit_module_gtk.h"

namespace updater::platform {
namespace {

// The module is exactly as trusted as the executable beside it: the same
// package installs both into a directory only root may change. It is
// opened by its absolute path there, so that no search path,
// LD_LIBRARY_PATH or current directory chooses the code that runs, and
// never closed, as the toolkit cannot be unloaded.
Toolkit* OpenToolkitModule() {
  const FsPath executable = ReadExecutablePath();
  std::string module_path;
  if (executable.empty() ||
      !posix::ToNativePath(JoinPath(ParentDir(executable), UTF8ToUTF16(kToolkitModuleName)),
                           module_path)) {
    return nullptr;
  }
  void* module = dlopen(module_path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) return nullptr;
  const auto factory = reinterpret_cast<ToolkitFactory>(dlsym(module, kToolkitFactoryName));
  if (!factory) {
    dlclose(module);
    return nullptr;
  }
  return factory();
}

Toolkit* LoadedToolkit() {
  static Toolkit* const toolkit = OpenToolkitModule();
  return toolkit;
}

// The portable view over the module's window: UTF-16 text and paths become
// the toolkit's UTF-8 and native ones here.
class ModuleDialogWindow : public DialogWindow {
 public:
  explicit ModuleDialogWindow(std::unique_ptr<ToolkitDialogWindow> window)
      : window_(std::move(window)) {}

  bool Show(DialogWindowEvents& events) override { return window_->Show(events); }
  bool WakeUiThread() override { return window_->WakeUiThread(); }
  void RunMessageLoop() override { window_->RunMessageLoop(); }
  void EndMessageLoop() override { window_->EndMessageLoop(); }

  void SetTitle(const std::u16string& title) override { window_->SetTitle(UTF16ToUTF8(title)); }
  void AddLine(const std::u16string& line) override { window_->AddLine(UTF16ToUTF8(line)); }
  void DeleteLastLine() override { window_->DeleteLastLine(); }
  void ShowButton(DialogButton button, bool shown) override { window_->ShowButton(button, shown); }
  void EnableButton(DialogButton button, bool enabled) override {
    window_->EnableButton(button, enabled);
  }
  void LabelButton(DialogButton button, const std::u16string& label) override {
    window_->LabelButton(button, UTF16ToUTF8(label));
  }
  bool IsVisible() const override { return window_->IsVisible(); }
  void Hide() override { window_->Hide(); }
  // A path with no native form opens the home folder, as an empty one does.
  void OpenFolder(const FsPath& selected) override {
    std::string native;
    if (selected.empty() || !posix::ToNativePath(selected, native)) native.clear();
    window_->OpenFolder(native);
  }
  void Destroy() override { window_->Destroy(); }

 private:
  std::unique_ptr<ToolkitDialogWindow> window_;
};

}  // namespace

std::unique_ptr<DialogWindow> DialogWindow::Open() {
  Toolkit* const toolkit = LoadedToolkit();
  if (!toolkit) return nullptr;
  std::unique_ptr<ToolkitDialogWindow> window = toolkit->OpenDialogWindow();
  if (!window) return nullptr;
  return std::make_unique<ModuleDialogWindow>(std::move(window));
}

void ShowMessage(const std::u16string& text, const std::u16string& caption) {
  if (Toolkit* const toolkit = LoadedToolkit()) {
    toolkit->ShowMessage(UTF16ToUTF8(text), UTF16ToUTF8(caption));
  }
}

}  // namespace updater::platform
