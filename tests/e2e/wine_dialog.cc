#include "tests/e2e/wine_dialog.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>
#include <vector>

#include "tests/e2e/e2e_harness.h"
#include "tests/support/child_process.h"
#include "tests/support/test_files.h"

namespace updater::e2e {
namespace {

using test_support::ChildProcess;

constexpr auto kWaitLimit = std::chrono::seconds(60);
constexpr auto kPollInterval = std::chrono::milliseconds(100);
constexpr int kPollsPerClick = 10;
// Of the darkest pixel, from 0 (black) to 1 (white): the dialog's face is
// lighter (0.94), a button's frame and label darker.
constexpr double kDrawnLimit = 0.8;

// Whether `program` exited with 0; the lines it writes into `lines` when
// given, else its output (and its complaints about a window that went) are
// dropped.
bool Output(const std::string& program,
            const std::vector<std::string>& arguments,
            std::vector<std::string>* lines = nullptr) {
  test_support::ChildOptions options;
  options.pipes = lines != nullptr;
  ChildProcess child(program, arguments, options);
  while (lines) {
    const std::string line = child.ReadLine();
    if (line.empty()) break;
    lines->push_back(line);
  }
  const test_support::ExitStatus status = child.Wait();
  return status.exited && status.code == 0;
}

// `text` as a regular expression that matches only itself.
std::string LiteralPattern(const std::string& text) {
  std::string pattern = "^";
  for (char c : text) {
    if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
  }
  return pattern + "$";
}

// Every named window of the display, visible or not, on standard error.
void DescribeWindows() {
  std::vector<std::string> ids;
  Output("/usr/bin/xdotool", {"search", "--name", "."}, &ids);
  for (const std::string& id : ids) {
    std::vector<std::string> name;
    Output("/usr/bin/xdotool", {"getwindowname", id}, &name);
    std::vector<std::string> attributes;
    Output("/usr/bin/xwininfo", {"-id", id}, &attributes);
    std::string map_state;
    for (const std::string& line : attributes) {
      if (line.find("Map State:") != std::string::npos) map_state = line;
    }
    std::cerr << "  " << id << " \"" << (name.empty() ? "" : name.front()) << "\"" << map_state
              << "\n";
  }
  std::vector<std::string> processes;
  Output("/bin/sh",
         {"-c", "ps -eo pid,stat,etime,args | grep -i -e wine -e '[.]exe' | grep -v grep"},
         &processes);
  std::cerr << "and wine runs:\n";
  for (const std::string& process : processes) std::cerr << "  " << process << "\n";
}

}  // namespace

std::optional<WineWindow> WineWindow::Find(const std::string& title, const DialogRect& client) {
  std::vector<std::string> ids;
  const bool found = WaitUntil([&] {
    ids.clear();
    return Output("/usr/bin/xdotool", {"search", "--onlyvisible", "--name", LiteralPattern(title)},
                  &ids) &&
           !ids.empty();
  });
  if (!found) {
    std::cerr << "no visible window titled \"" << title << "\"; the display shows:\n";
    DescribeWindows();
    return std::nullopt;
  }
  return WineWindow(ids.front(), client);
}

WindowGeometry WineWindow::Geometry() const {
  std::vector<std::string> lines;
  Output("/usr/bin/xdotool", {"getwindowgeometry", "--shell", id_}, &lines);
  WindowGeometry geometry;
  for (const std::string& line : lines) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = line.substr(0, equals);
    const int value = std::atoi(line.c_str() + equals + 1);
    if (name == "X") geometry.x = value;
    if (name == "Y") geometry.y = value;
    if (name == "WIDTH") geometry.width = value;
    if (name == "HEIGHT") geometry.height = value;
  }
  return geometry;
}

bool WineWindow::Exists() const {
  return Output("/usr/bin/xdotool", {"getwindowname", id_});
}

bool WineWindow::IsVisible() const {
  std::vector<std::string> lines;
  Output("/usr/bin/xwininfo", {"-id", id_}, &lines);
  return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("Map State: IsViewable") != std::string::npos;
  });
}

WindowGeometry WineWindow::Pixels(const DialogRect& control) const {
  const WindowGeometry window = Geometry();
  const auto scale_x = [&](int units) { return units * window.width / client_.width; };
  const auto scale_y = [&](int units) { return units * window.height / client_.height; };
  return {scale_x(control.x), scale_y(control.y), scale_x(control.width), scale_y(control.height)};
}

void WineWindow::Click(const DialogRect& control) const {
  const WindowGeometry area = Pixels(control);
  Output("/usr/bin/xdotool", {"mousemove", "--window", id_, std::to_string(area.x + area.width / 2),
                              std::to_string(area.y + area.height / 2), "click", "1"});
}

bool WineWindow::ClickUntil(const DialogRect& control, const std::function<bool()>& done) const {
  const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    Click(control);
    for (int poll = 0; poll < kPollsPerClick; ++poll) {
      if (done()) return true;
      std::this_thread::sleep_for(kPollInterval);
    }
  }
  return done();
}

int WineWindow::ClickUntilEnded(const DialogRect& control,
                                test_support::ChildProcess& program) const {
  test_support::ExitStatus status;
  ClickUntil(control, [&] {
    status = program.Poll();
    return !program.running();
  });
  return status.exited ? status.code : -1;
}

void WineWindow::PressKey(const std::string& key) const {
  Output("/usr/bin/xdotool", {"windowfocus", id_, "key", key});
}

bool WineWindow::Shows(const DialogRect& control) const {
  const WindowGeometry area = Pixels(control);
  const std::string crop = std::to_string(area.width) + "x" + std::to_string(area.height) + "+" +
                           std::to_string(area.x) + "+" + std::to_string(area.y);
  const std::string shot = test_support::MakeScratchDirectory("rz-wine-window-") + "/window.png";
  std::vector<std::string> darkest;
  const bool measured = Save(shot) && Output("/usr/bin/convert",
                                             {shot, "-crop", crop, "+repage", "-colorspace", "Gray",
                                              "-format", "%[fx:minima]\\n", "info:"},
                                             &darkest);
  std::filesystem::remove_all(std::filesystem::path(shot).parent_path());
  return measured && !darkest.empty() && std::atof(darkest.front().c_str()) < kDrawnLimit;
}

bool WineWindow::Save(const std::string& png_path) const {
  return Output("/usr/bin/import", {"-window", id_, png_path});
}

}  // namespace updater::e2e
