#ifndef TESTS_SUPPORT_OTHER_USER_PROCESS_H_
#define TESTS_SUPPORT_OTHER_USER_PROCESS_H_

// Another local user attacking while a test works: a forked child that
// switches to that user and runs a function of the test. The function runs
// in a child of a process that may have threads, so it should keep to plain
// system calls.

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace updater::test_support {

inline constexpr uid_t kOtherUser = 65534;

// A child process of kOtherUser running `work`, which ends it with its exit
// code; killed when this object ends.
class OtherUserProcess {
 public:
  explicit OtherUserProcess(const std::function<int()>& work) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (setgroups(0, nullptr) != 0 || setgid(kOtherUser) != 0 || setuid(kOtherUser) != 0) {
        _exit(127);
      }
      const char started = 1;
      if (write(ready[1], &started, 1) != 1) _exit(127);
      close(ready[1]);
      _exit(work());
    }
    close(ready[1]);
    char started = 0;
    started_ = pid_ > 0 && read(ready[0], &started, 1) == 1;
    close(ready[0]);
  }
  ~OtherUserProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    Wait();
  }
  OtherUserProcess(const OtherUserProcess&) = delete;
  OtherUserProcess& operator=(const OtherUserProcess&) = delete;

  bool started() const { return started_; }
  // The exit code, or -1 when it did not exit.
  int Wait() {
    int status = 0;
    if (pid_ <= 0 || waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  bool started_ = false;
};

}  // namespace updater::test_support

#endif  // TESTS_SUPPORT_OTHER_USER_PROCESS_H_
