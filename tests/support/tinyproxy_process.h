#ifndef TESTS_SUPPORT_TINYPROXY_PROCESS_H_
#define TESTS_SUPPORT_TINYPROXY_PROCESS_H_

#include <sys/types.h>

#include <string>

namespace updater::test_support {

// A real HTTP proxy (tinyproxy) on a loopback port with basic
// authentication, configured in its own temporary directory and stopped on
// destruction.
class TinyproxyProcess {
 public:
  TinyproxyProcess(const std::string& user_name, const std::string& password);
  TinyproxyProcess(const TinyproxyProcess&) = delete;
  TinyproxyProcess& operator=(const TinyproxyProcess&) = delete;
  ~TinyproxyProcess();

  // False when tinyproxy is missing or did not start listening.
  bool running() const { return running_; }
  int port() const { return port_; }

 private:
  std::string directory_;
  pid_t pid_ = -1;
  int port_ = 0;
  bool running_ = false;
};

}  // namespace updater::test_support

#endif  // TESTS_SUPPORT_TINYPROXY_PROCESS_H_
