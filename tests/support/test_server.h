#ifndef TESTS_SUPPORT_TEST_SERVER_H_
#define TESTS_SUPPORT_TEST_SERVER_H_

#include <httplib.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/recorded_request.h"

namespace updater::test_support {

struct ServerCertificate;

// A scriptable HTTP or HTTPS update service on 127.0.0.1, recording every
// request it gets. The port is ephemeral unless a fixed one is asked for (a
// program built to talk to that port); is_listening() tells whether the bind
// succeeded.
class TestServer {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  // Plain HTTP.
  explicit TestServer(int fixed_port = 0);
  // HTTPS with the given certificate and key.
  explicit TestServer(const ServerCertificate& certificate, int fixed_port = 0);
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;
  ~TestServer();

  // Answers GET and POST requests for `path` (query ignored).
  void Handle(const std::string& path, Handler handler);
  // Answers `path` with a fixed status, headers and body.
  void Reply(const std::string& path,
             int status,
             const httplib::Headers& headers,
             const std::string& body,
             const std::string& content_type = "text/plain");

  int port() const { return port_; }
  bool is_listening() const { return port_ > 0; }
  // "http://127.0.0.1:port" (or https) followed by `path`.
  std::string Url(const std::string& path) const;
  std::vector<RecordedRequest> requests() const;
  int CountRequests(const std::string& path) const;

 private:
  void Start(int fixed_port);

  std::unique_ptr<httplib::Server> server_;
  bool secure_ = false;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<RecordedRequest> requests_;
  std::map<const httplib::Request*, size_t> in_progress_;
};

}  // namespace updater::test_support

#endif  // TESTS_SUPPORT_TEST_SERVER_H_
