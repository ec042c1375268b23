#include "dialog/show_in_file_manager_gtk.h"

#include <gio/gio.h>

#include <string>

namespace updater::platform {
namespace {

constexpr char kFileManagerName[] = "org.freedesktop.FileManager1";
constexpr char kFileManagerPath[] = "/org/freedesktop/FileManager1";
constexpr int kFileManagerTimeoutMs = 5000;

// Owns the two URIs until the file manager has answered, or not.
struct ShowRequest {
  gchar* file_uri;
  gchar* folder_uri;
};

void FreeRequest(ShowRequest* request) {
  g_free(request->file_uri);
  g_free(request->folder_uri);
  g_free(request);
}

void OpenWithDefaultHandler(const gchar* uri) {
  g_app_info_launch_default_for_uri_async(uri, nullptr, nullptr, nullptr, nullptr);
}

void OnShowItemsAnswered(GObject* bus, GAsyncResult* result, gpointer data) {
  auto* request = static_cast<ShowRequest*>(data);
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, nullptr);
  if (reply) {
    g_variant_unref(reply);
  } else {
    OpenWithDefaultHandler(request->folder_uri);
  }
  FreeRequest(request);
}

void OnSessionBus(GObject*, GAsyncResult* result, gpointer data) {
  auto* request = static_cast<ShowRequest*>(data);
  GDBusConnection* bus = g_bus_get_finish(result, nullptr);
  if (!bus) {
    OpenWithDefaultHandler(request->folder_uri);
    FreeRequest(request);
    return;
  }
  const gchar* items[] = {request->file_uri, nullptr};
  g_dbus_connection_call(bus, kFileManagerName, kFileManagerPath, kFileManagerName, "ShowItems",
                         g_variant_new("(^ass)", items, ""), nullptr, G_DBUS_CALL_FLAGS_NONE,
                         kFileManagerTimeoutMs, nullptr, &OnShowItemsAnswered, request);
  g_object_unref(bus);
}

}  // namespace

void ShowInFileManager(const std::string& native) {
  if (native.empty()) {
    gchar* home = g_filename_to_uri(g_get_home_dir(), nullptr, nullptr);
    if (home) OpenWithDefaultHandler(home);
    g_free(home);
    return;
  }
  gchar* folder = g_path_get_dirname(native.c_str());
  auto* request = g_new0(ShowRequest, 1);
  request->file_uri = g_filename_to_uri(native.c_str(), nullptr, nullptr);
  request->folder_uri = g_filename_to_uri(folder, nullptr, nullptr);
  g_free(folder);
  if (!request->file_uri || !request->folder_uri) {
    FreeRequest(request);
    return;
  }
  g_bus_get(G_BUS_TYPE_SESSION, nullptr, &OnSessionBus, request);
}

}  // namespace updater::platform
