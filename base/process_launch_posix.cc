#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "base/native_posix.h"
#include "base/process_launch_platform.h"

extern char** environ;

namespace updater::platform {
namespace {

constexpr int kFirstUninheritedDescriptor = 3;

// posix_spawn's settings, released on every path.
class SpawnSettings {
 public:
  SpawnSettings() {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attributes_);
  }
  ~SpawnSettings() {
    posix_spawnattr_destroy(&attributes_);
    posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSettings(const SpawnSettings&) = delete;
  SpawnSettings& operator=(const SpawnSettings&) = delete;

  // Closes in the child every descriptor above the standard three, also
  // those other threads or libraries opened without close-on-exec; the
  // signal mask and dispositions start afresh as a new process's do.
  int Prepare() {
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    int error = posix_spawn_file_actions_addclosefrom_np(&actions_, kFirstUninheritedDescriptor);
    if (error == 0) error = posix_spawnattr_setsigmask(&attributes_, &none);
    if (error == 0) error = posix_spawnattr_setsigdefault(&attributes_, &all);
    if (error == 0) {
      error =
          posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    return error;
  }

  const posix_spawn_file_actions_t* actions() const { return &actions_; }
  const posix_spawnattr_t* attributes() const { return &attributes_; }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

void WaitForChild(pid_t child) {
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
}

// 0 and the child's id, or the error that kept it from starting.
int Spawn(const std::vector<std::u16string>& items, pid_t& child) {
  if (items.empty()) return ENOENT;
  std::vector<std::string> arguments;
  arguments.reserve(items.size());
  for (const std::u16string& item : items) {
    if (!posix::ToNativeText(item, arguments.emplace_back())) return EINVAL;
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  SpawnSettings settings;
  const int error = settings.Prepare();
  if (error != 0) return error;
  return posix_spawn(&child, argv[0], settings.actions(), settings.attributes(), argv.data(),
                     environ);
}

}  // namespace

bool StartProcess(const ParsedCommandLine& command_line, int64_t& process) {
  pid_t child = 0;
  const int error = Spawn(command_line.items(), child);
  if (error != 0) {
    errno = error;
    return false;
  }
  process = child;
  return true;
}

void WaitForProcess(int64_t process) {
  WaitForChild(static_cast<pid_t>(process));
}

// A child still running is reaped by a thread of its own once it ends, so
// it never lingers as a zombie and nobody here waits for it.
void ReleaseProcess(int64_t process, bool ended) {
  const pid_t child = static_cast<pid_t>(process);
  if (ended || waitpid(child, nullptr, WNOHANG) != 0) return;
  try {
    std::thread(WaitForChild, child).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the ended child stays listed until we exit.
  }
}

}  // namespace updater::platform
