#ifndef TESTS_E2E_DIALOG_READER_H_
#define TESTS_E2E_DIALOG_READER_H_

// Reads the updater's windows through the accessibility interface (AT-SPI),
// as a screen reader does, and presses their buttons the same way. Needs the
// desktop session of tests/support/desktop_session.h.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace updater {
struct LocalizedText;
}

namespace updater::e2e {

// A text of the catalog in language `language`, as the reader reads it.
std::string DialogText(const LocalizedText& entry, int language);

struct ScreenRect {
  int x = 0, y = 0, width = 0, height = 0;
};

struct ButtonView {
  std::string label;
  bool showing = false;
  bool enabled = false;
  ScreenRect rect;
};

// One top-level window of the updater as the reader sees it.
struct WindowView {
  std::string title;
  std::vector<std::string> lines;  // the update dialog's list, or a message's text
  std::vector<ButtonView> buttons;
  ScreenRect rect;

  // The button labelled `label`, if there is one.
  const ButtonView* Button(const std::string& label) const;
};

// The updater's windows now (none when it shows none).
std::vector<WindowView> ReadUpdaterWindows();

// Reads until `done` holds for the first window, at most about a minute;
// the last reading (possibly none) either way.
std::optional<WindowView> WaitForWindow(const std::function<bool(const WindowView&)>& done);

// Presses the showing button labelled `label` in the updater's first
// window, through its accessible action; false when there is none.
bool PressButton(const std::string& label);

}  // namespace updater::e2e

#endif  // TESTS_E2E_DIALOG_READER_H_
