#include "tests/support/desktop_session.h"

#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace updater::test_support {
namespace {

ChildOptions Quiet() {
  ChildOptions options;
  options.pipes = false;
  return options;
}

bool Succeeded(ChildProcess& process) {
  const ExitStatus status = process.Wait();
  return status.exited && status.code == 0;
}

}  // namespace

DesktopSession::DesktopSession(bool window_manager) {
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
  // The display's clients (xdotool, import, the programs under test) read and
  // write titles in the locale's character set: every language needs UTF-8.
  setenv("LC_ALL", "C.UTF-8", 1);
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
  if (window_manager) {
    window_manager_ = std::make_unique<ChildProcess>(
        "/usr/bin/openbox", std::vector<std::string>{"--sm-disable"}, Quiet());
    // It owns the screen once it answers for the root window's manager.
    for (int i = 0; i < 100; ++i) {
      ChildProcess found("/bin/sh", {"-c", "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window"},
                         Quiet());
      if (Succeeded(found)) return;
      usleep(50000);
    }
    failure_ = "openbox did not take the screen";
  }
}

DesktopSession::~DesktopSession() {
  window_manager_.reset();
  session_bus_.reset();
  x_server_.reset();
  unsetenv("DISPLAY");
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  unsetenv("LC_ALL");
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
  ChildProcess import("/usr/bin/import",
                      {"-display", display_, "-window", "root", "-crop", geometry, png_path},
                      Quiet());
  return Succeeded(import);
}

bool DesktopSession::SaveWindow(const std::string& png_path,
                                const std::string& program_name) const {
  ChildProcess search("/usr/bin/xdotool",
                      {"search", "--onlyvisible", "--classname", "^" + program_name + "$"});
  const std::string window = search.ReadLine();
  if (!Succeeded(search) || window.empty()) return false;
  ChildProcess import("/usr/bin/import",
                      {"-display", display_, "-frame", "-window", window, png_path}, Quiet());
  return Succeeded(import);
}

}  // namespace updater::test_support
