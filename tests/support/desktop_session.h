#ifndef TESTS_SUPPORT_DESKTOP_SESSION_H_
#define TESTS_SUPPORT_DESKTOP_SESSION_H_

// A private desktop for tests of the dialog: a virtual X server (Xvfb) on a
// display of its own and a session bus of its own (which starts the
// accessibility bus on demand). The session puts DISPLAY and
// DBUS_SESSION_BUS_ADDRESS into this process's environment, so both the
// programs it starts and the accessibility reader in the test use it.

#include <memory>
#include <string>

#include "tests/support/child_process.h"

namespace updater::test_support {

class DesktopSession {
 public:
  static constexpr int kScreenWidth = 1280;
  static constexpr int kScreenHeight = 800;

  // With a window manager, windows get their frames and title bars, as a
  // user sees them; tests run without one, so that nothing moves a window.
  explicit DesktopSession(bool window_manager = false);
  ~DesktopSession();
  DesktopSession(const DesktopSession&) = delete;
  DesktopSession& operator=(const DesktopSession&) = delete;

  // Empty when up; otherwise why not.
  const std::string& failure() const { return failure_; }
  // Saves the whole screen as a PNG; false on failure.
  bool SaveScreen(const std::string& png_path) const;
  // Saves the screen's rectangle (x, y, width, height) as a PNG.
  bool SaveArea(const std::string& png_path, int x, int y, int width, int height) const;
  // Saves the visible window of the program `program_name` (its window
  // class), with its frame, as a PNG.
  bool SaveWindow(const std::string& png_path, const std::string& program_name) const;

 private:
  std::unique_ptr<ChildProcess> x_server_;
  std::unique_ptr<ChildProcess> session_bus_;
  std::unique_ptr<ChildProcess> window_manager_;
  std::string display_;
  std::string failure_;
};

}  // namespace updater::test_support

#endif  // TESTS_SUPPORT_DESKTOP_SESSION_H_
