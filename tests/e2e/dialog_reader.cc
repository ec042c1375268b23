#include "tests/e2e/dialog_reader.h"

#include <atspi/atspi.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "base/string_util.h"
#include "text/localized_text.h"

namespace updater::e2e {
namespace {

// g_get_prgname() of the updater: its executable's name.
constexpr char kUpdaterApplication[] = "rivazeriduv_updater";

// Owns one reference of a GObject.
template <typename T>
class Ref {
 public:
  explicit Ref(T* object) : object_(object) {}
  ~Ref() {
    if (object_) g_object_unref(object_);
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_;
};

void EnsureInitialised() {
  static const bool initialised = [] {
    atspi_init();
    return true;
  }();
  (void)initialised;
}

std::string Name(AtspiAccessible* accessible) {
  gchar* name = atspi_accessible_get_name(accessible, nullptr);
  std::string text = name ? name : "";
  g_free(name);
  return text;
}

bool HasState(AtspiAccessible* accessible, AtspiStateType state) {
  Ref<AtspiStateSet> states(atspi_accessible_get_state_set(accessible));
  return states && atspi_state_set_contains(states.get(), state);
}

ScreenRect Extents(AtspiAccessible* accessible) {
  ScreenRect rect;
  Ref<AtspiComponent> component(atspi_accessible_get_component_iface(accessible));
  if (!component) return rect;
  AtspiRect* extents =
      atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, nullptr);
  if (!extents) return rect;
  rect = {extents->x, extents->y, extents->width, extents->height};
  g_free(extents);
  return rect;
}

// Calls `visit` for every accessible below `parent`, depth first, in order.
void Walk(AtspiAccessible* parent, const std::function<void(AtspiAccessible*)>& visit) {
  const int count = atspi_accessible_get_child_count(parent, nullptr);
  for (int i = 0; i < count; ++i) {
    Ref<AtspiAccessible> child(atspi_accessible_get_child_at_index(parent, i, nullptr));
    if (!child) continue;
    visit(child.get());
    Walk(child.get(), visit);
  }
}

void CollectWindow(AtspiAccessible* window, WindowView& view) {
  view.title = Name(window);
  view.rect = Extents(window);
  Walk(window, [&view](AtspiAccessible* accessible) {
    switch (atspi_accessible_get_role(accessible, nullptr)) {
      case ATSPI_ROLE_PUSH_BUTTON:
        view.buttons.push_back({Name(accessible), HasState(accessible, ATSPI_STATE_SHOWING),
                                HasState(accessible, ATSPI_STATE_SENSITIVE), Extents(accessible)});
        break;
      case ATSPI_ROLE_LABEL:
        // A button's own label is the button's name already.
        if (!Name(accessible).empty() && HasState(accessible, ATSPI_STATE_SHOWING)) {
          Ref<AtspiAccessible> parent(atspi_accessible_get_parent(accessible, nullptr));
          if (!parent ||
              atspi_accessible_get_role(parent.get(), nullptr) != ATSPI_ROLE_PUSH_BUTTON) {
            view.lines.push_back(Name(accessible));
          }
        }
        break;
      default:
        break;
    }
  });
}

// Runs `visit` on each top-level window of the updater.
void ForEachUpdaterWindow(const std::function<void(AtspiAccessible*)>& visit) {
  EnsureInitialised();
  Ref<AtspiAccessible> desktop(atspi_get_desktop(0));
  atspi_accessible_clear_cache(desktop.get());
  const int count = atspi_accessible_get_child_count(desktop.get(), nullptr);
  for (int i = 0; i < count; ++i) {
    Ref<AtspiAccessible> application(
        atspi_accessible_get_child_at_index(desktop.get(), i, nullptr));
    if (!application || Name(application.get()) != kUpdaterApplication) continue;
    const int windows = atspi_accessible_get_child_count(application.get(), nullptr);
    for (int w = 0; w < windows; ++w) {
      Ref<AtspiAccessible> window(
          atspi_accessible_get_child_at_index(application.get(), w, nullptr));
      if (window && HasState(window.get(), ATSPI_STATE_SHOWING)) visit(window.get());
    }
  }
}

}  // namespace

std::string DialogText(const LocalizedText& entry, int language) {
  return UTF16ToUTF8(GetLocalizedText(entry, language));
}

const ButtonView* WindowView::Button(const std::string& label) const {
  for (const ButtonView& button : buttons) {
    if (button.label == label) return &button;
  }
  return nullptr;
}

std::vector<WindowView> ReadUpdaterWindows() {
  std::vector<WindowView> windows;
  ForEachUpdaterWindow(
      [&windows](AtspiAccessible* window) { CollectWindow(window, windows.emplace_back()); });
  return windows;
}

std::optional<WindowView> WaitForWindow(const std::function<bool(const WindowView&)>& done) {
  std::optional<WindowView> last;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    std::vector<WindowView> windows = ReadUpdaterWindows();
    last.reset();
    if (!windows.empty()) last = std::move(windows.front());
    if (last && done(*last)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return last;
}

bool PressButton(const std::string& label) {
  bool pressed = false;
  ForEachUpdaterWindow([&](AtspiAccessible* window) {
    if (pressed) return;
    Walk(window, [&](AtspiAccessible* accessible) {
      if (pressed || atspi_accessible_get_role(accessible, nullptr) != ATSPI_ROLE_PUSH_BUTTON ||
          Name(accessible) != label || !HasState(accessible, ATSPI_STATE_SHOWING)) {
        return;
      }
      Ref<AtspiAction> action(atspi_accessible_get_action_iface(accessible));
      pressed = action && atspi_action_do_action(action.get(), 0, nullptr);
    });
  });
  return pressed;
}

}  // namespace updater::e2e
