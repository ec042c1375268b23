#ifndef BASE_AT_EXIT_H_
#define BASE_AT_EXIT_H_

#include <functional>
#include <vector>

namespace updater {

// The process's at-exit registry: while one exists, process-wide singletons
// register their teardown with it, and destroying it runs those teardowns in
// reverse order. Without a registry, singletons live until the process ends.
// Registries nest; the innermost one collects the callbacks. Create and
// destroy it on the main thread, before other threads start and after they
// end.
class AtExitManager {
 public:
  AtExitManager();
  ~AtExitManager();
  AtExitManager(const AtExitManager&) = delete;
  AtExitManager& operator=(const AtExitManager&) = delete;

  // Returns false when no registry exists (the callback is then never run).
  static bool RegisterCallback(std::function<void()> callback);

 private:
  AtExitManager* previous_;
  std::vector<std::function<void()>> callbacks_;
};

}  // namespace updater

#endif  // BASE_AT_EXIT_H_
