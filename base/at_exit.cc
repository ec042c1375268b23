#include "base/at_exit.h"

#include <utility>

namespace updater {
namespace {

AtExitManager* g_top_manager = nullptr;

}  // namespace

AtExitManager::AtExitManager() : previous_(g_top_manager) {
  g_top_manager = this;
}

AtExitManager::~AtExitManager() {
  while (!callbacks_.empty()) {
    std::function<void()> callback = std::move(callbacks_.back());
    callbacks_.pop_back();
    callback();
  }
  g_top_manager = previous_;
}

bool AtExitManager::RegisterCallback(std::function<void()> callback) {
  if (g_top_manager == nullptr) return false;
  g_top_manager->callbacks_.push_back(std::move(callback));
  return true;
}

}  // namespace updater
