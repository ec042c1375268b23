#ifndef TESTS_E2E_WINE_DIALOG_H_
#define TESTS_E2E_WINE_DIALOG_H_

// A window of a Windows program under wine on the test's X display, found by
// its title and driven as a user drives it: clicks, keys, what it shows.
// wine's controls are no X windows of their own and expose nothing to
// accessibility tools, so a control is reached by its place in the dialog
// template (dialog units), scaled to the window's size in pixels. Without a
// window manager the X window is the dialog's client area.

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "tests/support/child_process.h"

namespace updater::e2e {

// A rectangle of the dialog template, in dialog units.
struct DialogRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct WindowGeometry {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

class WineWindow {
 public:
  // The first window whose title is exactly `title` (UTF-8), waiting at most
  // a minute for it. `client`: the template's size in dialog units (none
  // for a window whose controls are reached by keys only).
  static std::optional<WineWindow> Find(const std::string& title, const DialogRect& client = {});

  WindowGeometry Geometry() const;
  // False once the window is gone.
  bool Exists() const;
  // False once it is gone or hidden.
  bool IsVisible() const;
  // Clicks the middle of `control`.
  void Click(const DialogRect& control) const;
  // Clicks `control` again each second until `done` holds (at most a
  // minute): a click wine lets pass is not the end of a test.
  bool ClickUntil(const DialogRect& control, const std::function<bool()>& done) const;
  // Clicks `control` until `program` ends: its exit code, -1 when it did not
  // end or ended by a signal.
  int ClickUntilEnded(const DialogRect& control, test_support::ChildProcess& program) const;
  void PressKey(const std::string& key) const;
  // True when anything is drawn where `control` is (its frame, its label):
  // a control that is shown, not hidden.
  bool Shows(const DialogRect& control) const;
  // Saves the window as a PNG; false on failure.
  bool Save(const std::string& png_path) const;

 private:
  WineWindow(std::string id, const DialogRect& client) : id_(std::move(id)), client_(client) {}
  // `control`'s rectangle in the window, in pixels.
  WindowGeometry Pixels(const DialogRect& control) const;

  std::string id_;
  DialogRect client_;
};

}  // namespace updater::e2e

#endif  // TESTS_E2E_WINE_DIALOG_H_
