#include "tests/support/desktop_session.h"

#include <stdlib.h>

#include <string>
#include <vector>

namespace updater::test_support {
DesktopSession::DesktopSession() {
  // Xvfb picks a free display and writes its number to standard output.
  x_server_ = std::make_unique<ChildProcess>(
      "/usr/bin/Xvfb", std::vector<std::string>{"-displayfd", "1", "-screen", "0",
                                                std::to_string(kScreenWidth) + "x" +
                                                    std::to_string(kScreenHeight) + "x24",
                                                "-nolisten", "tcp", "-nolisten", "unix"});
  const std::string display_number = x_server_->ReadLine();
  if (display_number.empty()) {
    failure_ = "Xvfb did not start (is the xvfb package installed?)";
    return;
  }
  display_ = ":" + display_number;
  setenv("DISPLAY", display_.c_str(), 1);
  unsetenv("WAYLAND_DISPLAY");
  session_bus_ = std::make_unique<ChildProcess>(
      "/usr/bin/dbus-daemon",
      std::vector<std::string>{"--session", "--nofork", "--print-address=1"});
  const std::string bus_address = session_bus_->ReadLine();
  if (bus_address.empty()) {
    failure_ = "dbus-daemon did not start (is the dbus package installed?)";
    return;
  }
  setenv("DBUS_SESSION_BUS_ADDRESS", bus_address.c_str(), 1);
  unsetenv("NO_AT_BRIDGE");
}

DesktopSession::~DesktopSession() {
  session_bus_.reset();
  x_server_.reset();
  unsetenv("DISPLAY");
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

bool DesktopSession::SaveScreen(const std::string& png_path) const {
  return SaveArea(png_path, 0, 0, kScreenWidth, kScreenHeight);
}

bool DesktopSession::SaveArea(const std::string& png_path,
                              int x,
                              int y,
                              int width,
                              int height) const {
  const std::string geometry = std::to_string(width) + "x" + std::to_string(height) + "+" +
                               std::to_string(x) + "+" + std::to_string(y);
  ChildOptions quiet;
  quiet.pipes = false;
  ChildProcess import("/usr/bin/import",
                      {"-display", display_, "-window", "root", "-crop", geometry, png_path},
                      quiet);
  const ExitStatus status = import.Wait();
  return status.exited && status.code == 0;
}

}  // namespace updater::test_support
