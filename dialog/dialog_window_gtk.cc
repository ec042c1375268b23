// The update dialog on GTK 3, in the toolkit module: template 108's layout,
// converted from dialog units with the window font's metrics, and the main
// loop that the worker's notifications wake.
#include <gtk/gtk.h>

#include <memory>
#include <mutex>
#include <string>

#include "dialog/show_in_file_manager_gtk.h"
#include "dialog/toolkit_module_gtk.h"

namespace updater::platform {
namespace {

#include "resources/app_icon.xpm"

// Template 108, in dialog units.
struct DialogUnitsRect {
  int x, y, width, height;
};
constexpr DialogUnitsRect kDialogSize{0, 0, 320, 148};
constexpr DialogUnitsRect kListRect{10, 10, 300, 100};
constexpr DialogUnitsRect kOpenFolderRect{10, 120, 80, 18};
constexpr DialogUnitsRect kConfirmRect{180, 120, 60, 18};
constexpr DialogUnitsRect kAbortRect{250, 120, 60, 18};

// Blue lines on white, as the list box draws them.
constexpr char kListStyle[] =
    "#update-lines, #update-lines row { background-color: #ffffff; }"
    "#update-lines label { color: #0000ff; }";

// Dialog units as Windows converts them: a horizontal unit is a quarter of
// the font's average character width, a vertical one an eighth of its
// height.
class DialogUnits {
 public:
  explicit DialogUnits(GtkWidget* widget) {
    PangoLayout* layout = gtk_widget_create_pango_layout(
        widget, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    int width = 0;
    pango_layout_get_pixel_size(layout, &width, &char_height_);
    g_object_unref(layout);
    average_char_width_ = (width / 26 + 1) / 2;
  }
  int X(int units) const { return units * average_char_width_ / 4; }
  int Y(int units) const { return units * char_height_ / 8; }

 private:
  int average_char_width_ = 0;
  int char_height_ = 0;
};

class GtkDialogWindow : public ToolkitDialogWindow {
 public:
  ~GtkDialogWindow() override {
    const std::lock_guard<std::mutex> lock(wake_mutex_);
    if (wake_source_) g_source_remove(wake_source_);
  }

  bool Show(DialogWindowEvents& events) override {
    events_ = &events;
    Build();
    events.OnWindowCreated();
    PlaceInTheMiddle();
    gtk_widget_show(window_);
    return true;
  }

  // The default main context may be woken from any thread.
  bool WakeUiThread() override {
    const std::lock_guard<std::mutex> lock(wake_mutex_);
    if (!wake_source_) wake_source_ = g_idle_add(&GtkDialogWindow::OnWake, this);
    return true;
  }

  void RunMessageLoop() override { gtk_main(); }
  void EndMessageLoop() override {
    if (gtk_main_level() > 0) gtk_main_quit();
  }

  void SetTitle(const std::string& title) override {
    gtk_window_set_title(GTK_WINDOW(window_), title.c_str());
  }

  void AddLine(const std::string& line) override {
    GtkWidget* label = gtk_label_new(line.c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_widget_show(label);
    gtk_container_add(GTK_CONTAINER(list_), label);
  }

  void DeleteLastLine() override {
    GList* rows = gtk_container_get_children(GTK_CONTAINER(list_));
    if (GList* last = g_list_last(rows)) gtk_widget_destroy(GTK_WIDGET(last->data));
    g_list_free(rows);
  }

  void ShowButton(DialogButton button, bool shown) override {
    gtk_widget_set_visible(Button(button), shown);
  }
  void EnableButton(DialogButton button, bool enabled) override {
    gtk_widget_set_sensitive(Button(button), enabled);
  }
  void LabelButton(DialogButton button, const std::string& label) override {
    gtk_button_set_label(GTK_BUTTON(Button(button)), label.c_str());
  }
  bool IsVisible() const override { return window_ && gtk_widget_get_visible(window_); }
  void Hide() override {
    if (window_) gtk_widget_hide(window_);
  }
  void OpenFolder(const std::string& native_path) override { ShowInFileManager(native_path); }
  void Destroy() override {
    if (window_) gtk_widget_destroy(window_);
  }

 private:
  void Build() {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    GdkPixbuf* icon = gdk_pixbuf_new_from_xpm_data(const_cast<const char**>(app_icon_xpm));
    gtk_window_set_icon(GTK_WINDOW(window_), icon);
    g_object_unref(icon);
    g_signal_connect(window_, "delete-event", G_CALLBACK(&GtkDialogWindow::OnDeleteEvent), this);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(&GtkDialogWindow::OnKeyPress), this);
    g_signal_connect(window_, "destroy", G_CALLBACK(&GtkDialogWindow::OnWindowDestroyed), this);

    const DialogUnits units(window_);
    GtkWidget* layout = gtk_fixed_new();
    gtk_widget_set_size_request(layout, units.X(kDialogSize.width), units.Y(kDialogSize.height));
    gtk_container_add(GTK_CONTAINER(window_), layout);

    list_ = gtk_list_box_new();
    gtk_widget_set_name(list_, "update-lines");
    gtk_list_box_set_selection_mode(GTK_LIST_BOX(list_), GTK_SELECTION_NONE);
    GtkCssProvider* style = gtk_css_provider_new();
    gtk_css_provider_load_from_data(style, kListStyle, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(window_),
                                              GTK_STYLE_PROVIDER(style),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(style);
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(scroller), list_);
    Place(layout, scroller, units, kListRect);

    open_folder_ = AddButton(layout, units, kOpenFolderRect, kOpenFolderButton);
    confirm_ = AddButton(layout, units, kConfirmRect, kConfirmButton);
    abort_ = AddButton(layout, units, kAbortRect, kAbortButton);
    gtk_widget_set_can_default(abort_, TRUE);
    gtk_window_set_default(GTK_WINDOW(window_), abort_);
    gtk_widget_show_all(layout);
  }

  static void Place(GtkWidget* layout,
                    GtkWidget* widget,
                    const DialogUnits& units,
                    const DialogUnitsRect& rect) {
    gtk_widget_set_size_request(widget, units.X(rect.width), units.Y(rect.height));
    gtk_fixed_put(GTK_FIXED(layout), widget, units.X(rect.x), units.Y(rect.y));
  }

  GtkWidget* AddButton(GtkWidget* layout,
                       const DialogUnits& units,
                       const DialogUnitsRect& rect,
                       DialogButton id) {
    GtkWidget* button = gtk_button_new_with_label("");
    g_object_set_data(G_OBJECT(button), "command", GINT_TO_POINTER(id));
    g_signal_connect(button, "clicked", G_CALLBACK(&GtkDialogWindow::OnClicked), this);
    Place(layout, button, units, rect);
    return button;
  }

  GtkWidget* Button(DialogButton button) const {
    switch (button) {
      case kConfirmButton:
        return confirm_;
      case kAbortButton:
        return abort_;
      case kOpenFolderButton:
        return open_folder_;
    }
    return abort_;
  }

  // x = left + (W - w) / 2 and y = top + (H - h) / 2 on the screen the
  // window is on, halves rounded toward zero.
  void PlaceInTheMiddle() {
    GdkDisplay* display = gtk_widget_get_display(window_);
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (!monitor) monitor = gdk_display_get_monitor(display, 0);
    if (!monitor) return;
    GdkRectangle screen;
    gdk_monitor_get_geometry(monitor, &screen);
    int width = 0;
    int height = 0;
    gtk_widget_get_preferred_width(window_, nullptr, &width);
    gtk_widget_get_preferred_height(window_, nullptr, &height);
    gtk_window_move(GTK_WINDOW(window_), screen.x + (screen.width - width) / 2,
                    screen.y + (screen.height - height) / 2);
  }

  static gboolean OnWake(gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    {
      const std::lock_guard<std::mutex> lock(self->wake_mutex_);
      self->wake_source_ = 0;
    }
    self->events_->OnWoken();
    return G_SOURCE_REMOVE;
  }

  static void OnClicked(GtkWidget* button, gpointer data) {
    const int command = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "command"));
    static_cast<GtkDialogWindow*>(data)->events_->OnCommand(command);
  }

  // The close box and Escape are cancel.
  static gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<GtkDialogWindow*>(data)->events_->OnCommand(kCommandCancel);
    return TRUE;
  }

  static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    if (event->keyval != GDK_KEY_Escape) return FALSE;
    static_cast<GtkDialogWindow*>(data)->events_->OnCommand(kCommandCancel);
    return TRUE;
  }

  static void OnWindowDestroyed(GtkWidget*, gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    self->window_ = nullptr;
    self->events_->OnWindowDestroyed();
  }

  DialogWindowEvents* events_ = nullptr;
  GtkWidget* window_ = nullptr;
  GtkWidget* list_ = nullptr;
  GtkWidget* open_folder_ = nullptr;
  GtkWidget* confirm_ = nullptr;
  GtkWidget* abort_ = nullptr;
  std::mutex wake_mutex_;
  guint wake_source_ = 0;
};

bool OpenDisplay() {
  return gtk_init_check(nullptr, nullptr);
}

class GtkToolkit : public Toolkit {
 public:
  std::unique_ptr<ToolkitDialogWindow> OpenDialogWindow() override {
    if (!OpenDisplay()) return nullptr;
    return std::make_unique<GtkDialogWindow>();
  }

  void ShowMessage(const std::string& text, const std::string& caption) override {
    if (!OpenDisplay()) return;
    GtkWidget* message = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                                GTK_BUTTONS_OK, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(message), caption.c_str());
    gtk_window_set_position(GTK_WINDOW(message), GTK_WIN_POS_CENTER);
    gtk_dialog_run(GTK_DIALOG(message));
    gtk_widget_destroy(message);
  }
};

}  // namespace
}  // namespace updater::platform

extern "C" __attribute__((visibility("default"))) updater::platform::Toolkit*
rivazeriduv_updater_gtk_toolkit() {
  static updater::platform::GtkToolkit toolkit;
  return &toolkit;
}
